#include "PngWriter.h"

#include <png.h>

#include <cstdio>
#include <limits>
#include <new>
#include <string>

#include "IndexedFrames.h"
#include "core/Document.h"
#include "formats/Errors.h"

namespace {

struct PngTarget {
    std::vector<uint8_t> bytes;
    char message[256] = "";
};

void OnPngError(png_structp png, png_const_charp text) {
    auto* target = static_cast<PngTarget*>(png_get_error_ptr(png));
    std::snprintf(target->message, sizeof target->message, "%s", text);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
    auto* target = static_cast<PngTarget*>(png_get_error_ptr(png));
    // No C++ exception may cross libpng; its own error path unwinds instead.
    try {
        target->bytes.insert(target->bytes.end(), data, data + length);
    } catch (const std::bad_alloc&) {
        png_error(png, "out of memory");
    }
}

void FlushNothing(png_structp) {}

// libpng reports errors by jumping back here, so nothing in this frame
// may need destroying: the row buffer and palette come from the caller.
bool WriteStrip(png_structp png, png_infop info, const std::vector<IndexedFrame>& frames, int scale,
                png_bytep row, png_colorp palette) {
    if (setjmp(png_jmpbuf(png))) return false;
    const int frameWidth = kFrameSize * scale;
    const auto width = png_uint_32(frames.size()) * png_uint_32(frameWidth);
    // A long strip is wider than libpng's default sanity limit.
    png_set_user_limits(png, std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max());
    png_set_write_fn(png, nullptr, AppendPng, FlushNothing);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, png_uint_32(frameWidth), 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, palette, kPaletteSize);
    png_byte transparent = 0;  // alpha of entry 0; the entries after it are opaque
    png_set_tRNS(png, info, &transparent, 1, nullptr);
    png_write_info(png, info);
    for (int y = 0; y < kFrameSize; ++y) {
        for (size_t f = 0; f < frames.size(); ++f) ScaledRow(frames[f], y, scale, row + f * size_t(frameWidth));
        for (int k = 0; k < scale; ++k) png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

std::vector<uint8_t> EncodePngStrip(const TDocument& document, int scale) {
    const std::vector<IndexedFrame> frames = IndexFrames(document);
    PngTarget target;
    std::vector<png_byte> row(frames.size() * size_t(kFrameSize) * size_t(scale));
    png_color palette[kPaletteSize];
    const auto colours = OutputPalette();
    for (int i = 0; i < kPaletteSize; ++i)
        palette[i] = {colours[size_t(i)].r, colours[size_t(i)].g, colours[size_t(i)].b};

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &target, OnPngError, OnPngWarning);
    if (!png) throw EWriteError("PNG encoding failed: out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) std::snprintf(target.message, sizeof target.message, "out of memory");
    const bool written = info && WriteStrip(png, info, frames, scale, row.data(), palette);
    png_destroy_write_struct(&png, &info);
    if (!written) throw EWriteError(std::string("PNG encoding failed: ") + target.message);
    return std::move(target.bytes);
}
