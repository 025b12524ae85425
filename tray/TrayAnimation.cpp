#include "tray/TrayAnimation.h"

#include <QFile>

#include "core/Conversion.h"
#include "core/HostRead.h"

namespace {
QString Text(const std::string& eightBit) { return QString::fromStdString(HostText(eightBit)); }
}  // namespace

QImage FrameImage(const TFrameIcon& icon) {
    // Drawn over the key colour as the editor draws it; a loaded frame
    // never holds an opaque pixel of that colour, so the key colour is
    // exactly the transparent pixels.
    Picture picture(kFrameSize, kFrameSize);
    RenderFrameIcon(icon, picture, kKeyColour);
    QImage image(kFrameSize, kFrameSize, QImage::Format_ARGB32);
    for (int y = 0; y < kFrameSize; ++y)
        for (int x = 0; x < kFrameSize; ++x) {
            const Rgb c = picture.at(x, y);
            image.setPixel(x, y, c == kKeyColour ? 0u : qRgb(c.r, c.g, c.b));
        }
    return image;
}

TrayAnimation TrayAnimation::Load(const QString& path) {
    const std::string name = QFile::encodeName(path).toStdString();
    const TDocument document = TakeAnimation(ReadForHost(name, {AnimationFormat(name)})).document;
    TrayAnimation animation;
    animation.title = Text(document.title);
    animation.author = Text(document.authorName);
    animation.rates.reserve(size_t(document.Count()));
    animation.frames.reserve(size_t(document.Count()));
    for (int n = 1; n <= document.Count(); ++n) {
        const TFrameRecord& frame = document.FrameAt(n);
        animation.rates.push_back(frame.rate);
        animation.frames.push_back(FrameImage(*frame.icon));
    }
    return animation;
}
