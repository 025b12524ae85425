#include "formats/PngRows.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Where the pixels of each interlaced pass lie: first column and row, then steps.
constexpr uint32_t kPassStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
constexpr uint32_t kPassStep[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};

uint32_t PassCount(uint32_t size, uint32_t start, uint32_t step) { return size > start ? (size - start + step - 1) / step : 0; }

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The Paeth predictor of one sample: of left, above and upper left, the one
// nearest to left + above − upper left, chosen without branches (noise
// would mislead them).
inline int Paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    const int notA = (pa > pb) | (pa > pc);
    const int takeB = notA & (pb <= pc), takeC = notA & (pb > pc);
    return a ^ ((a ^ b) & -takeB) ^ ((a ^ c) & -takeC);
}

#if defined(__SSE2__)
// The same for the samples of one pixel of 4 or 8 bytes at once, each in a
// 16-bit lane.
template <size_t kBytes>
__m128i LoadPixel(const uint8_t* p) {
    uint64_t v = 0;
    std::memcpy(&v, p, kBytes);
    return _mm_unpacklo_epi8(_mm_cvtsi64_si128(int64_t(v)), _mm_setzero_si128());
}
__m128i Abs16(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

template <size_t kBytes>
void PaethPixels(uint8_t* row, const uint8_t* prior, size_t length) {
    __m128i a = _mm_setzero_si128(), c = _mm_setzero_si128();
    for (size_t i = 0; i + kBytes <= length; i += kBytes) {
        const __m128i b = LoadPixel<kBytes>(prior + i), x = LoadPixel<kBytes>(row + i);
        const __m128i pa = Abs16(_mm_sub_epi16(b, c)), pb = Abs16(_mm_sub_epi16(a, c));
        const __m128i pc = Abs16(_mm_sub_epi16(_mm_add_epi16(a, b), _mm_add_epi16(c, c)));
        const __m128i takeA = _mm_cmpeq_epi16(_mm_min_epi16(pa, _mm_min_epi16(pb, pc)), pa);
        const __m128i takeB = _mm_andnot_si128(takeA, _mm_cmpeq_epi16(_mm_min_epi16(pb, pc), pb));
        const __m128i takeC = _mm_andnot_si128(_mm_or_si128(takeA, takeB), _mm_set1_epi16(-1));
        const __m128i predicted = _mm_or_si128(_mm_or_si128(_mm_and_si128(takeA, a), _mm_and_si128(takeB, b)),
                                               _mm_and_si128(takeC, c));
        a = _mm_and_si128(_mm_add_epi16(x, predicted), _mm_set1_epi16(0xFF));
        c = b;
        const uint64_t out = uint64_t(_mm_cvtsi128_si64(_mm_packus_epi16(a, a)));
        std::memcpy(row + i, &out, kBytes);
    }
}
#endif

}  // namespace

uint32_t PngHeader::pixelBits() const {
    switch (colourType) {
    case 0: return depth;      // grey
    case 2: return 3u * depth; // RGB
    case 3: return depth;      // palette
    case 4: return 2u * depth; // grey and alpha
    case 6: return 4u * depth; // RGBA
    default: return 0;
    }
}

PngHeader ReadPngHeader(std::span<const uint8_t> data) {
    PngHeader header;
    header.width = BigEndian32(&data[0]);
    header.height = BigEndian32(&data[4]);
    header.depth = data[8];
    header.colourType = data[9];
    header.interlaced = data[12] != 0;
    return header;
}

PngRowOrder::PngRowOrder(const PngHeader& header) : m_header(header) {
    if (!header.interlaced) {
        m_rows = header.height;
        m_columns = header.width;
        m_bytes = 1 + (uint64_t(m_columns) * header.pixelBits() + 7) / 8;
        if (m_rows == 0) m_pass = 7;
        return;
    }
    startPass(0);
}

void PngRowOrder::startPass(int pass) {
    // A pass without pixels has no rows at all.
    for (m_pass = pass; m_pass < 7; ++m_pass) {
        m_columns = PassCount(m_header.width, kPassStart[m_pass][0], kPassStep[m_pass][0]);
        m_rows = m_columns ? PassCount(m_header.height, kPassStart[m_pass][1], kPassStep[m_pass][1]) : 0;
        if (m_rows) break;
    }
    m_rowInPass = 0;
    if (m_pass < 7) {
        m_sourceRow = kPassStart[m_pass][1];
        m_bytes = 1 + (uint64_t(m_columns) * m_header.pixelBits() + 7) / 8;
    }
}

void PngRowOrder::next() {
    if (++m_rowInPass < m_rows) {
        m_sourceRow += m_header.interlaced ? kPassStep[m_pass][1] : 1;
        return;
    }
    if (!m_header.interlaced) {
        m_pass = 7;
        return;
    }
    startPass(m_pass + 1);
}

uint64_t PngDataBytes(const PngHeader& header, uint32_t lastRow) {
    const auto rowBytes = [&](uint64_t columns) { return 1 + (columns * header.pixelBits() + 7) / 8; };
    if (!header.interlaced) return (uint64_t(lastRow) + 1) * rowBytes(header.width);
    uint64_t bytes = 0;
    for (int pass = 0; pass < 7; ++pass) {
        const uint32_t columns = PassCount(header.width, kPassStart[pass][0], kPassStep[pass][0]);
        if (columns > 0) bytes += PassCount(header.height, kPassStart[pass][1], kPassStep[pass][1]) * rowBytes(columns);
    }
    return bytes;
}

bool Unfilter(uint8_t filter, uint8_t* __restrict row, const uint8_t* __restrict prior, size_t length,
              size_t pixelBytes) {
    const size_t bpp = pixelBytes < length ? pixelBytes : length;
    switch (filter) {
    case 0:
        return true;
    case 1:
        for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + row[i - bpp]);
        return true;
    case 2: {
        size_t i = 0;
#if defined(__SSE2__)
        for (; i + 16 <= length; i += 16) {
            const __m128i sum = _mm_add_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)),
                                             _mm_loadu_si128(reinterpret_cast<const __m128i*>(prior + i)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), sum);
        }
#endif
        for (; i < length; ++i) row[i] = uint8_t(row[i] + prior[i]);
        return true;
    }
    case 3:
        for (size_t i = 0; i < bpp; ++i) row[i] = uint8_t(row[i] + (prior[i] >> 1));
        for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + ((row[i - bpp] + prior[i]) >> 1));
        return true;
    case 4:
#if defined(__SSE2__)
        // The samples of a pixel at once; rows hold whole pixels.
        switch (bpp) {
        case 4: return PaethPixels<4>(row, prior, length), true;
        case 8: return PaethPixels<8>(row, prior, length), true;
        default: break;
        }
#endif
        for (size_t i = 0; i < bpp; ++i) row[i] = uint8_t(row[i] + prior[i]);
        for (size_t i = bpp; i < length; ++i) row[i] = uint8_t(row[i] + Paeth(row[i - bpp], prior[i], prior[i - bpp]));
        return true;
    default:
        return false;
    }
}
