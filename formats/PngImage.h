#pragma once
// PNG pictures, decoded with libpng to 8-bit RGBA exactly as libpng's
// simplified reader gives them: icon entries stored as PNG and picture
// strips. The reader is handed the bytes piece by piece and charges the read's
// budget for each piece, each row and each allocation; it skips the chunks
// that do not shape the pixels and stops once it has the rows it needs, so
// neither text chunks nor data past the last row cost more than being read.
#include <cstdint>
#include <optional>
#include <span>

#include "formats/FrameIcon.h"
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
// The size the header declares; nullopt when the bytes are not a readable PNG header.
std::optional<PngSize> PngImageSize(std::span<const uint8_t> bytes);
// The whole image, any PNG colour type and depth, as 8-bit RGBA (straight
// alpha). EInvalidGraphic "Icon image is not valid" when the bytes do not
// decode or the image lies outside the limits.
IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget);
// ScaleToFrame(DecodePngImage(...)) for an intact picture, reading rows only
// as far as the last one FrameSourceIndex takes and keeping only the 256
// pixels it takes (an interlaced picture needs every pass: decoded whole).
// Damage past that row goes unnoticed.
IconImage SamplePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget);
