#include "bench/peers/WorkItems.h"

#include <random>

#include "bench/peers/PixelDigest.h"
#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "formats/FrameIcon.h"

namespace {

constexpr int kCursorFrames = 16;
constexpr int kCursorSizes[] = {16, 32, 48, 64, 128, 256};

void AddToDigest(PixelDigest& digest, const IconImage& image) {
    digest.addFrame(image.width, image.height);
    for (const Rgba& p : image.pixels) digest.addPixel(p.r, p.g, p.b, p.alpha);
}

// Random colours with every kind of alpha: clear, blended and opaque.
IconImage BlendedImage(int size, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    return test::MakeImage(size, size, [&](int, int) {
        const int a = byte(random);
        return Rgba{uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)),
                    uint8_t(a < 64 ? 0 : a > 192 ? 255 : a)};
    });
}

// Opaque pixels with one in eight clear, in random places.
IconImage ScatteredImage(int size, std::mt19937& random, bool standardColours) {
    std::uniform_int_distribution<int> byte(0, 255);
    return test::MakeImage(size, size, [&](int, int) {
        if (byte(random) < 32) return test::Clear();
        if (standardColours) return test::Opaque(kStandardColours[size_t(byte(random) % 16)]);
        return Rgba{uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)), 255};
    });
}

// Laid out as drawing programs write a cursor, except that the header comes
// first: gdk-pixbuf refuses a cursor whose INFO list stands before it.
test::Bytes CursorBytes(const std::vector<test::Bytes>& icons) {
    std::vector<test::Bytes> iconChunks;
    std::vector<int32_t> rates, steps;
    for (size_t i = 0; i < icons.size(); ++i) {
        iconChunks.push_back(test::Chunk("icon", icons[i]));
        rates.push_back(int32_t(5 + i % 3));
        steps.push_back(int32_t(i));
    }
    const auto count = int32_t(icons.size());
    return test::Riff("ACON", {test::HeaderChunk({.frames = count, .steps = count, .rate = 6, .flags = 3}),
                               test::Chunk("rate", test::Words(rates)), test::Chunk("seq ", test::Words(steps)),
                               test::List("INFO", {test::Chunk("INAM", test::Text("Sample")),
                                                   test::Chunk("IART", test::Text("Zintra"))}),
                               test::List("fram", iconChunks)});
}

std::string SizeText(int size) { return std::to_string(size) + "×" + std::to_string(size); }

WorkItem Cursor(int size, int bpp) {
    std::mt19937 random(uint32_t(size * 100 + bpp));
    PixelDigest digest;
    std::vector<test::Bytes> icons;
    for (int i = 0; i < kCursorFrames; ++i) {
        const IconImage image = bpp == 32 ? BlendedImage(size, random) : ScatteredImage(size, random, true);
        AddToDigest(digest, image);
        icons.push_back(test::BuildIcon(std::vector<test::IconEntry>{{image, bpp, -1, {}}}));
    }
    const std::string depth = bpp == 32 ? "32-bit with alpha" : std::to_string(bpp) + "-bit palette";
    return {WorkItem::Kind::AnimatedCursor,
            "ani-" + std::to_string(bpp) + "bit-" + std::to_string(size),
            ".ani, " + std::to_string(kCursorFrames) + " frames of " + SizeText(size) + ", " + depth + ", full import",
            CursorBytes(icons), kCursorFrames, digest.value()};
}

WorkItem Icon(std::string key, std::string label, const IconImage& image, std::vector<uint8_t> bytes) {
    PixelDigest digest;
    AddToDigest(digest, image);
    return {WorkItem::Kind::Icon, std::move(key), std::move(label), std::move(bytes), 1, digest.value()};
}

}  // namespace

std::vector<WorkItem> MakeWorkItems() {
    std::vector<WorkItem> items;
    for (int bpp : {32, 8})
        for (int size : kCursorSizes) items.push_back(Cursor(size, bpp));

    std::mt19937 random(16);
    // The editor's own frame icon, as its writer stores one.
    const IconImage frame = ScatteredImage(kFrameSize, random, true);
    items.push_back(Icon("ico-4bit-16", "one 16×16 4-bit frame icon, decode", frame, EncodeFrameIcon(frame)));
    const IconImage large = ScatteredImage(256, random, false);
    items.push_back(Icon("ico-32bit-256", "one 256×256 32-bit icon with scattered transparency, decode", large,
                         test::BuildIcon(large, 32)));
    return items;
}
