#pragma once
// PNG files crafted to make a reader spend memory and time, each a valid
// picture: text chunks that inflate to megabytes, image data that inflates
// far past the last row, and the largest pictures an icon entry may hold.
// Shared by the decoder tests, the seeds and the loader's hostile-file tests.
// The second half writes an image's rows behind the Paeth filter, so that
// entries repeating one image make small files however many there are.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "builders/IconBuilder.h"
#include "builders/PngBuilder.h"

namespace test {

// 8-bit RGBA samples that differ from pixel to pixel.
inline uint32_t Speckle(uint32_t x, uint32_t y, int channel) {
    return (x * 7919u ^ y * 104729u ^ uint32_t(channel) * 1299709u) * 2654435761u >> 13;
}

// A 16×16 RGBA picture after `chunks` zTXt chunks, each 7.9 MB of text
// (7.7 KB compressed: deflate gives at most about 1032:1).
inline std::vector<uint8_t> TextBombPng(int chunks = 100) {
    const auto text = CompressedText("Comment", std::vector<uint8_t>(7'900'000, 'a'));
    PngWriter png(16, 16, 8, 6);
    for (int i = 0; i < chunks; ++i) png.chunk("zTXt", text);
    return png.imageData(Speckle).bytes();
}

// A 256×256 RGBA picture whose image data inflates to `trailing` zero bytes
// past its last row (512 MiB of zeros deflate to about 500 KB).
inline std::vector<uint8_t> TrailingDeflatePng(uint64_t trailing = uint64_t(512) << 20) {
    return PngWriter(256, 256, 8, 6).imageData(Speckle, 1 << 20, trailing).bytes();
}

// The largest picture an entry may hold, at 8 bits per sample.
inline std::vector<uint8_t> LargestRgbaPng() { return PngWriter(256, 256, 8, 6).imageData(Speckle).bytes(); }

// The same at 16 bits per sample and interlaced: the slowest to decode.
inline std::vector<uint8_t> LargestDeepInterlacedPng() {
    return PngWriter(256, 256, 16, 6, true).imageData(Speckle).bytes();
}

// A 16×16 RGBA picture whose ICC profile's header, valid, announces a
// profile of 8 MB (libpng's limit) that the rest of the chunk does not hold.
inline std::vector<uint8_t> HugeProfilePng() {
    std::vector<uint8_t> header(132, 0);
    auto put = [&](size_t at, uint32_t v) { header[at] = uint8_t(v >> 24), header[at + 1] = uint8_t(v >> 16), header[at + 2] = uint8_t(v >> 8), header[at + 3] = uint8_t(v); };
    put(0, 8'000'000);    // length
    put(8, 0x02100000);   // version
    put(12, 0x6D6E7472);  // "mntr"
    put(16, 0x52474220);  // "RGB "
    put(20, 0x58595A20);  // "XYZ "
    put(36, 0x61637370);  // "acsp"
    for (uint32_t i = 0; i < 256; ++i) header.push_back(uint8_t(Speckle(i, 0, 0)));  // so the chunk is not too short
    return PngWriter(16, 16, 8, 6).chunk("iCCP", CompressedText("profile", header)).imageData(Speckle).bytes();
}

// Each as an icon of one entry.
inline std::vector<uint8_t> TextBombIcon(int chunks = 100) { return IconWithPng(TextBombPng(chunks), 16, 16); }
inline std::vector<uint8_t> TrailingDeflateIcon(uint64_t trailing = uint64_t(512) << 20) {
    return IconWithPng(TrailingDeflatePng(trailing), 256, 256);
}
inline std::vector<uint8_t> HugeProfileIcon() { return IconWithPng(HugeProfilePng(), 16, 16); }
inline std::vector<uint8_t> LargestRgbaIcon() { return IconWithPng(LargestRgbaPng(), 256, 256); }
inline std::vector<uint8_t> LargestDeepInterlacedIcon() { return IconWithPng(LargestDeepInterlacedPng(), 256, 256); }




struct HostilePng {
    bool sixteenBit = false;
    bool interlaced = false;
    int textChunks = 0;      // zTXt chunks before the pixels
    size_t textBytes = 0;    // the text each inflates to
    size_t trailingMiB = 0;  // zeros in the pixel stream past the last row
    uint64_t emptyBlockBytes = 0;  // empty dynamic-Huffman blocks before the pixels
};

// The predictor of PNG's filter 4 (Paeth): of left, above and upper left,
// the one nearest to left + above − upper left.
inline uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The rows of an RGBA image, pass by pass when interlaced, each behind
// filter 4, which leaves nothing but zeros where the image repeats.
inline std::vector<uint8_t> PngRows(const IconImage& image, const HostilePng& how) {
    struct Pass { int x0, y0, dx, dy; };
    const std::vector<Pass> passes = how.interlaced
        ? std::vector<Pass>{{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}}
        : std::vector<Pass>{{0, 0, 1, 1}};
    const size_t pixelBytes = how.sixteenBit ? 8 : 4;
    std::vector<uint8_t> rows;
    for (const Pass& p : passes) {
        if (p.x0 >= image.width) continue;  // an empty pass has no rows at all
        std::vector<uint8_t> above;
        for (int y = p.y0; y < image.height; y += p.dy) {
            std::vector<uint8_t> row;
            for (int x = p.x0; x < image.width; x += p.dx) {
                const Rgba c = image.at(x, y);
                for (uint8_t v : {c.r, c.g, c.b, c.alpha}) {
                    row.push_back(v);
                    if (how.sixteenBit) row.push_back(v);  // v·257: the same value at 16 bits
                }
            }
            above.resize(row.size(), 0);  // the first row has zeros above it
            rows.push_back(4);
            for (size_t i = 0; i < row.size(); ++i) {
                const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
                const int upperLeft = i >= pixelBytes ? above[i - pixelBytes] : 0;
                rows.push_back(uint8_t(row[i] - Paeth(left, above[i], upperLeft)));
            }
            above = std::move(row);
        }
    }
    return rows;
}

inline std::vector<uint8_t> BuildHostilePng(const IconImage& image, const HostilePng& how) {
    PngWriter png(uint32_t(image.width), uint32_t(image.height), how.sixteenBit ? 16 : 8, 6, how.interlaced);
    if (how.textChunks > 0) {
        const auto text = CompressedText("Comment", std::vector<uint8_t>(how.textBytes, 'Z'));
        for (int i = 0; i < how.textChunks; ++i) png.chunk("zTXt", text);
    }
    return png.rowData(PngRows(image, how), size_t(1) << 20, uint64_t(how.trailingMiB) << 20,
                       how.emptyBlockBytes).bytes();
}

// An icon holding one such PNG entry.
inline std::vector<uint8_t> HostilePngIcon(const IconImage& image, const HostilePng& how) {
    return IconWithPng(BuildHostilePng(image, how), image.width, image.height);
}

}  // namespace test
