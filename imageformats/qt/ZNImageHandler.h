#pragma once
// Reads a ZN file for QImageReader and QMovie: every frame with its delay,
// looping for ever. The whole file is read and decoded on first use, and a
// failure is only QImageReader's error: a guest prints nothing and lets no
// exception out. A handler belongs to one reader; handlers share nothing,
// so readers on several threads at once are safe.
//
// One source for Qt 5 and Qt 6: only API both have.
#include <QImageIOHandler>

#include <optional>

#include "imageformats/ZNImageFrames.h"

class ZNImageHandler : public QImageIOHandler {
public:
    // By the device's first bytes, without consuming them.
    static bool canRead(QIODevice* device);

    bool canRead() const override;
    bool read(QImage* image) override;

    int imageCount() const override;
    int loopCount() const override { return -1; }  // endless
    int nextImageDelay() const override;
    int currentImageNumber() const override { return m_current; }
    bool jumpToImage(int imageNumber) override;
    // Steps over the image read() would give next; false when none follows.
    bool jumpToNextImage() override;

    bool supportsOption(ImageOption option) const override;
    QVariant option(ImageOption option) const override;

private:
    // The frames, or null when the device holds no readable ZN file.
    const ZNImageFrames* frames() const;

    mutable std::optional<ZNImageFrames> m_frames;
    mutable bool m_failed = false;
    int m_next = 0;      // what read() gives next
    int m_current = -1;  // what read() gave last
};
