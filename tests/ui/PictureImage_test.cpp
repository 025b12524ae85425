#include "ui/PictureImage.h"

#include <gtest/gtest.h>

namespace {

TEST(ToQImage, CopiesEveryPixelExactly) {
    Picture picture(3, 2, kKeyColour);
    picture.set(0, 0, {1, 2, 3});
    picture.set(2, 1, {250, 128, 0});
    const QImage image = ToQImage(picture);
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(image.pixel(0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(image.pixel(2, 1), qRgb(250, 128, 0));
    EXPECT_EQ(image.pixel(1, 0), qRgb(240, 240, 240));
}

TEST(ToQImage, CopiesOnlyTheAreaAskedFor) {
    Picture picture(4, 4);
    picture.set(2, 3, {9, 9, 9});
    const QImage image = ToQImage(picture, QRect(2, 2, 5, 5));
    ASSERT_EQ(image.size(), QSize(2, 2));
    EXPECT_EQ(image.pixel(0, 1), qRgb(9, 9, 9));
}

TEST(FromQImage, OpaquePixelsKeepTheirColour) {
    QImage image(2, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(10, 20, 30));
    image.setPixel(1, 0, qRgb(240, 240, 240));
    const Picture picture = FromQImage(image);
    EXPECT_EQ(picture.at(0, 0), (Rgb{10, 20, 30}));
    EXPECT_EQ(picture.at(1, 0), kKeyColour);
}

TEST(FromQImage, PixelsLessThanHalfOpaqueBecomeTheKeyColour) {
    QImage image(3, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 0));
    image.setPixel(1, 0, qRgba(255, 0, 0, 127));
    image.setPixel(2, 0, qRgba(255, 0, 0, 128));
    const Picture picture = FromQImage(image);
    EXPECT_EQ(picture.at(0, 0), kKeyColour);
    EXPECT_EQ(picture.at(1, 0), kKeyColour);
    EXPECT_EQ(picture.at(2, 0), (Rgb{255, 0, 0}));
}

TEST(FromQImage, IndexedImagesAreRead) {
    QImage image(1, 1, QImage::Format_Indexed8);
    image.setColorTable({qRgb(0, 128, 128)});
    image.setPixel(0, 0, 0);
    EXPECT_EQ(FromQImage(image).at(0, 0), (Rgb{0, 128, 128}));
}

}  // namespace
