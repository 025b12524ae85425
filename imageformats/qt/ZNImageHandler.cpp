#include "imageformats/qt/ZNImageHandler.h"

#include <QImage>
#include <QIODevice>
#include <QVariant>

#include <algorithm>
#include <cstring>
#include <new>

#include "formats/Errors.h"

namespace {

std::span<const uint8_t> Bytes(const QByteArray& data) {
    return {reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size())};
}

// In pieces: read(n) would set n bytes aside at once.
std::vector<uint8_t> ReadAll(QIODevice* device) {
    std::vector<uint8_t> bytes;
    for (QByteArray chunk; device && !(chunk = device->read(64 * 1024)).isEmpty();)
        GatherZNBytes(bytes, Bytes(chunk));
    return bytes;
}

}  // namespace

bool ZNImageHandler::canRead(QIODevice* device) {
    return device && device->isReadable() && LooksLikeZN(Bytes(device->peek(kZNSniffBytes)));
}

bool ZNImageHandler::canRead() const {
    if (m_frames) return m_next < int(m_frames->size());
    if (m_failed || !canRead(device())) return false;
    setFormat("zn");
    return true;
}

const std::vector<ZNImageFrame>* ZNImageHandler::frames() const {
    if (!m_frames && !m_failed) {
        try {
            m_frames = ReadZNImageFrames(ReadAll(device()));
        } catch (const EZintraError& e) {
            qWarning("Cannot read this ZN file: %s", e.reason().c_str());
            m_failed = true;
        } catch (const std::bad_alloc&) {
            m_failed = true;
        }
    }
    return m_frames ? &*m_frames : nullptr;
}

bool ZNImageHandler::read(QImage* image) {
    const auto* all = frames();
    if (!all || m_next < 0 || m_next >= int(all->size())) return false;
    const IconImage& frame = (*all)[size_t(m_next)].image;
    QImage result(frame.width, frame.height, QImage::Format_RGBA8888);
    if (result.isNull()) return false;
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(result.scanLine(y), &frame.pixels[size_t(y) * size_t(frame.width)], size_t(frame.width) * 4);
    *image = result;
    m_current = m_next++;
    return true;
}

int ZNImageHandler::imageCount() const {
    const auto* all = frames();
    return all ? int(all->size()) : 0;
}

int ZNImageHandler::nextImageDelay() const {
    // After read(), the delay of the frame it gave, as QMovie asks.
    const auto* all = frames();
    if (!all) return 0;
    return (*all)[size_t(std::max(m_current, 0))].delayMs;
}

bool ZNImageHandler::jumpToImage(int imageNumber) {
    if (imageNumber < 0 || imageNumber >= imageCount()) return false;
    m_next = imageNumber;
    return true;
}

bool ZNImageHandler::supportsOption(ImageOption option) const {
    return option == Size || option == Animation || option == ImageFormat;
}

QVariant ZNImageHandler::option(ImageOption option) const {
    switch (option) {
    case Size: return QSize(kFrameSize, kFrameSize);
    case Animation: return true;
    case ImageFormat: return QImage::Format_RGBA8888;
    default: return {};
    }
}
