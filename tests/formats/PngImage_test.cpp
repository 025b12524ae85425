#include "formats/PngImage.h"

#include <gtest/gtest.h>

#include "builders/PngBuilder.h"
#include "formats/Errors.h"

namespace {

IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits) {
    ReadBudget budget;
    return ::DecodePngImage(bytes, limits, budget);
}

IconImage Gradient(int width, int height) {
    IconImage image{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.pixels.push_back({uint8_t(x * 7), uint8_t(y * 11), uint8_t(x ^ y), uint8_t(x * 40 + y)});
    return image;
}

TEST(PngImage, DecodesWhatLibpngWroteWithItsAlpha) {
    const IconImage image = Gradient(5, 3);
    const auto bytes = EncodePng(image);
    ASSERT_TRUE(IsPng(bytes));
    const auto size = PngImageSize(bytes);
    ASSERT_TRUE(size);
    EXPECT_EQ(size->width, 5u);
    EXPECT_EQ(size->height, 3u);
    EXPECT_EQ(DecodePngImage(bytes, {5, 3}), image);
}

TEST(PngImage, RefusesImagesOutsideTheLimitsAndBytesThatAreNotPng) {
    const auto bytes = EncodePng(Gradient(5, 3));
    EXPECT_THROW(DecodePngImage(bytes, {4, 3}), EInvalidGraphic);
    EXPECT_THROW(DecodePngImage(bytes, {5, 2}), EInvalidGraphic);
    const std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 20);  // the pixel data ends early
    EXPECT_THROW(DecodePngImage(cut, {5, 3}), EInvalidGraphic);
    const std::vector<uint8_t> other{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    EXPECT_FALSE(IsPng(other));
    EXPECT_FALSE(PngImageSize(other));
    EXPECT_THROW(DecodePngImage(other, {5, 3}), EInvalidGraphic);
}

}  // namespace
