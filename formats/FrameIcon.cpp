#include "formats/FrameIcon.h"

#include <algorithm>
#include <array>
#include <cassert>

#include "formats/ByteReader.h"
#include "formats/Errors.h"
#include "formats/PngImage.h"

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
    // The first n bytes as one span: the data itself when it is long enough,
    // else a copy padded with zeros.
    std::span<const uint8_t> first(size_t n, std::vector<uint8_t>& storage) const {
        if (m_data.size() >= n) return m_data.first(n);
        storage.assign(n, 0);
        std::copy(m_data.begin(), m_data.end(), storage.begin());
        return storage;
    }

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

// Decodes one colour row of `width` pixels into out.
void DecodeRow(const uint8_t* row, int width, uint16_t bpp, const std::array<Rgba, 256>& table, Rgba* out) {
    switch (bpp) {
    case 4:  // the frame icon's own depth: two pixels a byte
        for (int x = 0; x + 1 < width; x += 2) {
            out[x] = table[row[x / 2] >> 4];
            out[x + 1] = table[row[x / 2] & 15];
        }
        if (width % 2) out[width - 1] = table[row[width / 2] >> 4];
        break;
    case 1: case 8: {
        const unsigned mask = (1u << bpp) - 1;
        for (int x = 0; x < width; ++x) {
            const unsigned bit = unsigned(x) * bpp;
            out[x] = table[(row[bit / 8] >> (8 - bpp - bit % 8)) & mask];
        }
        break;
    }
    case 16:  // 5 bits each of red, green and blue, the top bit unused
        for (int x = 0; x < width; ++x) {
            const unsigned v = unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8;
            auto widen = [](unsigned five) { return uint8_t(five << 3 | five >> 2); };
            out[x] = {widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31), 255};
        }
        break;
    case 24:
        for (int x = 0; x < width; ++x, row += 3) out[x] = {row[2], row[1], row[0], 255};
        break;
    default:  // 32: blue, green, red, alpha
        for (int x = 0; x < width; ++x, row += 4) out[x] = {row[2], row[1], row[0], row[3]};
        break;
    }
}

// Newer icons store large entries as PNG files. Unlike a bitmap entry, the
// directory's width and height (0 meaning 256) must be the picture's own.
IconImage DecodePngEntry(std::span<const uint8_t> png, uint8_t directoryWidth, uint8_t directoryHeight) {
    const int width = directoryWidth ? directoryWidth : kMaxIconSide;
    const int height = directoryHeight ? directoryHeight : kMaxIconSide;
    IconImage image = DecodePngImage(png, {uint32_t(width), uint32_t(height)});
    if (image.width != width || image.height != height) throw EInvalidGraphic(messages::kInvalidIcon);
    for (Rgba& p : image.pixels)
        if (p.alpha == 0) p = {};  // transparent pixels hold black, as in bitmap entries
    return image;
}

IconImage DecodeBitmap(const ZeroPadded& data) {
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

    std::vector<uint8_t> padded;
    const std::span<const uint8_t> bits = data.first(size_t(masksAt + maskStride * height), padded);

    std::array<Rgba, 256> table;
    for (uint64_t i = 0; i < tableSize; ++i) {
        const uint8_t* entry = &bits[size_t(tableAt + 4 * i)];
        table[size_t(i)] = {entry[2], entry[1], entry[0], 255};
    }

    // A 32-bit image's alpha counts only when some pixel uses it; otherwise
    // the mask alone decides.
    bool useAlpha = false;
    for (uint64_t at = coloursAt + 3; bpp == 32 && !useAlpha && at < masksAt; at += 4)
        useAlpha = bits[size_t(at)] != 0;

    IconImage image{width, int(height), std::vector<Rgba>(size_t(width) * height)};
    for (uint32_t y = 0; y < height; ++y) {
        const uint64_t row = height - 1 - y;  // bottom row first
        Rgba* out = &image.pixels[size_t(y) * size_t(width)];
        DecodeRow(&bits[size_t(coloursAt + row * colourStride)], width, bpp, table, out);
        const uint8_t* mask = &bits[size_t(masksAt + row * maskStride)];
        if (bpp == 32) {
            for (int x = 0; x < width; ++x) {
                if (!useAlpha) out[x].alpha = 255;
                if (out[x].alpha == 0) out[x] = {};
            }
        }
        for (int x = 0; x < width; x += 8) {
            if (mask[x / 8] == 0) continue;  // the common case: eight opaque pixels
            for (int k = x; k < std::min(width, x + 8); ++k)
                if (mask[k / 8] & (0x80 >> (k % 8))) out[k] = {};
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
    if (dataOffset < bytes.size() && IsPng(bytes.subspan(dataOffset))) {
        // A PNG cut short by the end of the icon fails in the decoder.
        const auto png = bytes.subspan(dataOffset, std::min<size_t>(dataSize, bytes.size() - dataOffset));
        return DecodePngEntry(png, directory.u8(entry), directory.u8(entry + 1));
    }
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
