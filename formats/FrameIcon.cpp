#include "formats/FrameIcon.h"

#include <cassert>
#include <stdexcept>

#include "formats/Errors.h"
#include "formats/IconBitmap.h"
#include "formats/IconDirectory.h"
#include "formats/IconLayout.h"
#include "formats/IconPngEntry.h"
#include "formats/ImageTarget.h"

std::unique_ptr<TFrameIcon> TFrameIcon::Built(IconImage image) {
    assert(image.width == kFrameSize && image.height == kFrameSize);
    auto icon = std::make_unique<TFrameIcon>();
    icon->m_state = State::Built;
    icon->m_image = std::move(image);
    return icon;
}

std::unique_ptr<TFrameIcon> TFrameIcon::Written(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner) {
    assert(IsWrittenFrameIcon(bytes));
    auto icon = std::make_unique<TFrameIcon>();
    icon->m_state = State::Built;
    icon->m_bytes = bytes;
    icon->m_owner = std::move(owner);
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
    icon.m_bytes = bytes;
    return icon;
}

TFrameIcon TFrameIcon::Kept(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner) {
    TFrameIcon icon;
    icon.m_state = State::Built;
    icon.m_owner = std::move(owner);
    icon.m_bytes = bytes;
    return icon;
}

std::span<const uint8_t> TFrameIcon::bytes() const {
    if (m_state == State::Empty) throw EInvalidGraphic(messages::kInvalidIcon);
    if (m_state == State::Built && !m_owner) {  // not encoded yet
        auto encoded = std::make_shared<const std::vector<uint8_t>>(EncodeFrameIcon(*m_image));
        m_bytes = *encoded;
        m_owner = std::move(encoded);
    }
    return m_bytes;
}

const IconImage& TFrameIcon::image() const {
    if (m_state == State::Empty) throw EInvalidGraphic(messages::kInvalidIcon);
    if (m_state == State::Loaded) throw std::logic_error("a loaded icon is decoded only within a read");
    if (!m_image) {
        IconImage image{kFrameSize, kFrameSize, {}};
        image.pixels.resize(size_t(kFrameSize) * kFrameSize);
        DecodeWrittenFrameIcon(m_bytes, image.pixels.data());
        m_image = std::move(image);
    }
    return *m_image;
}

const IconImage& TFrameIcon::image(ReadBudget& budget) const {
    if (m_state != State::Loaded) return image();
    if (!m_image) {
        ImageTarget whole(ImageTarget::Size::Stored);
        DecodeFrameIcon(m_bytes, whole, budget);
        m_image = whole.take();
    }
    return *m_image;
}

namespace {

// Checking and decoding the writer's own 318 bytes, in units of 5 ns on the
// development machine (bench/cost/import_cost_bench.cpp).
constexpr uint64_t kWrittenDecodeUnits = 64;

// The writer's bytes, known to be such, straight into target: a 16×16
// frame is its own sample.
void DecodeWritten(std::span<const uint8_t> bytes, ImageTarget& target, ReadBudget& budget) {
    budget.charge(kWrittenDecodeUnits, "decoding a frame");
    target.begin(kFrameSize, kFrameSize, budget);
    DecodeWrittenFrameIcon(bytes, target.row(0));
}

}  // namespace

void TFrameIcon::decode(ImageTarget& target, ReadBudget& budget) const {
    if (keepsWrittenBytes() && !m_image) {
        // A file's frames lie one after another, each behind a record of
        // 8 bytes, and are mostly decoded in turn: the rows of the next two
        // are fetched ahead. A hint only, which never faults wherever it points.
        for (size_t ahead = 1; ahead <= 2; ++ahead)
            for (size_t at = 126; at < kFrameIconBytes; at += 64)
                __builtin_prefetch(m_bytes.data() + ahead * (kFrameIconBytes + 8) + at);
        return DecodeWritten(m_bytes, target, budget);
    }
    else if (m_state == State::Loaded && !m_image) DecodeFrameIcon(m_bytes, target, budget);
    else target.putImage(image(budget), budget);
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

FrameIconKind CheckFrameIcon(std::span<const uint8_t> bytes) {
    if (IsWrittenFrameIcon(bytes)) return FrameIconKind::Written;
    CheckHeader(bytes);
    return FrameIconKind::Other;
}

TFrameIcon LoadFrameIcon(std::span<const uint8_t> bytes, std::shared_ptr<const void> owner) {
    CheckHeader(bytes);
    return TFrameIcon::Loaded(bytes, std::move(owner));
}

void DecodeFrameIcon(std::span<const uint8_t> bytes, ImageTarget& target, ReadBudget& budget,
                     uint16_t deviceColours) {
    // The writer's own icons, nearly every frame there is, take a short path.
    if (IsWrittenFrameIcon(bytes)) return DecodeWritten(bytes, target, budget);
    const ChosenEntry chosen = ChooseIconEntry(bytes, deviceColours, budget);
    if (chosen.standard) target.putImage(StandardApplicationIcon(), budget);
    else if (IsPngEntry(chosen)) DecodePngEntry(chosen, target, budget);
    else DecodeBitmapEntry(chosen.data, target, budget);
}

bool ShowsPngEntry(std::span<const uint8_t> bytes, ReadBudget& budget) {
    if (ReadIconHeader(bytes).type == kTypeStandardIcon) return false;
    return IsPngEntry(ChooseIconEntry(bytes, 0, budget));
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
