#include "formats/FrameIcon.h"

#include <cassert>

#include "formats/Errors.h"
#include "formats/IconBitmap.h"
#include "formats/IconDirectory.h"
#include "formats/IconLayout.h"
#include "formats/IconPngEntry.h"

std::unique_ptr<TFrameIcon> TFrameIcon::Built(IconImage image) {
    assert(image.width == kFrameSize && image.height == kFrameSize);
    auto icon = std::make_unique<TFrameIcon>();
    icon->m_state = State::Built;
    icon->m_image = std::move(image);
    return icon;
}

std::unique_ptr<TFrameIcon> TFrameIcon::Loaded(std::vector<uint8_t> bytes) {
    auto owned = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    return std::make_unique<TFrameIcon>(Loaded(*owned, owned));
}

TFrameIcon TFrameIcon::Loaded(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner) {
    TFrameIcon icon;
    icon.m_state = State::Loaded;
    icon.m_owner = std::move(owner);
    icon.m_loaded = bytes;
    return icon;
}

std::span<const uint8_t> TFrameIcon::bytes() const {
    if (m_state == State::Empty) throw EInvalidGraphic(messages::kInvalidIcon);
    if (m_state == State::Loaded) return m_loaded;
    if (!m_encoded) m_encoded = EncodeFrameIcon(*m_image);
    return *m_encoded;
}

const IconImage& TFrameIcon::image(ReadBudget& budget) const {
    if (m_state == State::Empty) throw EInvalidGraphic(messages::kInvalidIcon);
    if (!m_image) m_image = DecodeFrameIcon(m_loaded, budget);
    return *m_image;
}

const IconImage& TFrameIcon::image() const {
    ReadBudget budget;
    return image(budget);
}

IconImage TFrameIcon::frameImage(ReadBudget& budget) const {
    if (m_state == State::Loaded && !m_image) return SampleFrameIcon(m_loaded, budget);
    return ScaleToFrame(image(budget));
}

IconImage TFrameIcon::frameImage() const {
    ReadBudget budget;
    return frameImage(budget);
}

namespace {

// Reserved is not checked, and the image count only when decoding.
void CheckHeader(std::span<const uint8_t> bytes) {
    const uint16_t type = ReadIconHeader(bytes).type;
    if (type != kTypeStandardIcon && type != kTypeIcon)
        throw EInvalidGraphic(messages::kInvalidIcon, "not an icon");
}

}  // namespace

std::unique_ptr<TFrameIcon> LoadFrameIcon(std::vector<uint8_t> bytes) {
    CheckHeader(bytes);
    return TFrameIcon::Loaded(std::move(bytes));
}

TFrameIcon LoadFrameIcon(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner) {
    CheckHeader(bytes);
    return TFrameIcon::Loaded(bytes, std::move(owner));
}

IconImage DecodeFrameIcon(std::span<const uint8_t> bytes, ReadBudget& budget, uint16_t deviceColours) {
    const ChosenEntry chosen = ChooseIconEntry(bytes, deviceColours, budget);
    if (chosen.standard) return StandardApplicationIcon();
    if (IsPngEntry(chosen)) { ImageTarget target(ImageTarget::Size::Stored); DecodePngEntry(chosen, target, budget); return target.take(); }
    return DecodeBitmapEntry(chosen.data, budget);
}

IconImage SampleFrameIcon(std::span<const uint8_t> bytes, ReadBudget& budget, uint16_t deviceColours) {
    const ChosenEntry chosen = ChooseIconEntry(bytes, deviceColours, budget);
    if (chosen.standard) return StandardApplicationIcon();  // 16×16 already
    if (IsPngEntry(chosen)) { ImageTarget target(ImageTarget::Size::Frame); DecodePngEntry(chosen, target, budget); return target.take(); }
    return SampleBitmapEntry(chosen.data, budget);
}

IconImage DecodeFrameIcon(std::span<const uint8_t> bytes, uint16_t deviceColours) {
    ReadBudget budget;
    return DecodeFrameIcon(bytes, budget, deviceColours);
}

IconImage SampleFrameIcon(std::span<const uint8_t> bytes, uint16_t deviceColours) {
    ReadBudget budget;
    return SampleFrameIcon(bytes, budget, deviceColours);
}

IconImage ScaleToFrame(const IconImage& image) {
    IconImage out{kFrameSize, kFrameSize, {}};
    out.pixels.assign(size_t(kFrameSize) * kFrameSize, Rgba{0, 0, 0, 0});
    if (image.width <= 0 || image.height <= 0) return out;
    for (int y = 0; y < kFrameSize; ++y) {
        const int sy = FrameSourceIndex(y, image.height);
        for (int x = 0; x < kFrameSize; ++x)
            out.pixels[size_t(y * kFrameSize + x)] = image.at(FrameSourceIndex(x, image.width), sy);
    }
    return out;
}

const IconImage& StandardApplicationIcon() {
    // A small window: grey frame, navy title bar, white body.
    static const IconImage icon = [] {
        IconImage image{kFrameSize, kFrameSize, {}};
        image.pixels.assign(size_t(kFrameSize) * kFrameSize, Rgba{0, 0, 0, 0});
        for (int y = 1; y < 15; ++y)
            for (int x = 1; x < 15; ++x) {
                const bool frame = x == 1 || x == 14 || y == 1 || y == 14;
                const Rgb c = frame ? kStandardColours[kGrey]
                            : y <= 4 ? kStandardColours[kNavy]
                                     : kStandardColours[kWhite];
                image.pixels[size_t(y * kFrameSize + x)] = {c.r, c.g, c.b, 255};
            }
        return image;
    }();
    return icon;
}
