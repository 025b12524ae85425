#include "formats/PngImage.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "builders/HostilePngs.h"
#include "builders/PngBuilder.h"
#include "formats/Errors.h"

namespace {

using test::PngWriter;

IconImage DecodePngImage(std::span<const uint8_t> bytes, PngLimits limits) {
    ReadBudget budget;
    return ::DecodePngImage(bytes, limits, budget);
}

std::optional<PngSize> PngImageSize(std::span<const uint8_t> bytes) {
    ReadBudget budget;
    return ::PngImageSize(bytes, budget);
}

// The 16×16 frame the decoder samples from the picture.
IconImage SamplePngImage(std::span<const uint8_t> bytes, PngLimits limits, ReadBudget& budget) {
    ImageTarget target(ImageTarget::Size::Frame);
    DecodePng(bytes, limits, target, budget);
    return target.take();
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

// --- The same pixels as libpng's simplified reader ------------------------------

// The oracle: libpng's simplified reader, as the decoder was before it.
std::optional<IconImage> SimplifiedRead(const std::vector<uint8_t>& bytes) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return std::nullopt;
    png.format = PNG_FORMAT_RGBA;
    IconImage image{int(png.width), int(png.height), {}};
    image.pixels.resize(size_t(png.width) * png.height);
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) return std::nullopt;
    return image;
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> out;
    for (uint32_t v : values) test::PutBe32(out, v);
    return out;
}

struct Case {
    std::string name;
    std::vector<uint8_t> png;
    // What the oracle reads instead: libpng's simplified reader garbles the
    // rows of all passes but the last of 16-bit interlaced pictures, so these
    // are held to the same picture not interlaced.
    std::vector<uint8_t> twin = {};
};

// Every colour type at every depth it allows, plain and interlaced, with and
// without tRNS, gamma and the other chunks that shape pixels, ancillary and
// private chunks, data over many chunks and data past the last row.
std::vector<Case> Cases() {
    std::vector<Case> cases;
    const std::pair<int, std::vector<int>> kinds[] = {
        {0, {1, 2, 4, 8, 16}}, {2, {8, 16}}, {3, {1, 2, 4, 8}}, {4, {8, 16}}, {6, {8, 16}}};
    auto palette = [](int depth) {
        std::vector<uint8_t> p;
        for (int i = 0; i < (1 << depth); ++i) p.insert(p.end(), {uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * i)});
        return p;
    };
    auto base = [&](int type, int depth, bool interlaced, uint32_t w = 13, uint32_t h = 11) {
        PngWriter png(w, h, depth, type, interlaced);
        if (type == 3) png.chunk("PLTE", palette(depth));
        return png;
    };
    for (const auto& [type, depths] : kinds)
        for (int depth : depths)
            for (bool interlaced : {false, true}) {
                const std::string name = "type " + std::to_string(type) + " depth " + std::to_string(depth) +
                                         (interlaced ? " interlaced" : "");
                cases.push_back({name, base(type, depth, interlaced).imageData(test::Speckle).bytes()});
                if (interlaced && depth == 16) cases.back().twin = base(type, depth, false).imageData(test::Speckle).bytes();
                if (type == 4 || type == 6) continue;
                // tRNS: alpha per palette entry, else one transparent colour.
                const std::vector<uint8_t> trns = type == 3 ? std::vector<uint8_t>{0, 128, 255, 7}
                                                : type == 0 ? test::Latin1(std::string("\0\1", 2))
                                                            : test::Latin1(std::string("\0\1\0\2\0\3", 6));
                auto withTrns = [&](bool interlace) {
                    return base(type, depth, interlace).chunk("tRNS", trns).imageData([](uint32_t x, uint32_t y, int c) {
                        return (x + y) % 3 ? test::Speckle(x, y, c) : uint32_t(c + 1);
                    }).bytes();
                };
                cases.push_back({name + " tRNS", withTrns(interlaced)});
                if (interlaced && depth == 16) cases.back().twin = withTrns(false);
            }
    // Gamma, colour space and significant bits, which change 16-bit output.
    auto sbit = [](int type, int depth) {
        return std::vector<uint8_t>(type == 0 ? 1 : type == 4 ? 2 : type == 6 ? 4 : 3, uint8_t(depth == 16 ? 10 : 5));
    };
    const std::pair<std::string, std::function<void(PngWriter&, int, int)>> colourSpaces[] = {
        {"gAMA 1.0", [](PngWriter& p, int, int) { p.chunk("gAMA", Words({100000})); }},
        {"gAMA sRGB", [](PngWriter& p, int, int) { p.chunk("gAMA", Words({45455})); }},
        {"gAMA 0.8", [](PngWriter& p, int, int) { p.chunk("gAMA", Words({80000})); }},
        {"sRGB", [](PngWriter& p, int, int) { p.chunk("sRGB", {0}); }},
        {"sBIT and gAMA", [&](PngWriter& p, int type, int depth) { p.chunk("sBIT", sbit(type, depth)).chunk("gAMA", Words({45455})); }},
        {"cHRM and gAMA", [](PngWriter& p, int, int) {
             p.chunk("cHRM", Words({31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000})).chunk("gAMA", Words({55000}));
         }},
        {"broken iCCP then gAMA", [](PngWriter& p, int, int) {
             p.chunk("iCCP", test::CompressedText("profile", std::vector<uint8_t>(300, 9))).chunk("gAMA", Words({100000}));
         }},
    };
    for (const auto& [name, addChunks] : colourSpaces)
        for (auto [type, depth] : {std::pair{6, 16}, std::pair{6, 8}, std::pair{4, 16}, std::pair{0, 16}, std::pair{2, 8}}) {
            PngWriter png = base(type, depth, false);
            addChunks(png, type, depth);
            cases.push_back({name + " type " + std::to_string(type) + " depth " + std::to_string(depth),
                             png.imageData(test::Speckle).bytes()});
        }
    // Chunks that do not shape pixels, before and after the image data.
    PngWriter chatty = base(3, 8, false);
    chatty.chunk("tEXt", test::Latin1(std::string("Title\0Zintra", 12)))
        .chunk("zTXt", test::CompressedText("Comment", std::vector<uint8_t>(100000, 'z')))
        .chunk("iTXt", [] {
            auto data = test::Latin1(std::string("Author\0\1\0en\0Author\0", 19));
            const auto z = test::Deflate(test::Latin1("someone"));
            data.insert(data.end(), z.begin(), z.end());
            return data;
        }())
        .chunk("sPLT", test::Latin1(std::string("pal\0\x08\1\2\3\4\0\5", 11)))
        .chunk("prVt", std::vector<uint8_t>(5000, 1))
        .chunk("tIME", {7, 0xE6, 1, 2, 3, 4, 5})
        .chunk("pHYs", {0, 0, 11, 19, 0, 0, 11, 19, 1})
        .chunk("hIST", std::vector<uint8_t>(512, 0))
        .chunk("bKGD", {3});
    cases.push_back({"ancillary chunks", chatty.imageData(test::Speckle).chunk("tEXt", test::Latin1("After\0end")).bytes()});
    // Rows behind every filter, which the decoder undoes itself, for pixels
    // of every width in bytes.
    for (auto [type, depth] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 8}, std::pair{6, 8}, std::pair{2, 16},
                               std::pair{6, 16}, std::pair{0, 1}})
        for (uint8_t filter = 1; filter <= 4; ++filter) {
            PngWriter png = base(type, depth, false);
            cases.push_back({"filter " + std::to_string(filter) + " type " + std::to_string(type) + " depth " +
                                 std::to_string(depth),
                             png.rowData(png.Scanlines(test::Speckle, filter)).bytes()});
        }
    cases.push_back({"many image data chunks", base(6, 8, true).imageData(test::Speckle, 7).bytes()});
    cases.push_back({"data past the last row", base(2, 8, false).imageData(test::Speckle, 1 << 20, 1 << 20).bytes()});
    for (auto [w, h] : {std::pair{1u, 1u}, std::pair{16u, 16u}, std::pair{1u, 40u}, std::pair{256u, 256u}})
        cases.push_back({"size " + std::to_string(w) + "x" + std::to_string(h),
                         base(6, 8, w == 1, w, h).imageData(test::Speckle).bytes()});
    return cases;
}

TEST(PngImage, GivesTheSimplifiedReadersPixelsForEveryKindOfPicture) {
    for (const Case& c : Cases()) {
        const std::optional<IconImage> expected = SimplifiedRead(c.twin.empty() ? c.png : c.twin);
        ASSERT_TRUE(expected) << c.name;
        const PngLimits limits{uint32_t(expected->width), uint32_t(expected->height)};
        ReadBudget decodeBudget, sampleBudget;
        EXPECT_EQ(::DecodePngImage(c.png, limits, decodeBudget), *expected) << c.name;
        EXPECT_EQ(SamplePngImage(c.png, limits, sampleBudget), ScaleToFrame(*expected)) << c.name;
    }
}

// --- What reading costs ---------------------------------------------------------

TEST(PngImage, SkipsTextChunksUnreadWithinASmallBudget) {
    const auto png = test::TextBombPng(100);  // 790 MB of text
    for (auto read : {::DecodePngImage, &SamplePngImage}) {
        ReadBudget budget(2 * png.size() + (1 << 20));
        EXPECT_EQ(read(png, {16, 16, true}, budget).width, 16);
    }
}

TEST(PngImage, DropsAProfileAnnouncedLargerThanAnyRealOneWithoutAllocatingIt) {
    ReadBudget budget(1 << 20);
    EXPECT_EQ(::DecodePngImage(test::HugeProfilePng(), {16, 16, true}, budget).width, 16);
}

TEST(PngImage, LeavesDataPastTheLastRowUninflated) {
    const auto png = test::TrailingDeflatePng(uint64_t(64) << 20);
    ReadBudget budget;
    EXPECT_EQ(::DecodePngImage(png, {256, 256, true}, budget).width, 256);
    EXPECT_LT(budget.spent(), 2 * png.size() + (1 << 20));
}

}  // namespace
