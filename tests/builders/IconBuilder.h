#pragma once
// Builds icon (.ico) bytes in tests: any size, depth and number of images,
// with fields that tests can bend to make malformed icons.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "formats/Colours.h"
#include "builders/PngBuilder.h"
#include "formats/FrameIcon.h"
#include "formats/ImageTarget.h"
#include "formats/ReadBudget.h"

namespace test {

inline void PutU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    PutU16(out, v & 0xFFFF);
    PutU16(out, v >> 16);
}
inline void SetU16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}
inline void SetU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    SetU16(out, at, v & 0xFFFF);
    SetU16(out, at + 2, v >> 16);
}

// An image filled by a function of (x, y).
template <typename F>
IconImage MakeImage(int width, int height, F pixelAt) {
    IconImage image{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.pixels.push_back(pixelAt(x, y));
    return image;
}
inline Rgba Opaque(Rgb c) { return {c.r, c.g, c.b, 255}; }
inline Rgba Clear() { return {0, 0, 0, 0}; }

// One image of an icon: the pixels, the depth to store them at, and the
// directory entry's colour word (by default planes × depth, as writers do).
struct IconEntry {
    IconImage image;
    int bpp = 4;
    int colourWord = -1;
    // For 1, 4 and 8 bits: the colour table; by default the standard
    // colours (padded with black, cut to 2 for 1 bit).
    std::vector<Rgb> palette;
    bool png = false;  // stored as a PNG file, as newer icons store large entries
};

// An entry stored as PNG, with the zero colour word that writers give
// images of more than 256 colours.
inline IconEntry PngEntry(IconImage image) { return IconEntry{std::move(image), 32, 0, {}, true}; }

inline size_t RowBytes(int width, int bpp) { return size_t((width * bpp + 31) / 32) * 4; }

inline int PaletteIndex(const std::vector<Rgb>& palette, Rgb c) {
    for (size_t i = 0; i < palette.size(); ++i)
        if (palette[i] == c) return int(i);
    return 0;
}

// The bitmap data of one image: 40-byte header, colour table, colour rows
// and mask rows, bottom row first.
inline std::vector<uint8_t> BitmapData(const IconEntry& e) {
    const IconImage& img = e.image;
    std::vector<Rgb> palette = e.palette;
    const int tableSize = e.bpp == 1 ? 2 : e.bpp == 4 ? 16 : e.bpp == 8 ? 256 : 0;
    if (palette.empty() && tableSize)
        palette.assign(kStandardColours.begin(), kStandardColours.begin() + std::min(tableSize, 16));
    palette.resize(size_t(tableSize));

    std::vector<uint8_t> out;
    PutU32(out, 40);
    PutU32(out, uint32_t(img.width));
    PutU32(out, uint32_t(img.height * 2));
    PutU16(out, 1);
    PutU16(out, uint32_t(e.bpp));
    PutU32(out, 0);
    PutU32(out, uint32_t(RowBytes(img.width, e.bpp) * size_t(img.height)));
    for (int i = 0; i < 4; ++i) PutU32(out, 0);
    for (Rgb c : palette) {
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = img.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(RowBytes(img.width, e.bpp), 0);
        for (int x = 0; x < img.width; ++x) {
            const Rgba p = img.at(x, y);
            switch (e.bpp) {
            case 1: case 4: case 8: {
                const int index = PaletteIndex(palette, p.rgb());
                const int bit = x * e.bpp;
                row[size_t(bit / 8)] |= uint8_t(index << (8 - e.bpp - bit % 8));
                break;
            }
            case 16: {
                const uint16_t v = uint16_t((p.r >> 3) << 10 | (p.g >> 3) << 5 | (p.b >> 3));
                row[size_t(x) * 2] = uint8_t(v);
                row[size_t(x) * 2 + 1] = uint8_t(v >> 8);
                break;
            }
            case 24: case 32: {
                const size_t at = size_t(x) * size_t(e.bpp / 8);
                row[at] = p.b;
                row[at + 1] = p.g;
                row[at + 2] = p.r;
                if (e.bpp == 32) row[at + 3] = p.alpha;
                break;
            }
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    for (int y = img.height - 1; y >= 0; --y) {
        std::vector<uint8_t> row(RowBytes(img.width, 1), 0);
        for (int x = 0; x < img.width; ++x)
            if (img.at(x, y).transparent()) row[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

// A whole icon file: header, one directory entry per image, then the data.
inline std::vector<uint8_t> BuildIcon(const std::vector<IconEntry>& entries, uint16_t type = 1) {
    std::vector<std::vector<uint8_t>> data;
    for (const IconEntry& e : entries) data.push_back(e.png ? EncodePng(e.image) : BitmapData(e));
    std::vector<uint8_t> out;
    PutU16(out, 0);
    PutU16(out, type);
    PutU16(out, uint32_t(entries.size()));
    uint32_t offset = uint32_t(6 + 16 * entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        const IconEntry& e = entries[i];
        out.push_back(uint8_t(e.image.width));  // 256 is stored as 0
        out.push_back(uint8_t(e.image.height));
        PutU16(out, uint32_t(e.colourWord >= 0 ? e.colourWord : e.bpp));
        PutU16(out, 0);
        PutU16(out, 0);
        PutU32(out, uint32_t(data[i].size()));
        PutU32(out, offset);
        offset += uint32_t(data[i].size());
    }
    for (const auto& d : data) out.insert(out.end(), d.begin(), d.end());
    return out;
}

// An icon of one entry holding the given PNG file as it stands.
inline std::vector<uint8_t> IconWithPng(const std::vector<uint8_t>& png, int width, int height) {
    std::vector<uint8_t> out;
    PutU16(out, 0);
    PutU16(out, 1);
    PutU16(out, 1);
    out.push_back(uint8_t(width));  // 256 is stored as 0
    out.push_back(uint8_t(height));
    PutU16(out, 0);
    PutU16(out, 0);
    PutU16(out, 0);
    PutU32(out, uint32_t(png.size()));
    PutU32(out, 6 + 16);
    out.insert(out.end(), png.begin(), png.end());
    return out;
}

inline std::vector<uint8_t> BuildIcon(const IconImage& image, int bpp = 4) {
    return BuildIcon(std::vector<IconEntry>{IconEntry{image, bpp, -1, {}}});
}

// An icon's stored bytes as a vector, for comparing.
inline std::vector<uint8_t> BytesOf(const TFrameIcon& icon) {
    const auto bytes = icon.bytes();
    return {bytes.begin(), bytes.end()};
}

// A 16×16 test pattern in standard colours with a transparent corner.
inline IconImage SampleFrame() {
    return MakeImage(16, 16, [](int x, int y) {
        if (x < 3 && y < 3) return Clear();
        return Opaque(kStandardColours[size_t((x + 3 * y) % 16)]);
    });
}

// Reads of their own, each on a budget of its own: an icon's bytes decoded
// whole or as the 16×16 frame, and a loaded icon's image.
inline IconImage DecodeIcon(std::span<const uint8_t> bytes, uint16_t deviceColours = 0,
                            ImageTarget::Size size = ImageTarget::Size::Stored) {
    ReadBudget budget;
    ImageTarget target(size);
    DecodeFrameIcon(bytes, target, budget, deviceColours);
    return target.take();
}
inline IconImage SampleIcon(std::span<const uint8_t> bytes, uint16_t deviceColours = 0) {
    return DecodeIcon(bytes, deviceColours, ImageTarget::Size::Frame);
}
inline IconImage Decoded(const TFrameIcon& icon) {
    ReadBudget budget;
    return icon.image(budget);
}

}  // namespace test
