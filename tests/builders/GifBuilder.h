#pragma once
// Animated GIFs for tests, written by giflib's own encoder: any screen,
// colour tables, frame placement, transparency, disposal and interlace; and
// image data written code by code, as no encoder of giflib's would.
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/Colours.h"

namespace test {

struct GifImage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indices;  // width × height, top row first
    std::vector<Rgb> colours;      // a local colour table; empty: the global one
    int transparent = NO_TRANSPARENT_COLOR;
    int disposal = DISPOSAL_UNSPECIFIED;
    int delay = 10;
    bool interlace = false;
    // The data as written (code size, sub-blocks, terminator); when given,
    // it stands for the indices.
    std::vector<uint8_t> data;
};

// Image data code by code: indices compressed as LZW does, and clear codes,
// end codes or any other code wherever a test puts them. Each code is as
// wide as a decoder reads it at that point.
class GifCodes {
public:
    explicit GifCodes(int codeSize) : m_codeSize(codeSize), m_clear(1 << codeSize) { restart(); }

    GifCodes& clear(int count = 1) {
        for (int i = 0; i < count; ++i) {
            put(m_clear);
            restart();
        }
        return *this;
    }
    GifCodes& end() { return put(m_clear + 1); }
    GifCodes& code(int code) { return put(code); }

    // The indices as one run of codes after a clear (unless nothing came
    // before); a full table is cleared, or kept as it is when keepFullTable.
    GifCodes& pixels(const std::vector<uint8_t>& indices, bool keepFullTable = false) {
        if (m_written > 0) clear();
        int match = -1;
        for (uint8_t index : indices) {
            if (match < 0) {
                match = index;
                continue;
            }
            const auto known = m_table.find(match * 256 + index);
            if (known != m_table.end()) {
                match = known->second;
                continue;
            }
            put(match);
            if (m_nextEntry < 4096) m_table[match * 256 + index] = m_nextEntry++;
            if (m_nextEntry == 4096 && !keepFullTable) clear();
            match = index;
        }
        if (match >= 0) put(match);
        return *this;
    }

    // The code size, the codes in sub-blocks of blockSize bytes, the terminator.
    std::vector<uint8_t> data(size_t blockSize = 255) const {
        std::vector<uint8_t> bytes = m_bytes, out{uint8_t(m_codeSize)};
        if (m_bitCount > 0) bytes.push_back(uint8_t(m_bits));
        for (size_t at = 0; at < bytes.size(); at += blockSize) {
            const size_t n = std::min(blockSize, bytes.size() - at);
            out.push_back(uint8_t(n));
            out.insert(out.end(), bytes.begin() + ptrdiff_t(at), bytes.begin() + ptrdiff_t(at + n));
        }
        out.push_back(0);
        return out;
    }

private:
    void restart() {
        m_table.clear();
        m_nextEntry = m_clear + 2;
        m_width = m_codeSize + 1;
        m_running = m_clear + 2;
        m_limit = 1 << m_width;
        m_written = 0;
    }
    // Packed least significant bit first; the width grows as GIF decoders
    // count: once the codes since a clear pass the widest of this width.
    GifCodes& put(int code) {
        m_bits |= uint32_t(code) << m_bitCount;
        m_bitCount += m_width;
        for (; m_bitCount >= 8; m_bitCount -= 8, m_bits >>= 8) m_bytes.push_back(uint8_t(m_bits));
        ++m_written;
        if (m_running < 4097 && ++m_running > m_limit && m_width < 12) {
            m_limit <<= 1;
            ++m_width;
        }
        return *this;
    }

    int m_codeSize, m_clear;
    int m_width = 0, m_running = 0, m_limit = 0, m_nextEntry = 0;
    int m_written = 0;
    std::unordered_map<int, int> m_table;
    std::vector<uint8_t> m_bytes;
    uint32_t m_bits = 0;
    int m_bitCount = 0;
};

// An image of one colour index, or of indices from a function of (x, y).
template <typename F>
GifImage GifRect(int left, int top, int width, int height, F indexAt) {
    GifImage image;
    image.left = left;
    image.top = top;
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.indices.push_back(uint8_t(indexAt(x, y)));
    return image;
}

class GifBuilder {
public:
    GifBuilder(int width, int height, std::vector<Rgb> global = {})
        : m_width(width), m_height(height), m_global(std::move(global)) {}

    GifBuilder& image(GifImage image) {
        m_items.push_back({std::move(image), {}});
        return *this;
    }
    GifBuilder& comment(std::string text) {
        m_items.push_back({{}, std::move(text)});
        return *this;
    }
    // Records written as they stand, between the others.
    GifBuilder& raw(std::vector<uint8_t> bytes) {
        if (!bytes.empty()) m_items.push_back({{}, {}, std::move(bytes)});
        return *this;
    }

    std::vector<uint8_t> bytes() const {
        std::vector<uint8_t> out;
        int error = 0;
        GifFileType* gif = EGifOpen(&out, Append, &error);
        if (!gif) throw std::runtime_error(GifErrorString(error));
        EGifSetGifVersion(gif, true);
        ColorMapObject* global = Map(m_global);
        Check(EGifPutScreenDesc(gif, m_width, m_height, 8, 0, global), gif);
        GifFreeMapObject(global);
        for (const Item& item : m_items) {
            if (!item.raw.empty()) {
                out.insert(out.end(), item.raw.begin(), item.raw.end());
                continue;
            }
            if (!item.comment.empty()) {
                Check(EGifPutComment(gif, item.comment.c_str()), gif);
                continue;
            }
            const GifImage& image = item.image;
            GraphicsControlBlock control{image.disposal, false, image.delay, image.transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension), gif);
            if (!image.data.empty()) {
                // giflib writes as it goes, so our own bytes fall in place.
                PutRawImage(out, image);
                continue;
            }
            ColorMapObject* local = Map(image.colours);
            // giflib's encoder forgets, without freeing, the last image's
            // own table when the next image has none.
            if (!local && gif->Image.ColorMap) {
                GifFreeMapObject(gif->Image.ColorMap);
                gif->Image.ColorMap = nullptr;
            }
            const int described = EGifPutImageDesc(gif, image.left, image.top, image.width, image.height,
                                                   image.interlace, local);
            GifFreeMapObject(local);
            Check(described, gif);
            for (int y : RowOrder(image)) {
                std::vector<GifPixelType> row(image.indices.begin() + y * image.width,
                                              image.indices.begin() + (y + 1) * image.width);
                Check(EGifPutLine(gif, row.data(), image.width), gif);
            }
        }
        if (EGifCloseFile(gif, &error) == GIF_ERROR) throw std::runtime_error(GifErrorString(error));
        return out;
    }

private:
    struct Item {
        GifImage image;
        std::string comment;
        std::vector<uint8_t> raw = {};
    };

    static int Append(GifFileType* gif, const GifByteType* data, int length) {
        auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
        out->insert(out->end(), data, data + length);
        return length;
    }
    static void PutRawImage(std::vector<uint8_t>& out, const GifImage& image) {
        out.push_back(0x2C);
        for (int value : {image.left, image.top, image.width, image.height}) {
            out.push_back(uint8_t(value));
            out.push_back(uint8_t(value >> 8));
        }
        int bits = 0;
        while (!image.colours.empty() && (2 << bits) < int(image.colours.size())) ++bits;
        out.push_back(uint8_t((image.colours.empty() ? 0 : 0x80 | bits) | (image.interlace ? 0x40 : 0)));
        if (!image.colours.empty())
            for (int i = 0; i < (2 << bits); ++i) {
                const Rgb c = i < int(image.colours.size()) ? image.colours[size_t(i)] : Rgb{};
                out.insert(out.end(), {c.r, c.g, c.b});
            }
        out.insert(out.end(), image.data.begin(), image.data.end());
    }
    static void Check(int result, GifFileType* gif) {
        if (result == GIF_ERROR) throw std::runtime_error(GifErrorString(gif->Error));
    }
    // giflib wants a power of two entries: the table is padded with black.
    static ColorMapObject* Map(std::vector<Rgb> colours) {
        if (colours.empty()) return nullptr;
        size_t size = 2;
        while (size < colours.size()) size *= 2;
        colours.resize(size);
        std::vector<GifColorType> entries;
        for (Rgb c : colours) entries.push_back({c.r, c.g, c.b});
        return GifMakeMapObject(int(size), entries.data());
    }
    // The encoder writes rows as given; an interlaced image gives them in
    // its four passes.
    static std::vector<int> RowOrder(const GifImage& image) {
        std::vector<int> rows;
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < (image.interlace ? 4 : 1); ++pass)
            for (int y = image.interlace ? start[pass] : 0; y < image.height; y += image.interlace ? step[pass] : 1)
                rows.push_back(y);
        return rows;
    }

    int m_width, m_height;
    std::vector<Rgb> m_global;
    std::vector<Item> m_items;
};

}  // namespace test
