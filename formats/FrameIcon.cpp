#include "formats/FrameIcon.h"

#include <cassert>

#include "formats/ByteReader.h"
#include "formats/Errors.h"

namespace {

// Icon file layout.
constexpr size_t kIconHeaderSize = 6;      // reserved, type, image count
constexpr size_t kDirectoryEntrySize = 16; // one per image
constexpr uint16_t kTypeStandardIcon = 0;  // shows the application's own icon
constexpr uint16_t kTypeIcon = 1;
constexpr size_t kBitmapHeaderSize = 40;
constexpr int kMaxIconSide = 256;

// The frame icon as written: one 16×16 image, 4 bits per pixel.
constexpr uint32_t kFrameBitsPerPixel = 4;
constexpr uint32_t kFrameColourRowBytes = 8;  // 16 pixels × 4 bits
constexpr uint32_t kFrameMaskRowBytes = 4;    // 16 bits, padded to 32
constexpr uint32_t kFrameImageDataSize =
    kBitmapHeaderSize + 16 * 4 + kFrameColourRowBytes * 16 + kFrameMaskRowBytes * 16;

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}

// A window onto part of the icon's bytes in which everything beyond the
// real data reads as zero, as missing icon bytes do.
class ZeroPadded {
public:
    ZeroPadded(std::span<const uint8_t> all, uint64_t offset, uint64_t length) {
        if (offset < all.size()) {
            const uint64_t available = all.size() - offset;
            m_data = all.subspan(size_t(offset), size_t(length < available ? length : available));
        }
    }
    uint8_t u8(uint64_t at) const { return at < m_data.size() ? m_data[size_t(at)] : 0; }
    uint16_t u16(uint64_t at) const { return uint16_t(u8(at) | u8(at + 1) << 8); }
    uint32_t u32(uint64_t at) const { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; }

private:
    std::span<const uint8_t> m_data;
};

uint64_t RowStride(uint64_t width, uint64_t bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }

// Picks the directory entry to decode: the first whose colour word is the
// display's colour count; else the first that fits the display, replaced by
// any later one with more colours; else the first.
uint16_t ChooseEntry(const ZeroPadded& directory, uint16_t count, uint16_t deviceColours) {
    std::optional<uint16_t> chosen;
    uint16_t reference = 0;
    for (uint16_t e = 0; e < count; ++e) {
        const uint16_t colours = directory.u16(uint64_t(e) * kDirectoryEntrySize + 2);
        if (colours == deviceColours) return e;
        if (!chosen && colours <= deviceColours) {
            chosen = e;
            reference = colours;
        } else if (chosen && colours > reference) {
            chosen = e;
        }
    }
    return chosen.value_or(0);
}

Rgba FromTable(const ZeroPadded& data, uint64_t tableAt, uint32_t index) {
    const uint64_t at = tableAt + uint64_t(index) * 4;
    return {data.u8(at + 2), data.u8(at + 1), data.u8(at), 255};
}

// One pixel of a colour row, as stored.
Rgba ColourAt(const ZeroPadded& data, uint64_t rowAt, int x, uint16_t bpp, uint64_t tableAt) {
    switch (bpp) {
    case 1: case 4: case 8: {
        const uint64_t bit = uint64_t(x) * bpp;
        const uint32_t index = (data.u8(rowAt + bit / 8) >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        return FromTable(data, tableAt, index);
    }
    case 16: {  // 5 bits each of red, green and blue, the top bit unused
        const uint16_t v = data.u16(rowAt + uint64_t(x) * 2);
        auto widen = [](uint32_t five) { return uint8_t(five << 3 | five >> 2); };
        return {widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31), 255};
    }
    case 24: {
        const uint64_t at = rowAt + uint64_t(x) * 3;
        return {data.u8(at + 2), data.u8(at + 1), data.u8(at), 255};
    }
    default: {  // 32: blue, green, red, alpha
        const uint64_t at = rowAt + uint64_t(x) * 4;
        return {data.u8(at + 2), data.u8(at + 1), data.u8(at), data.u8(at + 3)};
    }
    }
}

IconImage DecodeBitmap(const ZeroPadded& data) {
    if (data.u32(0) == 0x474E5089)  // "\x89PNG": compressed images are not read
        throw EInvalidGraphic(messages::kInvalidIcon);
    const int32_t width = int32_t(data.u32(4));
    const uint32_t height = data.u32(8) / 2;  // colour rows and mask rows together
    const uint16_t bpp = data.u16(14);
    const uint32_t compression = data.u32(16);
    const bool knownDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (width <= 0 || width > kMaxIconSide || height == 0 || height > kMaxIconSide || !knownDepth ||
        compression != 0)
        throw EInvalidGraphic(messages::kInvalidIcon);

    const uint64_t tableSize = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    const uint64_t tableAt = kBitmapHeaderSize;
    const uint64_t coloursAt = tableAt + 4 * tableSize;
    const uint64_t colourStride = RowStride(uint64_t(width), bpp);
    const uint64_t masksAt = coloursAt + colourStride * height;
    const uint64_t maskStride = RowStride(uint64_t(width), 1);

    // A 32-bit image's alpha counts only when some pixel uses it; otherwise
    // the mask alone decides.
    bool useAlpha = false;
    for (uint32_t row = 0; bpp == 32 && !useAlpha && row < height; ++row)
        for (int x = 0; x < width && !useAlpha; ++x)
            useAlpha = data.u8(coloursAt + row * colourStride + uint64_t(x) * 4 + 3) != 0;

    IconImage image{width, int(height), std::vector<Rgba>(size_t(width) * height)};
    for (uint32_t y = 0; y < height; ++y) {
        const uint64_t row = height - 1 - y;  // bottom row first
        for (int x = 0; x < width; ++x) {
            Rgba p = ColourAt(data, coloursAt + row * colourStride, x, bpp, tableAt);
            if (!useAlpha) p.alpha = 255;
            const bool masked = data.u8(masksAt + row * maskStride + uint64_t(x) / 8) & (0x80 >> (x % 8));
            if (masked || p.alpha == 0) p = {};
            image.pixels[size_t(y) * size_t(width) + size_t(x)] = p;
        }
    }
    return image;
}

}  // namespace

std::unique_ptr<TFrameIcon> TFrameIcon::Built(IconImage image) {
    assert(image.width == kFrameSize && image.height == kFrameSize);
    auto icon = std::make_unique<TFrameIcon>();
    icon->m_state = State::Built;
    icon->m_image = std::move(image);
    return icon;
}

std::unique_ptr<TFrameIcon> TFrameIcon::Loaded(std::vector<uint8_t> bytes) {
    auto icon = std::make_unique<TFrameIcon>();
    icon->m_state = State::Loaded;
    icon->m_bytes = std::move(bytes);
    return icon;
}

const std::vector<uint8_t>& TFrameIcon::bytes() const {
    if (m_state == State::Empty) throw EInvalidGraphic(messages::kInvalidIcon);
    if (!m_bytes) m_bytes = EncodeFrameIcon(*m_image);
    return *m_bytes;
}

const IconImage& TFrameIcon::image() const {
    if (m_state == State::Empty) throw EInvalidGraphic(messages::kInvalidIcon);
    if (!m_image) m_image = DecodeFrameIcon(*m_bytes);
    return *m_image;
}

std::unique_ptr<TFrameIcon> LoadFrameIcon(std::vector<uint8_t> bytes) {
    ByteReader header(bytes);
    header.skip(2);  // reserved: not checked
    const uint16_t type = header.u16le();
    header.skip(2);  // image count: checked when decoding
    if (type != kTypeStandardIcon && type != kTypeIcon) throw EInvalidGraphic(messages::kInvalidIcon);
    return TFrameIcon::Loaded(std::move(bytes));
}

std::vector<uint8_t> EncodeFrameIcon(const IconImage& image) {
    assert(image.width == kFrameSize && image.height == kFrameSize);
    std::vector<uint8_t> out;
    out.reserve(kFrameIconBytes);
    PutU16(out, 0);
    PutU16(out, kTypeIcon);
    PutU16(out, 1);
    // Directory entry. The colour word holds planes × bits per pixel; the
    // planes and bit-count words are left zero.
    out.push_back(kFrameSize);
    out.push_back(kFrameSize);
    PutU16(out, 1 * kFrameBitsPerPixel);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU32(out, kFrameImageDataSize);
    PutU32(out, kIconHeaderSize + kDirectoryEntrySize);
    // Bitmap header: the height counts colour and mask rows together, the
    // image size only the colour rows.
    PutU32(out, kBitmapHeaderSize);
    PutU32(out, kFrameSize);
    PutU32(out, 2 * kFrameSize);
    PutU16(out, 1);
    PutU16(out, kFrameBitsPerPixel);
    PutU32(out, 0);
    PutU32(out, kFrameColourRowBytes * kFrameSize);
    for (int i = 0; i < 4; ++i) PutU32(out, 0);
    for (Rgb c : kStandardColours) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = kFrameSize - 1; y >= 0; --y) {
        for (int x = 0; x < kFrameSize; x += 2) {
            auto index = [&](int px) {
                const Rgba p = image.at(px, y);
                return p.transparent() ? int(kBlack) : NearestStandardIndex(p.rgb());
            };
            out.push_back(uint8_t(index(x) << 4 | index(x + 1)));
        }
    }
    for (int y = kFrameSize - 1; y >= 0; --y) {
        uint16_t bits = 0;
        for (int x = 0; x < kFrameSize; ++x)
            if (image.at(x, y).transparent()) bits |= uint16_t(0x8000 >> x);
        out.push_back(uint8_t(bits >> 8));
        out.push_back(uint8_t(bits));
        PutU16(out, 0);
    }
    assert(out.size() == kFrameIconBytes);
    return out;
}

IconImage DecodeFrameIcon(std::span<const uint8_t> bytes, uint16_t deviceColours) {
    ByteReader header(bytes);
    header.skip(2);
    const uint16_t type = header.u16le();
    const uint16_t count = header.u16le();
    if (type == kTypeStandardIcon) return StandardApplicationIcon();
    if (type != kTypeIcon || count == 0) throw EInvalidGraphic(messages::kInvalidIcon);

    const ZeroPadded directory(bytes, kIconHeaderSize, uint64_t(count) * kDirectoryEntrySize);
    const uint64_t entry = uint64_t(ChooseEntry(directory, count, deviceColours)) * kDirectoryEntrySize;
    const uint32_t dataSize = directory.u32(entry + 8);
    const uint32_t dataOffset = directory.u32(entry + 12);
    return DecodeBitmap(ZeroPadded(bytes, dataOffset, dataSize));
}

const IconImage& StandardApplicationIcon() {
    // A small window: grey frame, navy title bar, white body.
    static const IconImage icon = [] {
        IconImage image{kFrameSize, kFrameSize, std::vector<Rgba>(kFrameSize * kFrameSize)};
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
