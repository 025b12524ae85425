#pragma once
// PNG files for tests: written by libpng itself from an RGBA image, or chunk
// by chunk (any colour type, depth and interlace, ancillary chunks of every
// kind, the image data over many chunks, deflate data past the last row).
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "formats/FrameIcon.h"

inline std::vector<uint8_t> EncodePng(const IconImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    const auto* pixels = reinterpret_cast<const uint8_t*>(image.pixels.data());
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr))
        throw std::runtime_error(png.message);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels, 0, nullptr))
        throw std::runtime_error(png.message);
    bytes.resize(size);
    return bytes;
}

namespace test {

// Raw deflate data (no zlib header or checksum) of n zero bytes that needs
// no earlier bytes and ends on a byte boundary, so copies of it can follow
// one another inside one stream. Kept once made: large ones take a while.
inline const std::vector<uint8_t>& ZeroBlocks(size_t n) {
    static std::map<size_t, std::vector<uint8_t>> made;
    if (const auto known = made.find(n); known != made.end()) return known->second;
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    const std::vector<uint8_t> zeros(n, 0);
    std::vector<uint8_t> out(deflateBound(&s, uLong(n)) + 16);
    s.next_in = const_cast<Bytef*>(zeros.data());
    s.avail_in = uInt(n);
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FULL_FLUSH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return made[n] = std::move(out);
}

// A zlib stream of `data` followed by `zeros` zero bytes. The zeros are
// compressed in pieces of up to 64 MiB once and repeated, so a GiB costs a
// fraction of a second to build and comes near deflate's best ratio, 1032:1.
inline std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data, uint64_t zeros = 0, int level = 9) {
    z_stream z{};
    deflateInit(&z, level);
    std::vector<uint8_t> out(deflateBound(&z, uLong(data.size())) + 16);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, zeros ? Z_FULL_FLUSH : Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (zeros == 0) return out;
    constexpr uint64_t kPiece = uint64_t(64) << 20;
    for (uint64_t left = zeros; left > 0; left -= std::min(left, kPiece)) {
        const std::vector<uint8_t>& piece = ZeroBlocks(size_t(std::min(left, kPiece)));
        out.insert(out.end(), piece.begin(), piece.end());
    }
    out.push_back(0x03);  // an empty final block of fixed codes
    out.push_back(0x00);
    // Adler-32 of the zeros: its sum stays 1 and the sum of sums grows by 1 a byte.
    const uLong ofZeros = uLong(zeros % 65521) << 16 | 1;
    const uLong adler = adler32_combine(adler32(1, data.data(), uInt(data.size())), ofZeros, z_off_t(zeros));
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(adler >> shift));
    return out;
}

// A zlib stream of `data` behind about emptyBytes bytes of empty blocks of
// dynamic Huffman codes: each a 12-byte header whose code tables zlib must
// build, and no output. Eight of them fill 94 bytes exactly, so the data's
// own blocks still start on a byte.
inline std::vector<uint8_t> DeflateBehindEmptyBlocks(const std::vector<uint8_t>& data, uint64_t emptyBytes) {
    std::vector<uint8_t> period;
    uint64_t bits = 0;
    int filled = 0;
    auto put = [&](uint32_t value, int count) {  // LSB first
        bits |= uint64_t(value) << filled;
        for (filled += count; filled >= 8; filled -= 8, bits >>= 8) period.push_back(uint8_t(bits));
    };
    auto code = [&](uint32_t value, int length) {  // Huffman codes go most significant bit first
        for (int i = length - 1; i >= 0; --i) put(value >> i & 1, 1);
    };
    for (int block = 0; block < 8; ++block) {
        put(0, 1), put(2, 2);              // not the last; dynamic codes
        put(0, 5), put(0, 5), put(14, 4);  // 257 literal/length codes, 1 distance code, 18 code length codes
        // Code length codes, in their order 16 17 18 0 8 7 9 6 10 5 11 4 12 3 13 2 14 1:
        // 18 (runs of zeros) gets 1 bit, 0 and 1 get 2 bits.
        for (int length : {0, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2}) put(uint32_t(length), 3);
        // Literal 0 and end-of-block get 1 bit each, all else none.
        code(3, 2), code(0, 1), put(127, 7), code(0, 1), put(106, 7), code(3, 2), code(2, 2);
        code(1, 1);  // end of block
    }
    std::vector<uint8_t> blocks;
    for (uint64_t n = 0; n < emptyBytes; n += period.size()) blocks.insert(blocks.end(), period.begin(), period.end());
    std::vector<uint8_t> out = Deflate(data);  // they give nothing, so its checksum stands
    out.insert(out.begin() + 2, blocks.begin(), blocks.end());
    return out;
}

inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// One chunk: length, type, data and the CRC of type and data.
inline std::vector<uint8_t> PngChunk(const std::string& type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk;
    PutBe32(chunk, uint32_t(data.size()));
    chunk.insert(chunk.end(), type.begin(), type.end());
    chunk.insert(chunk.end(), data.begin(), data.end());
    PutBe32(chunk, uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4))));
    return chunk;
}

inline std::vector<uint8_t> Latin1(const std::string& text) { return {text.begin(), text.end()}; }

// keyword, separator, compression method, then the zlib stream of `text`.
inline std::vector<uint8_t> CompressedText(const std::string& keyword, const std::vector<uint8_t>& text) {
    std::vector<uint8_t> data = Latin1(keyword);
    data.push_back(0);
    data.push_back(0);
    const std::vector<uint8_t> z = Deflate(text);
    data.insert(data.end(), z.begin(), z.end());
    return data;
}

// A PNG chunk by chunk. Samples come from a function of (x, y, channel) and
// are taken modulo 2^depth; colour type and depth are written as given.
class PngWriter {
public:
    using Sample = std::function<uint32_t(uint32_t x, uint32_t y, int channel)>;

    PngWriter(uint32_t width, uint32_t height, int depth, int colourType, bool interlaced = false)
        : m_width(width), m_height(height), m_depth(depth), m_colourType(colourType), m_interlaced(interlaced) {
        std::vector<uint8_t> ihdr;
        PutBe32(ihdr, width);
        PutBe32(ihdr, height);
        ihdr.insert(ihdr.end(), {uint8_t(depth), uint8_t(colourType), 0, 0, uint8_t(interlaced)});
        chunk("IHDR", ihdr);
    }

    PngWriter& chunk(const std::string& type, const std::vector<uint8_t>& data) {
        const auto c = PngChunk(type, data);
        m_bytes.insert(m_bytes.end(), c.begin(), c.end());
        return *this;
    }
    // The image data, split into chunks of at most chunkBytes, its zlib
    // stream carrying `trailingZeros` more bytes than the rows need.
    PngWriter& imageData(const Sample& sample, size_t chunkBytes = 1 << 20, uint64_t trailingZeros = 0) {
        return rowData(Scanlines(sample), chunkBytes, trailingZeros);
    }
    // The same for rows already filtered, each behind its filter byte.
    // Or behind emptyBlockBytes of empty dynamic blocks, or stored (level 0).
    PngWriter& rowData(const std::vector<uint8_t>& rows, size_t chunkBytes = 1 << 20, uint64_t trailingZeros = 0,
                       uint64_t emptyBlockBytes = 0, int level = 9) {
        const std::vector<uint8_t> z =
            emptyBlockBytes ? DeflateBehindEmptyBlocks(rows, emptyBlockBytes) : Deflate(rows, trailingZeros, level);
        for (size_t at = 0; at < z.size(); at += chunkBytes)
            chunk("IDAT", {z.begin() + ptrdiff_t(at), z.begin() + ptrdiff_t(std::min(z.size(), at + chunkBytes))});
        return *this;
    }
    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        png.insert(png.end(), m_bytes.begin(), m_bytes.end());
        const auto end = PngChunk("IEND", {});
        png.insert(png.end(), end.begin(), end.end());
        return png;
    }

    // The rows of each pass (one pass unless interlaced), each behind
    // `filter` as its filter byte: 0, none, unless a caller says otherwise.
    std::vector<uint8_t> Scanlines(const Sample& sample, uint8_t filter = 0) const {
        static constexpr uint32_t kStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0}, {0, 2}, {1, 0}, {0, 1}};
        static constexpr uint32_t kStep[7][2] = {{8, 8}, {8, 8}, {4, 8}, {4, 4}, {2, 4}, {2, 2}, {1, 2}};
        std::vector<uint8_t> raw;
        for (int pass = 0; pass < (m_interlaced ? 7 : 1); ++pass) {
            const uint32_t x0 = m_interlaced ? kStart[pass][0] : 0, dx = m_interlaced ? kStep[pass][0] : 1;
            const uint32_t y0 = m_interlaced ? kStart[pass][1] : 0, dy = m_interlaced ? kStep[pass][1] : 1;
            if (x0 >= m_width || y0 >= m_height) continue;
            for (uint32_t y = y0; y < m_height; y += dy) {
                raw.push_back(filter);
                uint32_t bits = 0, filled = 0;
                for (uint32_t x = x0; x < m_width; x += dx)
                    for (int c = 0; c < channels(); ++c) {
                        const uint32_t v = sample(x, y, c) & ((1u << m_depth) - 1);
                        if (m_depth == 16) {
                            raw.push_back(uint8_t(v >> 8));
                            raw.push_back(uint8_t(v));
                            continue;
                        }
                        bits = bits << m_depth | v;
                        filled += uint32_t(m_depth);
                        if (filled == 8) raw.push_back(uint8_t(bits)), bits = 0, filled = 0;
                    }
                if (filled) raw.push_back(uint8_t(bits << (8 - filled)));
            }
        }
        return raw;
    }

private:
    int channels() const { return m_colourType == 0 || m_colourType == 3 ? 1 : m_colourType == 4 ? 2 : m_colourType == 2 ? 3 : 4; }

    uint32_t m_width, m_height;
    int m_depth, m_colourType;
    bool m_interlaced;
    std::vector<uint8_t> m_bytes;
};

}  // namespace test
