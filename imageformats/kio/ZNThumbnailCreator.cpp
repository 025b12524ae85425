// KDE's thumbnail of a ZN file (Dolphin, the file dialogs): the first frame
// enlarged by whole pixels to the largest multiple of 16 within the size
// asked for, the picture zntool makes for other desktops. KDE's own image
// thumbnailer serves only image/* types, and never enlarges.
#include <KIO/ThumbnailCreator>
#include <KPluginFactory>
#include <QFile>
#include <QImage>

#include <algorithm>
#include <cstring>

#include "core/HostRead.h"

namespace {

// The first frame as every other host reads it, or a null image.
QImage FirstFrame(const QString& path) {
    const HostRead read = ReadForHost(QFile::encodeName(path).toStdString(), {HostFormat::ZN, HostExtent::FirstFrame});
    if (!read.animation) return {};
    const IconImage& frame = read.animation->document.FrameAt(1).icon->image();
    QImage image(frame.width, frame.height, QImage::Format_RGBA8888);
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(image.scanLine(y), &frame.pixels[size_t(y) * size_t(frame.width)], size_t(frame.width) * 4);
    return image;
}

}  // namespace

class ZNThumbnailCreator : public KIO::ThumbnailCreator {
public:
    using ThumbnailCreator::ThumbnailCreator;

    KIO::ThumbnailResult create(const KIO::ThumbnailRequest& request) override {
        // A guest in KDE's thumbnail service: a file that does not read has
        // no thumbnail, and nothing is thrown or printed.
        try {
            const QImage frame = FirstFrame(request.url().toLocalFile());
            if (frame.isNull()) return KIO::ThumbnailResult::fail();
            const QSize size = request.targetSize();
            const int scale = std::max(1, std::min(size.width(), size.height()) / kFrameSize);
            return KIO::ThumbnailResult::pass(frame.scaled(frame.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
        } catch (...) {  // bad_alloc from Qt's own images
            return KIO::ThumbnailResult::fail();
        }
    }
};

K_PLUGIN_CLASS_WITH_JSON(ZNThumbnailCreator, "znthumbnail.json")

#include "ZNThumbnailCreator.moc"
