#pragma once
// PNG pictures, decoded with libpng to 8-bit RGBA: icon entries stored as
// PNG and picture strips. Nothing is allocated for pixels before the size
// is checked against the caller's limits.
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
};

// Starts with the PNG signature.
bool IsPng(std::span<const uint8_t> bytes);
// The size the header declares; nullopt when the bytes are not a readable PNG header.
std::optional<PngSize> PngImageSize(std::span<const uint8_t> bytes);
// The whole image, any PNG colour type and depth, as 8-bit RGBA (straight
// alpha). EInvalidGraphic "Icon image is not valid" when the bytes do not
// decode or the image lies outside the limits.
IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget);
