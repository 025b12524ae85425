#include "formats/IconBitmap.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <vector>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "formats/ByteReader.h"
#include "formats/Errors.h"
#include "formats/IconLayout.h"
#include "formats/ImageTarget.h"

// Pixels are handled as 32-bit words whose bytes lie in Rgba's order in memory.
static_assert(std::endian::native == std::endian::little, "pixel words are stored as little-endian");

namespace {

// Prices, in the budget's units of 5 ns, each for the slowest input of its
// step on the development machine (bench/cost/icon_cost.cpp measures them).
constexpr uint64_t kRowPixelUnits = 2;      // a pixel of a row decoded whole (16 bits: 5.7 ns)
constexpr uint64_t kSampledPixelUnits = 8;  // a pixel read on its own, from memory (33 ns)
constexpr uint64_t kRowUnits = 16;          // finding a row, padding one cut short
constexpr uint64_t kTableEntryUnits = 1;    // a colour table entry
constexpr uint64_t kAlphaBytesPerUnit = 8;  // bytes of a 32-bit image scanned for alpha

// The 40-byte header that starts a bitmap entry.
struct BitmapHeader {
    uint32_t size = 0;
    int32_t width = 0;
    uint32_t height = 0;  // colour and mask rows together
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    int32_t xPixelsPerMetre = 0;
    int32_t yPixelsPerMetre = 0;
    uint32_t coloursUsed = 0;  // ignored: the depth alone sets the table's length
    uint32_t coloursImportant = 0;
};

BitmapHeader ReadBitmapHeader(const ZeroPadded& data) {
    std::vector<uint8_t> storage;
    ByteReader reader(data.first(kBitmapHeaderSize, storage));
    BitmapHeader h;
    h.size = reader.u32le();
    h.width = reader.i32le();
    h.height = reader.u32le();
    h.planes = reader.u16le();
    h.bitCount = reader.u16le();
    h.compression = reader.u32le();
    h.imageSize = reader.u32le();
    h.xPixelsPerMetre = reader.i32le();
    h.yPixelsPerMetre = reader.i32le();
    h.coloursUsed = reader.u32le();
    h.coloursImportant = reader.u32le();
    return h;
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
    const BitmapHeader header = ReadBitmapHeader(data);
    const int32_t width = header.width;
    const uint32_t height = header.height / 2;
    const uint16_t bpp = header.bitCount;
    const uint32_t compression = header.compression;
    const bool knownDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
    if (width <= 0 || width > kMaxIconSide || height == 0 || height > kMaxIconSide || !knownDepth ||
        compression != 0)
        throw EInvalidGraphic(messages::kInvalidIcon, "a bitmap header that describes no icon image");

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

// Charges what the decode below costs, before any of it is done. Prices are
// in units of 5 ns on the slowest input for each step (bench/cost/).
void ChargeDecoding(const BitmapLayout& l, const ImageTarget& target, const ZeroPadded& data, ReadBudget& budget) {
    const uint64_t rows = uint64_t(target.height());
    const uint64_t pixels = rows * uint64_t(target.width());
    // A sampled pixel is a read of its own, often from memory.
    const uint64_t pixelUnits = pixels * (target.wholeRows() ? kRowPixelUnits : kSampledPixelUnits);
    uint64_t units = kTableEntryUnits * l.tableSize + kRowUnits * rows + pixelUnits;
    // A 32-bit image's alpha channel is scanned until some pixel uses it.
    if (l.bpp == 32) units += std::min<uint64_t>(l.masksAt, data.available().size()) / kAlphaBytesPerUnit;
    budget.charge(units, "decoding a bitmap");
}

}  // namespace

void DecodeBitmapEntry(const ZeroPadded& data, ImageTarget& target, ReadBudget& budget) {
    const BitmapLayout l = ReadBitmapLayout(data);
    target.begin(l.width, l.height, budget);
    ChargeDecoding(l, target, data, budget);
    const ColourTable table = ReadColourTable(l, data);
    const uint32_t forcedAlpha = UsesAlpha(l, data) ? 0 : kAlphaBits;

    std::vector<uint8_t> colourStorage, maskStorage;
    for (int y = 0; y < target.height(); ++y) {
        const int sy = target.sourceY(y);
        const uint8_t* row = BytesAt(data, l.colourRow(sy), size_t(l.colourStride), colourStorage);
        const uint8_t* mask = BytesAt(data, l.maskRow(sy), size_t(l.maskStride), maskStorage);
        Rgba* out = target.row(y);
        if (target.wholeRows()) {
            DecodeRow(row, mask, l, table, forcedAlpha, out);
            continue;
        }
        for (int x = 0; x < target.width(); ++x) {
            const int sx = target.sourceX(x);
            const uint32_t colour = l.bpp == 32 ? TrueColourPixel(row, sx, forcedAlpha)
                                                : PaletteOrPackedPixel(row, sx, l.bpp, table);
            Store(out + x, colour & MaskKeep(mask, sx));
        }
    }
}
