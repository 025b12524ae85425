#pragma once
// PNG files for tests, written by libpng itself from an RGBA image.
#include <png.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

#include "formats/FrameIcon.h"

inline std::vector<uint8_t> EncodePng(const IconImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    const auto* pixels = reinterpret_cast<const uint8_t*>(image.pixels.data());
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr))
        throw std::runtime_error(png.message);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels, 0, nullptr))
        throw std::runtime_error(png.message);
    bytes.resize(size);
    return bytes;
}
