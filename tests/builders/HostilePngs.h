#pragma once
// PNG files crafted to make a reader spend memory and time, each a valid
// picture: text chunks that inflate to megabytes, image data that inflates
// far past the last row, and the largest pictures an icon entry may hold.
// Shared by the decoder tests, the seeds and the loader's hostile-file tests.
#include <cstdint>
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

}  // namespace test
