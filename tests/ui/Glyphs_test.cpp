#include "ui/Glyphs.h"

#include <QImage>
#include <gtest/gtest.h>
#include <string>

namespace {

struct GlyphCase {
    const char* name;
    Glyph glyph;
    QSize size;
};

std::string CaseName(const ::testing::TestParamInfo<GlyphCase>& info) { return info.param.name; }

class GlyphPictures : public ::testing::TestWithParam<GlyphCase> {};

TEST_P(GlyphPictures, HaveTheirSizeAndATransparentBottomLeftColour) {
    const QImage image = GlyphPixmap(GetParam().glyph).toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), GetParam().size);
    EXPECT_EQ(qAlpha(image.pixel(0, image.height() - 1)), 0);
    int opaque = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) opaque += qAlpha(image.pixel(x, y)) == 255;
    EXPECT_GT(opaque, 20);
}

INSTANTIATE_TEST_SUITE_P(AllSix, GlyphPictures,
                         ::testing::Values(GlyphCase{"New", Glyph::New, {13, 15}},
                                           GlyphCase{"Open", Glyph::Open, {17, 15}},
                                           GlyphCase{"Save", Glyph::Save, {16, 16}},
                                           GlyphCase{"Information", Glyph::Information, {16, 16}},
                                           GlyphCase{"Copy", Glyph::Copy, {19, 17}},
                                           GlyphCase{"Paste", Glyph::Paste, {17, 15}}),
                         CaseName);

TEST(GlyphPictures, LetterIIsNavyOnTransparentWhite) {
    const QImage image = GlyphPixmap(Glyph::Information).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(image.pixel(8, 10), qRgb(0, 0, 128));
}

TEST(GlyphPictures, OnlyTheBottomLeftColourIsTransparent) {
    // The new page is white on fuchsia: white stays, fuchsia goes.
    const QImage image = GlyphPixmap(Glyph::New).toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(image.pixel(5, 8), qRgb(255, 255, 255));
    EXPECT_EQ(qAlpha(image.pixel(12, 0)), 0);
}

}  // namespace
