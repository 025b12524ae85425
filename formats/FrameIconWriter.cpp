#include "formats/FrameIcon.h"

#include <cassert>

#include "formats/IconLayout.h"

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
