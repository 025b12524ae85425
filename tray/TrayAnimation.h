#pragma once
// An animation ready for the tray: read with the editor's own loader and
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

    // Throws the loader's EZintraError when the file cannot be played,
    // and std::bad_alloc when memory runs out.
    static TrayAnimation Load(const QString& path);
};

// The frame at 16×16, transparent where the frame is, pixel for pixel.
QImage FrameImage(const TFrameIcon& icon);
