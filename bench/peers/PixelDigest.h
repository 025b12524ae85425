#pragma once
// A digest of decoded frames that readers from different libraries agree
// on: each frame's size, every pixel's alpha, and the colour of opaque
// pixels only (what a reader keeps under a transparent or blended pixel is
// its own business). Shared with the Qt 5 program, so it includes nothing
// of ours.
#include <cstddef>
#include <cstdint>

class PixelDigest {
public:
    void addFrame(int width, int height) {
        add(uint32_t(width));
        add(uint32_t(height));
    }
    void addPixel(uint8_t r, uint8_t g, uint8_t b, uint8_t alpha) {
        add(alpha);
        if (alpha == 255) add(uint32_t(r) << 16 | uint32_t(g) << 8 | b);
    }
    // Rows of non-premultiplied pixels, red first; channels 3 means opaque.
    void addRows(const uint8_t* pixels, int width, int height, size_t stride, int channels) {
        addFrame(width, height);
        for (int y = 0; y < height; ++y) {
            const uint8_t* p = pixels + size_t(y) * stride;
            for (int x = 0; x < width; ++x, p += channels)
                addPixel(p[0], p[1], p[2], channels == 4 ? p[3] : 255);
        }
    }
    uint64_t value() const { return m_hash; }

private:
    // FNV-1a over 32-bit words.
    void add(uint32_t v) { m_hash = (m_hash ^ v) * 0x100000001b3ull; }
    uint64_t m_hash = 0xcbf29ce484222325ull;
};
