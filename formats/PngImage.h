#pragma once
// PNG pictures, decoded with libpng to 8-bit RGBA exactly as libpng's
// simplified reader gives them: icon entries stored as PNG and picture
// strips. One decoder serves a whole picture and a 16×16 frame sampled from
// it (formats/ImageTarget.h): it stops once it has the last row the target
// takes.
//
// What decoding costs is charged to the read's budget as the work is done.
// The image data is inflated by our own metered inflater (formats/Inflater.h),
// which counts every deflate block, and handed to libpng as stored blocks,
// so that libpng's own inflate only copies; the chunks that do not shape the
// pixels are skipped unread, and the data past the last row is never
// inflated. libpng's memory is counted on the budget while it holds it.
#include <cstdint>
#include <optional>
#include <span>

#include "formats/FrameIcon.h"
#include "formats/ImageTarget.h"
#include "formats/ReadBudget.h"

struct PngSize {
    uint32_t width = 0;
    uint32_t height = 0;
};

struct PngLimits {
    uint32_t maxWidth = 0;
    uint32_t maxHeight = 0;
    bool exact = false;  // the picture must be exactly this size
};

// Starts with the PNG signature.
bool IsPng(std::span<const uint8_t> bytes);
// The size the header declares; nullopt when the bytes are not a readable
// PNG header. Only the chunks before the image data are read.
std::optional<PngSize> PngImageSize(std::span<const uint8_t> bytes, ReadBudget& budget);
// The picture, any PNG colour type and depth, as 8-bit RGBA (straight
// alpha) into target: whole, or only the rows and columns of the 16×16
// frame, reading the image data only as far as the last row the frame
// takes (damage past it goes unnoticed). EInvalidGraphic "Icon image is
// not valid" when the bytes do not decode or the picture lies outside the
// limits.
void DecodePng(std::span<const uint8_t> bytes, PngLimits limits, ImageTarget& target, ReadBudget& budget);
// The whole picture.
IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget);
