#include "ui/PictureImage.h"

#include "core/Conversion.h"

QImage ToQImage(const Picture& picture, QRect area) {
    area &= QRect(0, 0, picture.width(), picture.height());
    QImage image(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const Rgb c = picture.at(area.x() + x, area.y() + y);
            line[x] = qRgb(c.r, c.g, c.b);
        }
    }
    return image;
}

Picture FromQImage(const QImage& image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    Picture picture(argb.width(), argb.height());
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb p = line[x];
            picture.set(x, y, PictureColour({uint8_t(qRed(p)), uint8_t(qGreen(p)), uint8_t(qBlue(p)), uint8_t(qAlpha(p))}));
        }
    }
    return picture;
}
