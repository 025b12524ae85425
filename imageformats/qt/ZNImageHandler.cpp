#include "imageformats/qt/ZNImageHandler.h"

#include <QImage>
#include <QIODevice>
#include <QVariant>

#include <algorithm>
#include <climits>
#include <cstring>


namespace {

// The device's bytes from where it stands: in one step when its size is
// known, else in pieces up to the cap. Nothing when it cannot be read.
std::optional<std::vector<uint8_t>> ReadDevice(QIODevice* device) {
    std::vector<uint8_t> bytes;
    if (!device->isSequential()) {
        const qint64 left = device->size() - device->pos();
        if (left < 0 || CheckHostSize(uint64_t(left))) return std::nullopt;
        bytes.resize(size_t(left));
        if (device->read(reinterpret_cast<char*>(bytes.data()), left) != left) return std::nullopt;
        return bytes;
    }
    char chunk[65536];
    for (qint64 got; (got = device->read(chunk, sizeof chunk)) > 0;)
        if (GatherHostBytes(bytes, {reinterpret_cast<const uint8_t*>(chunk), size_t(got)})) return std::nullopt;
    return bytes;
}

}  // namespace

bool ZNImageHandler::canRead(QIODevice* device) {
    if (!device || !device->isReadable()) return false;
    char head[kZNSniffBytes];
    const qint64 got = device->peek(head, sizeof head);
    return got > 0 && LooksLikeZN({reinterpret_cast<const uint8_t*>(head), size_t(got)});
}

bool ZNImageHandler::canRead() const {
    if (m_frames) return m_next < m_frames->count();
    if (m_failed || !canRead(device())) return false;
    setFormat("zn");
    return true;
}

const ZNImageFrames* ZNImageHandler::frames() const {
    if (m_frames || m_failed || !device()) return m_frames ? &*m_frames : nullptr;
    m_failed = true;
    try {
        const auto bytes = ReadDevice(device());
        if (!bytes) return nullptr;
        HostRead read = ReadForHost(*bytes, {HostFormat::ZN, HostExtent::Whole});
        if (!read.animation) return nullptr;
        m_frames.emplace(std::move(read.animation->document));
        m_failed = false;
    } catch (...) {
        // Only memory can run out here; the reader reports invalid data.
    }
    return m_frames ? &*m_frames : nullptr;
}

bool ZNImageHandler::read(QImage* image) {
    const ZNImageFrames* all = frames();
    if (!all || m_next < 0 || m_next >= all->count()) return false;
    const IconImage& frame = all->image(m_next);
    QImage result(frame.width, frame.height, QImage::Format_RGBA8888);
    if (result.isNull()) return false;
    for (int y = 0; y < frame.height; ++y)
        std::memcpy(result.scanLine(y), &frame.pixels[size_t(y) * size_t(frame.width)], size_t(frame.width) * 4);
    *image = result;
    m_current = m_next++;
    return true;
}

int ZNImageHandler::imageCount() const {
    const ZNImageFrames* all = frames();
    return all ? all->count() : 0;
}

int ZNImageHandler::nextImageDelay() const {
    // After read(), the delay of the frame it gave, as QMovie asks.
    const ZNImageFrames* all = frames();
    return all ? all->delayMs(std::max(m_current, 0)) : 0;
}

bool ZNImageHandler::jumpToImage(int imageNumber) {
    if (imageNumber < 0 || imageNumber >= imageCount()) return false;
    m_next = imageNumber;
    return true;
}

bool ZNImageHandler::jumpToNextImage() { return m_next < INT_MAX && jumpToImage(m_next + 1); }

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
