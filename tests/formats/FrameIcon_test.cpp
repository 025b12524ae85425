#include "formats/FrameIcon.h"
#include "formats/ImageTarget.h"

#include <gtest/gtest.h>

#include "builders/IconBuilder.h"
#include "formats/Errors.h"

namespace {

using test::BuildIcon;
using test::Clear;
using test::IconEntry;
using test::MakeImage;
using test::Opaque;

const Rgb kRed = kStandardColours[::kRed];

template <typename E>
std::string MessageOf(auto&& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return "no error";
}

std::string DecodeError(const std::vector<uint8_t>& bytes) {
    return MessageOf<EZintraError>([&] { test::DecodeIcon(bytes); });
}

IconImage AllTransparent() { return MakeImage(16, 16, [](int, int) { return Clear(); }); }

// --- Encoding ---------------------------------------------------------------

TEST(EncodeFrameIcon, WritesThe318BytesWithTheFixedHeader) {
    const std::vector<uint8_t> header = {
        0x00, 0x00, 0x01, 0x00, 0x01, 0x00,
        0x10, 0x10, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x01, 0x00, 0x00, 0x16, 0x00, 0x00, 0x00,
        0x28, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x01, 0x00, 0x04, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const auto bytes = EncodeFrameIcon(test::SampleFrame());
    ASSERT_EQ(bytes.size(), 318u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 62), header);
    // Same bytes as an independently built 4-bit icon of the same picture.
    EXPECT_EQ(bytes, BuildIcon(test::SampleFrame(), 4));
}

TEST(EncodeFrameIcon, AllTransparentStoresBlackAndSetMaskBits) {
    const auto bytes = EncodeFrameIcon(AllTransparent());
    for (size_t i = 126; i < 254; ++i) ASSERT_EQ(bytes[i], 0) << i;  // black is index 0
    for (size_t row = 0; row < 16; ++row) {
        const size_t at = 254 + row * 4;
        EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + at, bytes.begin() + at + 4)),
                  (std::vector<uint8_t>{0xFF, 0xFF, 0, 0}));
    }
}

TEST(EncodeFrameIcon, OpaqueFrameHasAnEmptyMask) {
    const auto bytes = EncodeFrameIcon(MakeImage(16, 16, [](int, int) { return Opaque(kRed); }));
    for (size_t i = 254; i < 318; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST(EncodeFrameIcon, TopLeftPixelLandsInTheLastRows) {
    const auto image = MakeImage(16, 16, [](int x, int y) { return x == 0 && y == 0 ? Opaque(kRed) : Clear(); });
    const auto bytes = EncodeFrameIcon(image);
    EXPECT_EQ(bytes[246] >> 4, ::kRed);
    EXPECT_EQ(bytes[246] & 0x0F, 0);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 314, bytes.end())),
              (std::vector<uint8_t>{0x7F, 0xFF, 0, 0}));
}

TEST(EncodeFrameIcon, StoresOtherColoursAsTheirNearestStandardColour) {
    const auto image = MakeImage(16, 16, [](int, int) { return Opaque({240, 240, 241}); });
    const IconImage decoded = test::DecodeIcon(EncodeFrameIcon(image));
    EXPECT_EQ(decoded.at(5, 5), Opaque(kStandardColours[kWhite]));
}

TEST(FrameIcon, RoundTripsThroughItsBytes) {
    const auto built = TFrameIcon::Built(test::SampleFrame());
    const auto loaded = LoadFrameIcon(test::BytesOf(*built));
    EXPECT_EQ(loaded->state(), TFrameIcon::State::Loaded);
    EXPECT_EQ(test::Decoded(*loaded), test::SampleFrame());
    EXPECT_EQ(test::BytesOf(*loaded), test::BytesOf(*built)) << "a loaded icon writes its bytes unchanged";
}

TEST(FrameIcon, KeepsItsBytesOnceEncoded) {
    const auto built = TFrameIcon::Built(test::SampleFrame());
    const uint8_t* first = built->bytes().data();
    EXPECT_EQ(first, built->bytes().data());
}

TEST(FrameIcon, EmptyIconHasNeitherBytesNorImage) {
    TFrameIcon empty;
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { empty.bytes(); }), "Icon image is not valid");
    EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { empty.image(); }), "Icon image is not valid");
}

TEST(IsWrittenFrameIcon, AcceptsExactlyWhatTheWriterMakes) {
    const std::vector<uint8_t> clear = EncodeFrameIcon(AllTransparent());
    EXPECT_TRUE(IsWrittenFrameIcon(clear));
    EXPECT_TRUE(IsWrittenFrameIcon(EncodeFrameIcon(test::SampleFrame())));
    auto changed = [&](size_t at, uint8_t value) {
        std::vector<uint8_t> bytes = clear;
        bytes[at] = value;
        return bytes;
    };
    // A transparent pixel stored as maroon, mask padding, a table colour, a byte more.
    std::vector<uint8_t> longer = clear;
    longer.push_back(0);
    for (const auto& bytes : {changed(126, 0x01), changed(317, 1), changed(66, 1), longer})
        EXPECT_FALSE(IsWrittenFrameIcon(bytes));
    EXPECT_EQ(test::DecodeIcon(changed(126, 0x01)), AllTransparent()) << "still transparent black";
}

// --- Loading ----------------------------------------------------------------

TEST(LoadFrameIcon, ChecksOnlyTheHeader) {
    EXPECT_EQ(MessageOf<EReadError>([] { LoadFrameIcon({0, 0, 1, 0, 1}); }), "Stream read error");
    EXPECT_EQ(MessageOf<EInvalidGraphic>([] { LoadFrameIcon({0, 0, 2, 0, 1, 0}); }), "Icon image is not valid");
    // Type 1 with nothing after the header loads; decoding finds no image.
    const auto headerOnly = LoadFrameIcon({0, 0, 1, 0, 1, 0});
    EXPECT_EQ(headerOnly->state(), TFrameIcon::State::Loaded);
}

TEST(LoadFrameIcon, TypeZeroShowsTheStandardApplicationIcon) {
    const auto icon = LoadFrameIcon({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(test::Decoded(*icon), StandardApplicationIcon());
    EXPECT_EQ(StandardApplicationIcon().width, 16);
}

// --- Decoding ---------------------------------------------------------------

IconImage Gradient(int w, int h) {
    return MakeImage(w, h, [](int x, int y) {
        if ((x + y) % 7 == 0) return Clear();
        return Opaque({uint8_t(x * 8), uint8_t(y * 8), uint8_t(x * y)});
    });
}

TEST(DecodeFrameIcon, ReadsEveryDepthAtItsStoredSize) {
    for (int bpp : {24, 32}) {
        const IconImage image = Gradient(20, 12);
        EXPECT_EQ(test::DecodeIcon(BuildIcon(image, bpp)), image) << bpp;
    }
    // Palette depths: the pixels take standard colours from the table.
    const IconImage standard = MakeImage(32, 32, [](int x, int y) {
        return (x * y) % 5 == 0 ? Clear() : Opaque(kStandardColours[size_t((x + y) % 16)]);
    });
    const auto bytes4 = BuildIcon(standard, 4);
    EXPECT_EQ(bytes4.size(), 766u);
    EXPECT_EQ(test::DecodeIcon(bytes4), standard);
    EXPECT_EQ(test::DecodeIcon(BuildIcon(standard, 8)), standard);
    const IconImage twoColour = MakeImage(9, 3, [](int x, int y) {
        return Opaque((x + y) % 2 ? kStandardColours[kMaroon] : kStandardColours[kBlack]);
    });
    EXPECT_EQ(test::DecodeIcon(BuildIcon(twoColour, 1)), twoColour);
    // 16 bits keep 5 bits per channel, widened again.
    const IconImage five = MakeImage(3, 2, [](int x, int) { return Opaque({uint8_t(x * 8), 255, 0}); });
    EXPECT_EQ(test::DecodeIcon(BuildIcon(five, 16)), five);
}

TEST(DecodeFrameIcon, IgnoresTheDirectoryEntrysSizeFieldsButNotTheBitmapHeader) {
    auto bytes = BuildIcon(test::SampleFrame());
    bytes[6] = 99;   // width
    bytes[7] = 1;    // height
    bytes[10] = 7;   // planes
    bytes[12] = 32;  // bit count
    EXPECT_EQ(test::DecodeIcon(bytes), test::SampleFrame());
    test::SetU32(bytes, 22 + 4, 8);  // bitmap header width
    EXPECT_EQ(test::DecodeIcon(bytes).width, 8);
}

TEST(DecodeFrameIcon, ReadsAFullTableWhateverColoursUsedSays) {
    auto bytes = BuildIcon(test::SampleFrame());
    test::SetU32(bytes, 22 + 32, 2);  // colours used
    EXPECT_EQ(test::DecodeIcon(bytes), test::SampleFrame());
}

TEST(DecodeFrameIcon, ChoosesTheEntryMatchingTheDisplayElseTheRichestThatFits) {
    const IconImage a = MakeImage(4, 4, [](int, int) { return Opaque(kRed); });
    const IconImage b = MakeImage(6, 6, [](int, int) { return Opaque(kStandardColours[kBlue]); });
    const IconImage c = MakeImage(8, 8, [](int, int) { return Opaque(kStandardColours[kLime]); });
    // A colour word equal to the display's colour count wins even when an
    // earlier entry also fits.
    auto icon = BuildIcon({IconEntry{a, 24, 0, {}}, IconEntry{b, 24, 16, {}}, IconEntry{c, 24, 256, {}}});
    EXPECT_EQ(test::DecodeIcon(icon, 16).width, 6);
    // Nothing equals 8: the first that fits (4) is chosen, then any later one
    // with more colours than it replaces the choice.
    icon = BuildIcon({IconEntry{a, 24, 16, {}}, IconEntry{b, 24, 4, {}}, IconEntry{c, 24, 9, {}}});
    EXPECT_EQ(test::DecodeIcon(icon, 8).width, 8);
    // Nothing fits: the first entry.
    icon = BuildIcon({IconEntry{a, 24, 16, {}}, IconEntry{b, 24, 256, {}}});
    EXPECT_EQ(test::DecodeIcon(icon, 2).width, 4);
    // On a true-colour display a zero colour word wins.
    icon = BuildIcon({IconEntry{a, 4, 16, {}}, IconEntry{b, 32, 0, {}}});
    EXPECT_EQ(test::DecodeIcon(icon).width, 6);
}

TEST(DecodeFrameIcon, UsesAlphaOnlyWhenTheImageHasSome) {
    IconImage withAlpha = MakeImage(4, 1, [](int x, int) {
        const uint8_t alpha[] = {0, 128, 255, 255};
        return Rgba{200, 100, 50, alpha[x]};
    });
    const IconImage decoded = test::DecodeIcon(BuildIcon(withAlpha, 32));
    EXPECT_EQ(decoded.at(0, 0), Clear()) << "alpha 0 is transparent though the mask is clear";
    EXPECT_EQ(decoded.at(1, 0), (Rgba{200, 100, 50, 128}));
    EXPECT_EQ(decoded.at(2, 0), (Rgba{200, 100, 50, 255}));

    // With every alpha byte zero the mask alone decides.
    const Rgb black = kStandardColours[kBlack];
    auto bytes = BuildIcon(MakeImage(3, 1, [&](int x, int) { return x == 0 ? Clear() : Opaque(x == 1 ? kRed : black); }), 32);
    for (size_t at = 22 + 40; at < 22 + 40 + 4 * 3; at += 4) bytes[at + 3] = 0;
    const IconImage maskOnly = test::DecodeIcon(bytes);
    EXPECT_EQ(maskOnly.at(0, 0), Clear());
    EXPECT_EQ(maskOnly.at(1, 0), Opaque(kRed));
    EXPECT_EQ(maskOnly.at(2, 0), Opaque(black)) << "opaque black is not transparent";
}

TEST(DecodeFrameIcon, ReadsMissingBytesAsZero) {
    auto bytes = BuildIcon(test::SampleFrame());
    bytes.resize(254);  // no mask rows: every pixel opaque
    const IconImage decoded = test::DecodeIcon(bytes);
    EXPECT_EQ(decoded.at(0, 0), Opaque(kStandardColours[kBlack]));
    EXPECT_EQ(decoded.at(5, 5), test::SampleFrame().at(5, 5));

    // Offset and size far beyond the bytes: an all-zero header, no image.
    bytes = BuildIcon(test::SampleFrame());
    test::SetU32(bytes, 14, 0xFFFFFFFF);
    test::SetU32(bytes, 18, 0xFFFFFFF0);
    EXPECT_EQ(DecodeError(bytes), "Icon image is not valid");
}

TEST(DecodeFrameIcon, RefusesHeadersThatWouldAllocateTooMuchOrCannotBeAnImage) {
    struct Case { const char* name; size_t at; uint32_t value; bool u16; };
    const Case cases[] = {
        {"zero width", 26, 0, false},         {"negative width", 26, 0xFFFFFFF0, false},
        {"width above 256", 26, 257, false},  {"zero height", 30, 0, false},
        {"height of one row", 30, 1, false},  {"negative height", 30, 0x80000000, false},
        {"height above 256", 30, 514, false}, {"depth 0", 36, 0, true},
        {"depth 3", 36, 3, true},             {"depth 64", 36, 64, true},
        {"run-length data", 38, 2, false},
    };
    for (const Case& c : cases) {
        auto bytes = BuildIcon(test::SampleFrame());
        c.u16 ? test::SetU16(bytes, c.at, c.value) : test::SetU32(bytes, c.at, c.value);
        EXPECT_EQ(DecodeError(bytes), "Icon image is not valid") << c.name;
    }
    auto maxSide = BuildIcon(MakeImage(256, 256, [](int, int) { return Opaque(kRed); }), 1);
    EXPECT_EQ(test::DecodeIcon(maxSide).width, 256);
}

TEST(DecodeFrameIcon, RefusesIconsWithoutAnImage) {
    EXPECT_EQ(DecodeError({0, 0, 1, 0, 0, 0}), "Icon image is not valid") << "no entry";
    EXPECT_EQ(DecodeError({0, 0, 2, 0, 1, 0}), "Icon image is not valid") << "a cursor";
    EXPECT_EQ(DecodeError({0, 0, 1}), "Stream read error");
}

TEST(DecodeFrameIcon, ReadsPngEntriesWithTheirAlpha) {
    const IconImage large = MakeImage(256, 256, [](int x, int y) {
        return x + y == 0 ? Clear() : Rgba{uint8_t(x), uint8_t(y), 90, uint8_t(std::min(x + y, 255))};
    });
    // A 16×16 bitmap beside a 256×256 PNG whose zero colour word wins on a
    // true-colour display, as in icons of the last twenty years.
    const auto icon = BuildIcon({IconEntry{test::SampleFrame(), 4, -1, {}}, test::PngEntry(large)});
    EXPECT_EQ(test::DecodeIcon(BuildIcon({test::PngEntry(large)})), large);
    EXPECT_EQ(test::DecodeIcon(icon, 16), test::SampleFrame());
}

TEST(DecodeFrameIcon, RefusesPngEntriesThatDoNotFitTheirDirectory) {
    const IconImage red = MakeImage(20, 20, [](int, int) { return Opaque(kRed); });
    auto mismatch = BuildIcon({test::PngEntry(red)});
    mismatch[6] = 16;  // the directory says 16×20
    auto tooLarge = BuildIcon({test::PngEntry(MakeImage(300, 1, [](int, int) { return Clear(); }))});
    tooLarge[6] = 0;  // 256, the most an entry may be
    auto truncated = BuildIcon({test::PngEntry(red)});
    truncated.resize(truncated.size() - 16);
    auto undecodable = BuildIcon({test::PngEntry(red)});
    undecodable[undecodable.size() - 17] ^= 0xFF;  // the pixel data's last byte: its checksum fails
    for (const auto& bytes : {mismatch, tooLarge, truncated, undecodable})
        EXPECT_EQ(DecodeError(bytes), "Icon image is not valid");
}

TEST(FrameIconBudget, EveryDecoderFailsWithTheReadErrorAndACauseWhenOverBudget) {
    const IconImage shaded = MakeImage(32, 32, [](int x, int y) { return Rgba{uint8_t(x * 8), uint8_t(y * 8), 7, 200}; });
    const auto bitmap = BuildIcon(shaded, 32), png = BuildIcon({test::PngEntry(shaded)});
    const struct { const char* name; const std::vector<uint8_t>& icon; bool sample; } cases[] = {
        {"bitmap decode", bitmap, false}, {"bitmap sample", bitmap, true},
        {"PNG decode", png, false},       {"PNG sample", png, true},
    };
    for (const auto& c : cases) {
        ReadBudget budget(1000);
        try {
            ImageTarget target(c.sample ? ImageTarget::Size::Frame : ImageTarget::Size::Stored);
            DecodeFrameIcon(c.icon, target, budget);
            ADD_FAILURE() << c.name << " read within 1000 units";
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), "Stream read error") << c.name;
            EXPECT_NE(e.cause(), "") << c.name;
        }
    }
}

}  // namespace

// --- Sampling to 16×16 --------------------------------------------------------

// A pixel that differs from its neighbours, so a wrong sample shows: every
// eleventh one transparent, and (at 32 bits) alpha of every kind.
Rgba Varied(int x, int y, int seed, bool alpha) {
    const unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u ^ unsigned(seed) * 83492791u;
    if (h % 11 == 0) return Clear();
    const uint8_t a = !alpha ? 255 : h % 5 == 0 ? 0 : h % 5 == 1 ? 255 : uint8_t(h >> 8);
    return {uint8_t(h >> 4), uint8_t(h >> 12), uint8_t(h >> 20), a};
}

IconEntry VariedEntry(int w, int h, int bpp, int seed, int colourWord = -1) {
    std::vector<Rgb> palette;
    for (int i = 0; bpp <= 8 && i < (1 << bpp); ++i) palette.push_back(Varied(i, 0, seed, false).rgb());
    IconImage image = MakeImage(w, h, [&](int x, int y) {
        const Rgba p = Varied(x, y, seed, bpp == 32);
        // Palette depths can show only their table's colours.
        return bpp > 8 || p.transparent() ? p : Opaque(palette[size_t(x + y) % palette.size()]);
    });
    return {image, bpp, colourWord, palette};
}

// The pixels an image-producing call gives, or its error.
std::string Outcome(auto&& image) {
    try {
        return ::testing::PrintToString(image().pixels);
    } catch (const EZintraError& e) {
        return e.what();
    }
}

TEST(SampleFrameIcon, GivesWhatDecodingWholeAndScalingGives) {
    std::vector<std::vector<uint8_t>> icons;
    const int sizes[][2] = {{1, 1}, {5, 3}, {16, 16}, {17, 33}, {31, 32}, {100, 7}, {255, 129}, {256, 256}};
    int seed = 0;
    for (int bpp : {1, 4, 8, 16, 24, 32})
        for (auto [w, h] : sizes) icons.push_back(BuildIcon({VariedEntry(w, h, bpp, ++seed)}));
    // 32 bits with every alpha byte zero: the mask alone decides.
    auto maskOnly = BuildIcon({VariedEntry(40, 40, 32, 99)});
    for (size_t at = 22 + 40 + 3; at < 22 + 40 + 40 * 40 * 4; at += 4) maskOnly[at] = 0;
    icons.push_back(maskOnly);
    // Several entries, chosen by the display's colours.
    icons.push_back(BuildIcon({VariedEntry(16, 16, 4, 1, 16), VariedEntry(48, 48, 32, 2, 0), VariedEntry(64, 32, 8, 3, 256)}));
    // Cut short: missing rows and mask bytes read as zero.
    for (size_t keep : {23u, 62u, 300u, 5000u, 60000u}) {
        auto cut = BuildIcon({VariedEntry(200, 150, 24, 7)});
        cut.resize(keep);
        icons.push_back(cut);
    }
    icons.push_back({0, 0, 0, 0, 0, 0});  // the standard application icon
    auto png = BuildIcon({VariedEntry(32, 32, 32, 8)});
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::copy(std::begin(signature), std::end(signature), png.begin() + 22);
    icons.push_back(png);

    for (size_t i = 0; i < icons.size(); ++i)
        for (uint16_t colours : {0, 16, 256})
            EXPECT_EQ(Outcome([&] { return test::SampleIcon(icons[i], colours); }),
                      Outcome([&] { return ScaleToFrame(test::DecodeIcon(icons[i], colours)); }))
                << "icon " << i << " at " << colours;
}
