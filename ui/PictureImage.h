#pragma once
// Copies between the core's pictures and Qt images, pixel for pixel.
#include <QColor>
#include <QImage>
#include <QRect>

#include "core/Picture.h"

// The pixels of area (clipped to the picture) as an opaque image.
QImage ToQImage(const Picture& picture, QRect area);
inline QImage ToQImage(const Picture& picture) {
    return ToQImage(picture, QRect(0, 0, picture.width(), picture.height()));
}

// An image as a picture. Pixels at least half transparent become the key
// colour, so a transparent picture stays transparent in the editor.
Picture FromQImage(const QImage& image);

inline Rgb ToRgb(const QColor& colour) {
    return {uint8_t(colour.red()), uint8_t(colour.green()), uint8_t(colour.blue())};
}
inline QColor ToQColor(Rgb colour) { return QColor(colour.r, colour.g, colour.b); }
