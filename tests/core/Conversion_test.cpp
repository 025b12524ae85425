#include "core/Conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "builders/IconBuilder.h"
#include "formats/Errors.h"

namespace {

using test::Clear;
using test::MakeImage;
using test::Opaque;

constexpr Rgb kPureRed = kStandardColours[kRed];
constexpr Rgb kPureWhite = kStandardColours[kWhite];

// A picture filled by a function of (x, y).
template <typename F>
Picture MakePicture(int width, int height, F colourAt) {
    Picture p(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p.set(x, y, colourAt(x, y));
    return p;
}

// Every pixel of the image doubled into a 2×2 block.
IconImage Doubled(const IconImage& image) {
    return MakeImage(image.width * 2, image.height * 2,
                     [&](int x, int y) { return image.at(x / 2, y / 2); });
}

// The frame as a picture with transparency in the key colour.
Picture AsPicture(const IconImage& image) {
    return MakePicture(image.width, image.height, [&](int x, int y) {
        const Rgba p = image.at(x, y);
        return p.transparent() ? kKeyColour : p.rgb();
    });
}

// A colour that says where it came from, so sampling can be checked.
Rgb Coded(int x, int y) { return {uint8_t(x), uint8_t(y), 7}; }

bool IsFrameColour(Rgb c) {
    if (c == kKeyColour) return true;
    for (Rgb s : kStandardColours)
        if (s == c) return true;
    return false;
}

std::unique_ptr<TFrameIcon> LoadedIcon(const std::vector<uint8_t>& bytes) {
    return TFrameIcon::Loaded(bytes);
}

// A loaded icon rendered or imported as a read does it, on a budget of its own.
void Render(const TFrameIcon& icon, Picture& target, Rgb background) {
    ReadBudget budget;
    RenderFrameIcon(icon, target, background, budget);
}
std::unique_ptr<TFrameIcon> Import(const TFrameIcon& icon, bool reduce) {
    ReadBudget budget;
    return ImportFrameIcon(icon, reduce, budget);
}

// ---- Scaling to 16×16 ----------------------------------------------------

TEST(ScaleToFrame, SixteenBySixteenPicturePassesUnchanged) {
    const Picture p = MakePicture(16, 16, Coded);
    EXPECT_EQ(ScaleToFrame(p), p);
}

TEST(ScaleToFrame, DoubledImageComesBackExactly) {
    const IconImage frame = test::SampleFrame();
    EXPECT_EQ(ScaleToFrame(Doubled(frame)), frame);
    EXPECT_EQ(ScaleToFrame(AsPicture(Doubled(frame))), AsPicture(frame));
}

TEST(ScaleToFrame, TakesTheSourcePixelAtTheScaledPosition) {
    const Picture scaled = ScaleToFrame(MakePicture(40, 24, Coded));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(scaled.at(x, y), Coded(x * 40 / 16, y * 24 / 16)) << x << "," << y;
}

TEST(ScaleToFrame, PictureWithoutPixelsGivesTransparency) {
    EXPECT_EQ(ScaleToFrame(Picture()), Picture(16, 16, kKeyColour));
    const IconImage scaled = ScaleToFrame(IconImage{});
    ASSERT_EQ(scaled.pixels.size(), 256u);
    for (Rgba p : scaled.pixels) EXPECT_TRUE(p.transparent());
}

// ---- MakeFrameIcon -------------------------------------------------------

TEST(MakeFrameIcon, AllKeyColourGivesAllTransparentAndBlack) {
    const auto icon = MakeFrameIcon(Picture(16, 16, kKeyColour));
    ASSERT_EQ(icon->state(), TFrameIcon::State::Built);
    const IconImage& image = icon->image();
    ASSERT_EQ(image.width, 16);
    ASSERT_EQ(image.height, 16);
    for (Rgba p : image.pixels) EXPECT_EQ(p, Clear());
}

TEST(MakeFrameIcon, OnlyTheExactKeyColourIsTransparent) {
    Picture p(16, 16, kPureRed);
    p.set(3, 4, kKeyColour);
    p.set(5, 6, {240, 240, 241});
    p.set(7, 8, {241, 240, 240});
    const IconImage image = MakeFrameIcon(p)->image();
    EXPECT_EQ(image.at(3, 4), Clear());
    EXPECT_EQ(image.at(5, 6), Opaque({240, 240, 241}));
    EXPECT_EQ(image.at(7, 8), Opaque({241, 240, 240}));
    EXPECT_EQ(image.at(0, 0), Opaque(kPureRed));
}

TEST(MakeFrameIcon, LargerPictureIsSampledDown) {
    const IconImage frame = test::SampleFrame();
    EXPECT_EQ(MakeFrameIcon(AsPicture(Doubled(frame)))->image(), frame);
}

// ---- RenderFrameIcon -----------------------------------------------------

TEST(RenderFrameIcon, EmptyIconLeavesOnlyTheBackground) {
    Picture target(16, 16, kPureRed);
    RenderFrameIcon(TFrameIcon(), target, kKeyColour);
    EXPECT_EQ(target, Picture(16, 16, kKeyColour));
}

TEST(RenderFrameIcon, TargetOfAnotherSizeBecomesSixteenBySixteen) {
    Picture target(3, 40);
    RenderFrameIcon(TFrameIcon(), target, kPureRed);
    EXPECT_EQ(target, Picture(16, 16, kPureRed));
}

TEST(RenderFrameIcon, TransparentPixelsShowTheBackground) {
    const Rgb buttonFace{212, 208, 200};
    Picture target;
    RenderFrameIcon(*TFrameIcon::Built(test::SampleFrame()), target, buttonFace);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgba p = test::SampleFrame().at(x, y);
            ASSERT_EQ(target.at(x, y), p.transparent() ? buttonFace : p.rgb());
        }
}

TEST(RenderFrameIcon, BuiltIconRoundTripsThroughTheKeyColour) {
    const auto original = TFrameIcon::Built(test::SampleFrame());
    Picture working;
    RenderFrameIcon(*original, working, kKeyColour);
    EXPECT_EQ(MakeFrameIcon(working)->image(), original->image());
}

TEST(RenderFrameIcon, LoadedIconDrawsItsDecodedImage) {
    const IconImage frame = test::SampleFrame();
    Picture target;
    Render(*LoadedIcon(test::BuildIcon(frame)), target, kKeyColour);
    EXPECT_EQ(target, AsPicture(frame));
}

TEST(RenderFrameIcon, LargerIconIsDrawnIntoTheSixteenPixelCell) {
    const IconImage frame = test::SampleFrame();
    Picture target;
    Render(*LoadedIcon(test::BuildIcon(Doubled(frame), 4)), target, kKeyColour);
    EXPECT_EQ(target, AsPicture(frame));
}

TEST(RenderFrameIcon, PartialAlphaIsBlendedOverTheBackground) {
    // Row 0: alpha 0 (with a colour), 64, 128, 255; the rest opaque blue.
    const uint8_t alphas[] = {0, 64, 128, 255};
    const IconImage image = MakeImage(16, 16, [&](int x, int y) -> Rgba {
        if (y == 0 && x < 4) return {255, 0, 0, alphas[x]};
        return Opaque(kStandardColours[kBlue]);
    });
    Picture target;
    Render(*LoadedIcon(test::BuildIcon(image, 32)), target, kKeyColour);
    EXPECT_EQ(target.at(0, 0), kKeyColour);
    // (colour·alpha + background·(255 − alpha)) / 255, rounded.
    EXPECT_EQ(target.at(1, 0), (Rgb{244, 180, 180}));
    EXPECT_EQ(target.at(2, 0), (Rgb{248, 120, 120}));
    EXPECT_EQ(target.at(3, 0), kPureRed);
    EXPECT_EQ(target.at(4, 0), kStandardColours[kBlue]);
}

TEST(RenderFrameIcon, ZeroAlphaComesBackTransparentAfterMakeFrameIcon) {
    const IconImage image = MakeImage(16, 16, [](int x, int) -> Rgba {
        return x < 8 ? Rgba{10, 20, 30, 0} : Opaque(kPureRed);
    });
    Picture working;
    Render(*LoadedIcon(test::BuildIcon(image, 32)), working, kKeyColour);
    const IconImage made = MakeFrameIcon(working)->image();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(made.at(x, y), x < 8 ? Clear() : Opaque(kPureRed));
}

// Bytes whose image has width 0, which cannot be decoded.
std::vector<uint8_t> UndecodableIcon() {
    std::vector<uint8_t> bytes = test::BuildIcon(test::SampleFrame());
    test::SetU32(bytes, 22 + 4, 0);
    return bytes;
}

std::string DecodeError(const std::vector<uint8_t>& bytes) {
    try {
        test::DecodeIcon(bytes);
    } catch (const EZintraError& e) {
        return e.what();
    }
    return "decoded";
}

TEST(RenderFrameIcon, DecodeFailurePassesToTheCallerUnchanged) {
    const std::vector<uint8_t> bytes = UndecodableIcon();
    const std::string expected = DecodeError(bytes);
    ASSERT_NE(expected, "decoded");
    Picture target;
    try {
        Render(*LoadedIcon(bytes), target, kKeyColour);
        FAIL() << "no error";
    } catch (const EZintraError& e) {
        EXPECT_EQ(std::string(e.what()), expected);
    }
}

// ---- ReduceColours -------------------------------------------------------

TEST(ReduceColours, ReducesToTheNearestStandardColourAndKeepsTheKey) {
    Picture p(16, 16, {250, 10, 10});
    p.set(1, 0, {200, 200, 200});
    p.set(2, 0, kKeyColour);
    p.set(3, 0, {240, 240, 241});
    const auto icon = ReduceColours(p);

    EXPECT_EQ(p.at(0, 0), kPureRed);
    EXPECT_EQ(p.at(1, 0), kStandardColours[kSilver]);
    EXPECT_EQ(p.at(2, 0), kKeyColour);
    EXPECT_EQ(p.at(3, 0), kPureWhite);
    const IconImage& image = icon->image();
    EXPECT_EQ(image.at(0, 0), Opaque(kPureRed));
    EXPECT_EQ(image.at(1, 0), Opaque(kStandardColours[kSilver]));
    EXPECT_EQ(image.at(2, 0), Clear());
    EXPECT_EQ(image.at(3, 0), Opaque(kPureWhite));
}

TEST(ReduceColours, ReducesALargerPictureInFull) {
    Picture p = MakePicture(32, 32, [](int x, int y) { return Rgb{uint8_t(x * 8), uint8_t(y * 8), 200}; });
    const IconImage image = ReduceColours(p)->image();
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_TRUE(IsFrameColour(p.at(x, y))) << x << "," << y;
    for (Rgba px : image.pixels) ASSERT_TRUE(IsFrameColour(px.rgb()));
}

// ---- ImportFrameIcon -----------------------------------------------------

TEST(ImportFrameIcon, SixteenBySixteenIconComesBackPixelForPixel) {
    const IconImage frame = test::SampleFrame();
    const auto loaded = LoadedIcon(test::BuildIcon(frame));
    for (bool reduce : {false, true}) {
        const auto imported = Import(*loaded, reduce);
        EXPECT_EQ(imported->state(), TFrameIcon::State::Built);
        EXPECT_EQ(imported->image(), frame) << "reduce " << reduce;
    }
}

TEST(ImportFrameIcon, ThirtyTwoPixelIconBecomesSixteenPixelFrame) {
    const IconImage frame = test::SampleFrame();
    const auto imported = Import(*LoadedIcon(test::BuildIcon(Doubled(frame), 4)), true);
    EXPECT_EQ(imported->image(), frame);
}

TEST(ImportFrameIcon, ReductionIsAppliedOnlyWhenAsked) {
    const IconImage image = MakeImage(16, 16, [](int x, int) {
        return x == 0 ? Clear() : Opaque({250, 10, 10});
    });
    const auto loaded = LoadedIcon(test::BuildIcon(image, 24));
    EXPECT_EQ(Import(*loaded, false)->image(), image);
    const IconImage reduced = Import(*loaded, true)->image();
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(reduced.at(x, y), x == 0 ? Clear() : Opaque(kPureRed));
}

TEST(ImportFrameIcon, OpaqueKeyColourPixelBecomesTransparent) {
    const IconImage image = MakeImage(16, 16, [](int x, int y) {
        return x == 5 && y == 9 ? Opaque(kKeyColour) : Opaque(kPureRed);
    });
    const IconImage imported = Import(*LoadedIcon(test::BuildIcon(image, 24)), true)->image();
    EXPECT_EQ(imported.at(5, 9), Clear());
    EXPECT_EQ(imported.at(6, 9), Opaque(kPureRed));
}

TEST(ImportFrameIcon, EqualsRenderingOverTheKeyColourThenReducingOrMaking) {
    // Partial alpha and off-standard colours at 32 bits, the key colour
    // itself at 24, an odd size at 8 bits, and icons that are not loaded.
    const IconImage shaded = MakeImage(40, 24, [](int x, int y) {
        return Rgba{uint8_t(x * 6), uint8_t(240 - y), uint8_t(x * y), uint8_t((x * 37 + y * 11) % 256)};
    });
    const IconImage keyed = MakeImage(20, 20, [](int x, int y) { return (x + y) % 3 ? Opaque(kKeyColour) : Opaque({uint8_t(x), 9, 200}); });
    std::vector<std::unique_ptr<TFrameIcon>> icons;
    icons.push_back(LoadedIcon(test::BuildIcon(shaded, 32)));
    icons.push_back(LoadedIcon(test::BuildIcon(keyed, 24)));
    icons.push_back(LoadedIcon(test::BuildIcon(Doubled(test::SampleFrame()), 8)));
    icons.push_back(TFrameIcon::Built(test::SampleFrame()));
    icons.push_back(std::make_unique<TFrameIcon>());
    for (size_t i = 0; i < icons.size(); ++i)
        for (bool reduce : {false, true}) {
            Picture rendered(16, 16);
            Render(*icons[i], rendered, kKeyColour);
            const auto expected = reduce ? ReduceColours(rendered) : MakeFrameIcon(rendered);
            EXPECT_EQ(Import(*icons[i], reduce)->image(), expected->image()) << i << " reduce " << reduce;
        }
}

TEST(ImportFrameIcon, DecodeFailurePassesToTheCaller) {
    EXPECT_THROW(Import(*LoadedIcon(UndecodableIcon()), true), EZintraError);
}

// ---- PasteFrame ----------------------------------------------------------

TEST(PasteFrame, FrameOfStandardColoursPastesBackExactly) {
    const Picture copied = AsPicture(test::SampleFrame());
    Picture working(16, 16, kPureRed);
    EXPECT_TRUE(PasteFrame(copied, working));
    EXPECT_EQ(working, copied);
}

TEST(PasteFrame, SixteenBySixteenPictureIsReducedExceptTheKeyColour) {
    const Picture pasted = MakePicture(16, 16, [](int x, int y) {
        return (x + y) % 3 == 0 ? kKeyColour : Rgb{uint8_t(x * 16), uint8_t(y * 16), 99};
    });
    Picture working(16, 16);
    PasteFrame(pasted, working);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgb c = pasted.at(x, y);
            ASSERT_EQ(working.at(x, y), c == kKeyColour ? kKeyColour : NearestStandardColour(c));
        }
}

TEST(PasteFrame, EightByEightPictureFillsTwoByTwoBlocks) {
    const Picture pasted = MakePicture(8, 8, [](int x, int y) {
        return x == 2 && y == 5 ? kKeyColour : Rgb{uint8_t(x * 36), uint8_t(y * 36), 250};
    });
    Picture working(16, 16);
    PasteFrame(pasted, working);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgb c = pasted.at(x / 2, y / 2);
            ASSERT_EQ(working.at(x, y), c == kKeyColour ? kKeyColour : NearestStandardColour(c));
        }
}

TEST(PasteFrame, PictureOfAnotherSizeIsReducedInFull) {
    // Every pixel off the standard colours, so any sampled pixel left
    // unreduced (one outside the top-left 16×16) shows.
    const Picture pasted = MakePicture(100, 60, [](int x, int y) {
        return Rgb{uint8_t(x * 2 + 1), uint8_t(y * 4 + 1), 77};
    });
    Picture working(16, 16);
    PasteFrame(pasted, working);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(working.at(x, y), NearestStandardColour(pasted.at(x * 100 / 16, y * 60 / 16)));
}

TEST(PasteFrame, PictureWithoutPixelsChangesNothing) {
    Picture working(16, 16, kPureRed);
    EXPECT_FALSE(PasteFrame(Picture(), working));
    EXPECT_EQ(working, Picture(16, 16, kPureRed));
}

}  // namespace
