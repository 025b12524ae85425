#include "formats/FrameIcon.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>

#include "formats/IconLayout.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

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

}  // namespace

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

namespace {

constexpr size_t kFrameColourRowsAt = kIconHeaderSize + kDirectoryEntrySize + kBitmapHeaderSize + 16 * 4;
constexpr size_t kFrameMaskRowsAt = kFrameColourRowsAt + kFrameColourRowBytes * kFrameSize;

// What every icon the writer makes starts with: the header, the directory
// entry, the bitmap header and the colour table.
const std::array<uint8_t, kFrameColourRowsAt>& WrittenPrefix() {
    static const std::array<uint8_t, kFrameColourRowsAt> prefix = [] {
        IconImage black{kFrameSize, kFrameSize, {}};
        black.pixels.assign(size_t(kFrameSize) * kFrameSize, Rgba{0, 0, 0, 255});
        const std::vector<uint8_t> bytes = EncodeFrameIcon(black);
        std::array<uint8_t, kFrameColourRowsAt> p;
        std::copy_n(bytes.begin(), p.size(), p.begin());
        return p;
    }();
    return prefix;
}

// For a mask byte (eight pixels, the leftmost in the high bit), the four
// colour-row bytes of those pixels with every transparent pixel's half set.
constexpr std::array<uint32_t, 256> kTransparentNibbles = [] {
    std::array<uint32_t, 256> table{};
    for (unsigned mask = 0; mask < 256; ++mask)
        for (unsigned pixel = 0; pixel < 8; ++pixel)
            if (mask & (0x80u >> pixel)) table[mask] |= (pixel % 2 ? 0x0Fu : 0xF0u) << (8 * (pixel / 2));
    return table;
}();

}  // namespace

bool IsWrittenFrameIcon(std::span<const uint8_t> bytes) {
    const auto& prefix = WrittenPrefix();
    if (bytes.size() != kFrameIconBytes || std::memcmp(bytes.data(), prefix.data(), prefix.size()) != 0) return false;
    // Padding that is not zero, or a transparent pixel that is not black,
    // a row at a time: its 16 colour nibbles against its 16 mask bits.
    uint64_t stray = 0;
    for (int row = 0; row < kFrameSize; ++row) {
        uint64_t colours;
        uint32_t mask;
        std::memcpy(&colours, &bytes[kFrameColourRowsAt + size_t(row) * kFrameColourRowBytes], sizeof colours);
        std::memcpy(&mask, &bytes[kFrameMaskRowsAt + size_t(row) * kFrameMaskRowBytes], sizeof mask);
        const uint64_t transparent =
            uint64_t(kTransparentNibbles[mask & 0xFF]) | uint64_t(kTransparentNibbles[mask >> 8 & 0xFF]) << 32;
        stray |= (colours & transparent) | mask >> 16;
    }
    static_assert(kBlack == 0, "a transparent pixel is stored as index 0");
    static_assert(std::endian::native == std::endian::little, "rows are read as little-endian words");
    return stray == 0;
}

namespace {

// A standard colour as an opaque pixel word in memory order (red in the low
// byte), as the decoders handle pixels.
constexpr uint64_t OpaqueWord(size_t index) {
    const Rgb c = kStandardColours[index];
    return uint64_t(c.r) | uint64_t(c.g) << 8 | uint64_t(c.b) << 16 | uint64_t(0xFF) << 24;
}
// A colour byte's two pixels, the left one (the high half) first in memory.
constexpr std::array<uint64_t, 256> kPixelPairs = [] {
    std::array<uint64_t, 256> pairs{};
    for (size_t byte = 0; byte < 256; ++byte) pairs[byte] = OpaqueWord(byte >> 4) | OpaqueWord(byte & 15) << 32;
    return pairs;
}();
// Two mask bits, the left pixel's the higher: which of the pair's words stay.
constexpr uint64_t kKeptPairs[4] = {~uint64_t(0), ~uint64_t(0) >> 32, ~uint64_t(0) << 32, 0};

#if defined(__x86_64__)

// The sixteen colours' red, green and blue values, each by index.
constexpr std::array<std::array<uint8_t, 16>, 3> kChannels = [] {
    std::array<std::array<uint8_t, 16>, 3> channels{};
    for (size_t i = 0; i < 16; ++i) {
        channels[0][i] = kStandardColours[i].r;
        channels[1][i] = kStandardColours[i].g;
        channels[2][i] = kStandardColours[i].b;
    }
    return channels;
}();

// The same a row of 16 pixels at a time, each channel looked up for all of
// them by one byte shuffle (SSSE3, which every x86-64 processor since 2011
// has; the word-pair loop serves the rest).
__attribute__((target("ssse3"))) void DecodeWrittenRows(const uint8_t* bytes, Rgba* pixels) {
    const __m128i red = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kChannels[0].data()));
    const __m128i green = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kChannels[1].data()));
    const __m128i blue = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kChannels[2].data()));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    // Mask byte 0 for pixels 0..7, byte 1 for 8..15, the leftmost in the high bit.
    const __m128i spread = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1);
    const __m128i bit = _mm_setr_epi8(char(0x80), 0x40, 0x20, 0x10, 8, 4, 2, 1, char(0x80), 0x40, 0x20, 0x10, 8, 4, 2, 1);
    for (int y = 0; y < kFrameSize; ++y) {
        const int row = kFrameSize - 1 - y;  // stored bottom row first
        const uint8_t* colours = bytes + kFrameColourRowsAt + size_t(row) * kFrameColourRowBytes;
        const uint8_t* mask = bytes + kFrameMaskRowsAt + size_t(row) * kFrameMaskRowBytes;
        const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(colours));
        // A byte's high half is the left pixel.
        const __m128i index = _mm_unpacklo_epi8(_mm_and_si128(_mm_srli_epi16(packed, 4), nibble), _mm_and_si128(packed, nibble));
        const __m128i maskBytes = _mm_shuffle_epi8(_mm_cvtsi32_si128(mask[0] | mask[1] << 8), spread);
        // A set mask bit clears the pixel's whole word: transparent black.
        const __m128i kept = _mm_cmpeq_epi8(_mm_and_si128(maskBytes, bit), _mm_setzero_si128());
        const __m128i r = _mm_and_si128(_mm_shuffle_epi8(red, index), kept);
        const __m128i g = _mm_and_si128(_mm_shuffle_epi8(green, index), kept);
        const __m128i b = _mm_and_si128(_mm_shuffle_epi8(blue, index), kept);
        const __m128i rgLeft = _mm_unpacklo_epi8(r, g), rgRight = _mm_unpackhi_epi8(r, g);
        const __m128i baLeft = _mm_unpacklo_epi8(b, kept), baRight = _mm_unpackhi_epi8(b, kept);
        auto* out = reinterpret_cast<__m128i*>(pixels + y * kFrameSize);
        _mm_storeu_si128(out, _mm_unpacklo_epi16(rgLeft, baLeft));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(rgLeft, baLeft));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi16(rgRight, baRight));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi16(rgRight, baRight));
    }
}

#endif

}  // namespace

void DecodeWrittenFrameIcon(std::span<const uint8_t> bytes, Rgba* pixels) {
    static_assert(std::endian::native == std::endian::little, "pixel words are stored as little-endian");
    assert(IsWrittenFrameIcon(bytes));
#if defined(__x86_64__)
    static const bool shuffles = __builtin_cpu_supports("ssse3");
    if (shuffles) return DecodeWrittenRows(bytes.data(), pixels);
#endif
    for (int y = 0; y < kFrameSize; ++y) {
        const int row = kFrameSize - 1 - y;  // stored bottom row first
        const uint8_t* colours = &bytes[kFrameColourRowsAt + size_t(row) * kFrameColourRowBytes];
        const uint8_t* mask = &bytes[kFrameMaskRowsAt + size_t(row) * kFrameMaskRowBytes];
        const unsigned bits = unsigned(mask[0]) << 8 | mask[1];
        Rgba* out = pixels + y * kFrameSize;
        // A set mask bit clears the pixel's whole word: transparent black.
        for (int i = 0; i < kFrameSize / 2; ++i) {
            const uint64_t pair = kPixelPairs[colours[i]] & kKeptPairs[bits >> (14 - 2 * i) & 3u];
            std::memcpy(out + 2 * i, &pair, sizeof pair);
        }
    }
}
