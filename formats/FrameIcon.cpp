#include "formats/FrameIcon.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    // The bytes that are really there.
    std::span<const uint8_t> available() const { return m_data; }
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

// The image an icon shows: the application's own for type 0, else the data
// of the chosen directory entry.
struct ChosenImage {
    bool standard = false;
    ZeroPadded data{{}, 0, 0};
    uint8_t directoryWidth = 0;  // 0 means 256
    uint8_t directoryHeight = 0;
};

ChosenImage ChooseImage(std::span<const uint8_t> bytes, uint16_t deviceColours) {
    ByteReader header(bytes);
    header.skip(2);
    const uint16_t type = header.u16le();
    const uint16_t count = header.u16le();
    if (type == kTypeStandardIcon) return {true};
    if (type != kTypeIcon || count == 0) throw EInvalidGraphic(messages::kInvalidIcon);

    const ZeroPadded directory(bytes, kIconHeaderSize, uint64_t(count) * kDirectoryEntrySize);
    const uint64_t entry = uint64_t(ChooseEntry(directory, count, deviceColours)) * kDirectoryEntrySize;
    const uint32_t dataSize = directory.u32(entry + 8);
    const uint32_t dataOffset = directory.u32(entry + 12);
    return {false, ZeroPadded(bytes, dataOffset, dataSize), directory.u8(entry), directory.u8(entry + 1)};
}

// Newer icons store large entries as PNG files. Unlike a bitmap entry, the
// directory's width and height (0 meaning 256) must be the picture's own.
// A PNG cut short by the end of the icon fails in the decoder.
bool IsPngEntry(const ChosenImage& chosen) { return IsPng(chosen.data.available()); }

IconImage DecodePngEntry(const ChosenImage& chosen, ReadBudget& budget) {
    const int width = chosen.directoryWidth ? chosen.directoryWidth : kMaxIconSide;
    const int height = chosen.directoryHeight ? chosen.directoryHeight : kMaxIconSide;
    IconImage image = DecodePngImage(chosen.data.available(), {uint32_t(width), uint32_t(height)}, budget);
    if (image.width != width || image.height != height) throw EInvalidGraphic(messages::kInvalidIcon);
    for (Rgba& p : image.pixels)
        if (p.alpha == 0) p = {};  // transparent pixels hold black, as in bitmap entries
    return image;
}

// Where the parts of a stored bitmap lie, from its 40-byte header.
struct BitmapLayout {
    int width = 0;
    int height = 0;  // colour rows; the header counts mask rows too
    uint16_t bpp = 0;
    uint64_t tableSize = 0;  // colour table entries
    uint64_t coloursAt = 0;
    uint64_t colourStride = 0;
    uint64_t masksAt = 0;
    uint64_t maskStride = 0;

    uint64_t end() const { return masksAt + maskStride * uint64_t(height); }
    // The colour row and mask row of image row y, which are stored bottom row first.
    uint64_t colourRow(int y) const { return coloursAt + uint64_t(height - 1 - y) * colourStride; }
    uint64_t maskRow(int y) const { return masksAt + uint64_t(height - 1 - y) * maskStride; }
};

BitmapLayout ReadBitmapLayout(const ZeroPadded& data) {
    const int32_t width = int32_t(data.u32(4));
    const uint32_t height = data.u32(8) / 2;
    const uint16_t bpp = data.u16(14);
    const uint32_t compression = data.u32(16);
    const bool knownDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (width <= 0 || width > kMaxIconSide || height == 0 || height > kMaxIconSide || !knownDepth ||
        compression != 0)
        throw EInvalidGraphic(messages::kInvalidIcon);

    BitmapLayout l;
    l.width = width;
    l.height = int(height);
    l.bpp = bpp;
    // The table length follows from the depth alone, whatever "colours used" says.
    l.tableSize = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    l.coloursAt = kBitmapHeaderSize + 4 * l.tableSize;
    l.colourStride = RowStride(uint64_t(width), bpp);
    l.masksAt = l.coloursAt + l.colourStride * height;
    l.maskStride = RowStride(uint64_t(width), 1);
    return l;
}

// Pixels as 32-bit words in memory order (red in the low byte, alpha in the
// high one), so transparency can be applied with masks instead of branches.
constexpr uint32_t kAlphaBits = 0xFF000000;
uint32_t Word(Rgba p) {
    return uint32_t(p.r) | uint32_t(p.g) << 8 | uint32_t(p.b) << 16 | uint32_t(p.alpha) << 24;
}
void Store(Rgba* out, uint32_t word) { std::memcpy(out, &word, sizeof word); }

using ColourTable = std::array<uint32_t, 256>;

ColourTable ReadColourTable(const BitmapLayout& l, const ZeroPadded& data) {
    ColourTable table;
    for (uint64_t i = 0; i < l.tableSize; ++i) {
        const uint64_t at = kBitmapHeaderSize + 4 * i;  // blue, green, red, unused
        table[size_t(i)] = Word({data.u8(at + 2), data.u8(at + 1), data.u8(at), 255});
    }
    return table;
}

// A 32-bit image's alpha counts only when some pixel uses it; otherwise the
// mask alone decides. Missing bytes are zero and change nothing.
bool UsesAlpha(const BitmapLayout& l, const ZeroPadded& data) {
    if (l.bpp != 32) return false;
    const std::span<const uint8_t> bytes = data.available();
    const uint64_t end = std::min<uint64_t>(l.masksAt, bytes.size());
    for (uint64_t at = l.coloursAt + 3; at < end; at += 4)
        if (bytes[size_t(at)] != 0) return true;
    return false;
}

// Keeps a pixel whose mask bit is clear, zeroes one whose bit is set.
uint32_t MaskKeep(const uint8_t* maskRow, int x) {
    return uint32_t((maskRow[x >> 3] >> (7 - (x & 7)) & 1) - 1u);
}

// Pixel x of a colour row of any depth but 32, as a word (always opaque).
uint32_t PaletteOrPackedPixel(const uint8_t* row, int x, uint16_t bpp, const ColourTable& table) {
    switch (bpp) {
    case 1: case 4: case 8: {
        const unsigned bit = unsigned(x) * bpp;  // the leftmost pixel is in the high bits
        return table[(row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1)];
    }
    case 16: {  // 5 bits each of red, green and blue, the top bit unused
        const unsigned v = unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8;
        auto widen = [](unsigned five) { return uint8_t(five << 3 | five >> 2); };
        return Word({widen(v >> 10 & 31), widen(v >> 5 & 31), widen(v & 31), 255});
    }
    default:  // 24: blue, green, red
        return Word({row[3 * x + 2], row[3 * x + 1], row[3 * x], 255});
    }
}

// Pixel x of a 32-bit row (blue, green, red, alpha): alpha forced opaque
// unless the image uses it, and a pixel of alpha 0 wholly transparent.
uint32_t TrueColourPixel(const uint8_t* row, int x, uint32_t forcedAlpha) {
    uint32_t stored;  // blue in the low byte: swap it with red
    std::memcpy(&stored, row + 4 * x, sizeof stored);
    const uint32_t word = (stored & 0xFF00FF00) | (stored >> 16 & 0xFF) | (stored & 0xFF) << 16 | forcedAlpha;
    return word & uint32_t(-uint32_t((word & kAlphaBits) != 0));
}

#if defined(__SSE2__)
// 32-bit pixels four at a time, as TrueColourPixel and MaskKeep treat them
// one by one; returns how many pixels were done (a multiple of eight).
int TrueColourRowSse2(const uint8_t* row, const uint8_t* mask, int width, uint32_t forcedAlpha, Rgba* out) {
    const __m128i lowByte = _mm_set1_epi32(0xFF), greenAndAlpha = _mm_set1_epi32(int(0xFF00FF00));
    const __m128i alphaBits = _mm_set1_epi32(int(kAlphaBits)), forced = _mm_set1_epi32(int(forcedAlpha));
    const __m128i zero = _mm_setzero_si128();
    // The mask bit of each lane: pixels 0-3 of eight, then pixels 4-7.
    const __m128i laneBits[2] = {_mm_set_epi32(0x10, 0x20, 0x40, 0x80), _mm_set_epi32(0x01, 0x02, 0x04, 0x08)};
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i bits = _mm_set1_epi32(mask[x / 8]);
        for (int half = 0; half < 2; ++half) {
            const int at = x + 4 * half;
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4 * at));
            // Blue and red swap places; alpha is forced where the image has none.
            v = _mm_or_si128(_mm_and_si128(v, greenAndAlpha),
                             _mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), lowByte),
                                          _mm_slli_epi32(_mm_and_si128(v, lowByte), 16)));
            v = _mm_or_si128(v, forced);
            const __m128i seeThrough = _mm_cmpeq_epi32(_mm_and_si128(v, alphaBits), zero);
            const __m128i masked = _mm_xor_si128(_mm_cmpeq_epi32(_mm_and_si128(bits, laneBits[half]), zero),
                                                 _mm_set1_epi32(-1));
            v = _mm_andnot_si128(_mm_or_si128(seeThrough, masked), v);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), v);
        }
    }
    return x;
}
#endif

// Decodes one colour row of `width` pixels through its mask row into out.
void DecodeRow(const uint8_t* row, const uint8_t* mask, const BitmapLayout& l, const ColourTable& table,
               uint32_t forcedAlpha, Rgba* out) {
    const int width = l.width;
    switch (l.bpp) {
    case 4: {  // the frame icon's own depth: two pixels a byte, eight a mask byte
        int x = 0;
        for (; x + 8 <= width; x += 8) {
            const uint8_t* pairs = row + x / 2;
            const unsigned bits = mask[x / 8];
            // Written out so that every shift is a constant.
            auto put = [&](int i, unsigned index) { Store(out + x + i, table[index] & ((bits >> (7 - i) & 1) - 1u)); };
            put(0, pairs[0] >> 4), put(1, pairs[0] & 15u), put(2, pairs[1] >> 4), put(3, pairs[1] & 15u);
            put(4, pairs[2] >> 4), put(5, pairs[2] & 15u), put(6, pairs[3] >> 4), put(7, pairs[3] & 15u);
        }
        for (; x < width; ++x) Store(out + x, PaletteOrPackedPixel(row, x, 4, table) & MaskKeep(mask, x));
        break;
    }
    case 32: {
        int x = 0;
#if defined(__SSE2__)
        x = TrueColourRowSse2(row, mask, width, forcedAlpha, out);
#endif
        for (; x < width; ++x) Store(out + x, TrueColourPixel(row, x, forcedAlpha) & MaskKeep(mask, x));
        break;
    }
    default:
        for (int x = 0; x < width; ++x)
            Store(out + x, PaletteOrPackedPixel(row, x, l.bpp, table) & MaskKeep(mask, x));
        break;
    }
}

IconImage DecodeBitmap(const ZeroPadded& data) {
    const BitmapLayout l = ReadBitmapLayout(data);
    std::vector<uint8_t> padded;
    const std::span<const uint8_t> bits = data.first(size_t(l.end()), padded);
    const ColourTable table = ReadColourTable(l, data);
    const uint32_t forcedAlpha = UsesAlpha(l, data) ? 0 : kAlphaBits;

    IconImage image{l.width, l.height, {}};
    image.pixels.resize(size_t(l.width) * size_t(l.height));  // every pixel is written below
    for (int y = 0; y < l.height; ++y)
        DecodeRow(&bits[size_t(l.colourRow(y))], &bits[size_t(l.maskRow(y))], l, table, forcedAlpha,
                  &image.pixels[size_t(y) * size_t(l.width)]);
    return image;
}

// `length` bytes from `at`: in place when they are all there, else copied
// into storage with the missing ones zero, as the decoder's padding has them.
const uint8_t* BytesAt(const ZeroPadded& data, uint64_t at, size_t length, std::vector<uint8_t>& storage) {
    static constexpr std::array<uint8_t, kMaxIconSide * 4> kZeros{};  // the longest row there is
    const std::span<const uint8_t> bytes = data.available();
    if (at >= bytes.size()) return kZeros.data();
    if (length <= bytes.size() - at) return bytes.data() + at;
    storage.assign(length, 0);
    std::copy(bytes.begin() + ptrdiff_t(at), bytes.end(), storage.begin());
    return storage.data();
}

// Only the 256 pixels FrameSourceIndex takes, read in place from 16 rows.
IconImage SampleBitmap(const ZeroPadded& data) {
    const BitmapLayout l = ReadBitmapLayout(data);
    // A 16×16 image is its own sample, and row decoding is the quicker read.
    if (l.width == kFrameSize && l.height == kFrameSize) return DecodeBitmap(data);
    const ColourTable table = ReadColourTable(l, data);
    const uint32_t forcedAlpha = UsesAlpha(l, data) ? 0 : kAlphaBits;

    int columns[kFrameSize];
    for (int x = 0; x < kFrameSize; ++x) columns[x] = FrameSourceIndex(x, l.width);
    std::vector<uint8_t> colourStorage, maskStorage;
    IconImage image{kFrameSize, kFrameSize, {}};
    image.pixels.resize(size_t(kFrameSize) * kFrameSize);
    Rgba* out = image.pixels.data();
    for (int y = 0; y < kFrameSize; ++y) {
        const int sy = FrameSourceIndex(y, l.height);
        const uint8_t* row = BytesAt(data, l.colourRow(sy), size_t(l.colourStride), colourStorage);
        const uint8_t* mask = BytesAt(data, l.maskRow(sy), size_t(l.maskStride), maskStorage);
        for (const int sx : columns) {
            const uint32_t colour = l.bpp == 32 ? TrueColourPixel(row, sx, forcedAlpha)
                                                : PaletteOrPackedPixel(row, sx, l.bpp, table);
            Store(out++, colour & MaskKeep(mask, sx));
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

void CheckHeader(std::span<const uint8_t> bytes) {
    ByteReader header(bytes);
    header.skip(2);  // reserved: not checked
    const uint16_t type = header.u16le();
    header.skip(2);  // image count: checked when decoding
    if (type != kTypeStandardIcon && type != kTypeIcon) throw EInvalidGraphic(messages::kInvalidIcon);
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

IconImage DecodeFrameIcon(std::span<const uint8_t> bytes, ReadBudget& budget, uint16_t deviceColours) {
    const ChosenImage chosen = ChooseImage(bytes, deviceColours);
    if (chosen.standard) return StandardApplicationIcon();
    if (IsPngEntry(chosen)) return DecodePngEntry(chosen, budget);
    return DecodeBitmap(chosen.data);
}

IconImage SampleFrameIcon(std::span<const uint8_t> bytes, ReadBudget& budget, uint16_t deviceColours) {
    const ChosenImage chosen = ChooseImage(bytes, deviceColours);
    if (chosen.standard) return StandardApplicationIcon();  // 16×16 already
    // A PNG entry is decoded whole (at most 256×256) and then scaled.
    if (IsPngEntry(chosen)) return ScaleToFrame(DecodePngEntry(chosen, budget));
    return SampleBitmap(chosen.data);
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
