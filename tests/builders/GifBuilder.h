#pragma once
// Animated GIFs for tests, written by giflib's own encoder: any screen,
// colour tables, frame placement, transparency, disposal and interlace.
#include <gif_lib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
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
            if (!item.comment.empty()) {
                Check(EGifPutComment(gif, item.comment.c_str()), gif);
                continue;
            }
            const GifImage& image = item.image;
            GraphicsControlBlock control{image.disposal, false, image.delay, image.transparent};
            GifByteType extension[4];
            EGifGCBToExtension(&control, extension);
            Check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension), gif);
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
    };

    static int Append(GifFileType* gif, const GifByteType* data, int length) {
        auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
        out->insert(out->end(), data, data + length);
        return length;
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
