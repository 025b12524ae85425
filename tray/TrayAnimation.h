#pragma once
// An animation ready for the tray: read as every host reads a file, and
// every frame rendered once, so playback only swaps icons. Plain images,
// which any thread may make: the player reads files on a worker thread.
#include <QImage>
#include <QString>

#include <vector>

#include "formats/FrameIcon.h"

struct TrayAnimation {
    QString title;
    QString author;
    std::vector<int32_t> rates;
    std::vector<QImage> frames;  // 16×16 each

    // Read as every host reads (core/HostRead.h); throws EZintraError with
    // the read's message and cause when the file cannot be played.
    static TrayAnimation Load(const QString& path);
};

// The frame at 16×16, transparent where the frame is, pixel for pixel.
QImage FrameImage(const TFrameIcon& icon);
