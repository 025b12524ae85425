// GIF frames composed as a viewer shows them, checked pixel by pixel
// against ImageMagick's coalesce.
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>

#include "builders/GifBuilder.h"
#include "formats/GifImage.h"
#include "formats/ReadBudget.h"

// Every operator new of this binary passes through here, so a test sees
// the peak of live heap bytes while it runs.
namespace {
std::atomic<size_t> g_live{0}, g_peak{0};
void* Allocate(size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    const size_t live = g_live += malloc_usable_size(p);
    if (live > g_peak) g_peak = live;
    return p;
}
}  // namespace
void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept {
    if (!p) return;
    g_live -= malloc_usable_size(p);
    std::free(p);
}
void operator delete[](void* p) noexcept { operator delete(p); }
void operator delete(void* p, size_t) noexcept { operator delete(p); }
void operator delete[](void* p, size_t) noexcept { operator delete(p); }

namespace {

using test::GifBuilder;
using test::GifImage;
using test::GifRect;

std::vector<IconImage> Compose(const std::vector<uint8_t>& gif, GifSummary* summary = nullptr,
                               ImageTarget::Size size = ImageTarget::Size::Stored) {
    std::vector<IconImage> frames;
    ReadBudget budget;
    ImageTarget target(size);
    const GifSummary s = ComposeGif(gif, target, budget, [&](const IconImage& image, int) { frames.push_back(image); });
    if (summary) *summary = s;
    return frames;
}

// ImageMagick's coalesced frames, each the whole screen as 8-bit RGBA.
std::vector<IconImage> Coalesce(const std::vector<uint8_t>& gif, int width, int height) {
    const std::string base = (std::filesystem::temp_directory_path() / ("gif_test_" + std::to_string(::getpid()))).string();
    std::ofstream(base + ".gif", std::ios::binary).write(reinterpret_cast<const char*>(gif.data()), std::streamsize(gif.size()));
    const std::string command = "convert " + base + ".gif -coalesce -depth 8 rgba:" + base + ".rgba";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(base + ".rgba", std::ios::binary);
    std::vector<IconImage> frames;
    UninitialisedVector<Rgba> pixels(size_t(width) * size_t(height));
    while (in.read(reinterpret_cast<char*>(pixels.data()), std::streamsize(pixels.size() * 4))) {
        // A transparent pixel's colour is anyone's; only its alpha counts.
        for (Rgba& p : pixels)
            if (p.alpha == 0) p = {0, 0, 0, 0};
        frames.push_back({width, height, pixels});
    }
    std::filesystem::remove(base + ".gif");
    std::filesystem::remove(base + ".rgba");
    return frames;
}

// How many pixels differ.
int Differing(const IconImage& a, const IconImage& b) {
    if (a.pixels.size() != b.pixels.size()) return -1;
    int count = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) count += a.pixels[i] != b.pixels[i];
    return count;
}

const std::vector<Rgb> kGlobal{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}, {90, 40, 200}};
const std::vector<Rgb> kLocal{{10, 20, 30}, {200, 100, 50}, {1, 2, 3}, {250, 250, 250}};

// Diagonal stripes of every colour of the frame's table.
GifImage Frame(int left, int top, int width, int height, int disposal, int transparent = NO_TRANSPARENT_COLOR,
               bool local = false, bool interlace = false) {
    const int count = int(local ? kLocal.size() : kGlobal.size());
    GifImage image = GifRect(left, top, width, height, [count](int x, int y) { return (x + 2 * y) % count; });
    image.disposal = disposal;
    image.transparent = transparent;
    if (local) image.colours = kLocal;
    image.interlace = interlace;
    return image;
}

// A 16×16 frame composed alone is the whole screen's, sampled.
// Where a first frame covers only part of the screen, viewers leave the
// rest transparent; ImageMagick does so only when that frame declares a
// transparent colour, so these first frames do.
TEST(GifImage, ComposesFramesAsImageMagickCoalesces) {
    const std::vector<std::pair<std::string, GifBuilder>> cases{
        {"leave and unspecified disposal, transparency",
         GifBuilder(20, 16, kGlobal)
             .image(Frame(0, 0, 20, 16, DISPOSAL_UNSPECIFIED))
             .image(Frame(4, 3, 7, 5, DISPOSE_DO_NOT, 1))
             .image(Frame(9, 1, 5, 9, DISPOSE_DO_NOT, 0))},
        {"restore to background clears to transparent",
         GifBuilder(20, 16, kGlobal)
             .image(Frame(2, 2, 12, 10, DISPOSE_BACKGROUND, 5))
             .image(Frame(6, 4, 10, 10, DISPOSE_BACKGROUND, 3))
             .image(Frame(0, 0, 5, 5, DISPOSE_DO_NOT))},
        {"restore to previous",
         GifBuilder(20, 16, kGlobal)
             .image(Frame(0, 0, 20, 16, DISPOSE_DO_NOT))
             .image(Frame(3, 3, 8, 8, DISPOSE_PREVIOUS, 4))
             .image(Frame(5, 5, 8, 8, DISPOSE_PREVIOUS))
             .image(Frame(1, 1, 4, 4, DISPOSE_DO_NOT))},
        {"local tables, interlace and frames partly outside the screen",
         GifBuilder(12, 20, kGlobal)
             .image(Frame(1, 2, 9, 19, DISPOSE_DO_NOT, 3, true, true))
             .image(Frame(3, 3, 6, 5, DISPOSE_DO_NOT, 2, true))
             .image(Frame(8, 14, 9, 11, DISPOSE_BACKGROUND, 5))
             .image(Frame(11, 0, 1, 20, DISPOSE_PREVIOUS))
             .image(Frame(0, 19, 12, 1, DISPOSAL_UNSPECIFIED))},
    };
    for (const auto& [name, builder] : cases) {
        const std::vector<uint8_t> gif = builder.bytes();
        const std::vector<IconImage> ours = Compose(gif);
        const std::vector<IconImage> theirs = Coalesce(gif, ours.at(0).width, ours.at(0).height);
        const std::vector<IconImage> sampled = Compose(gif, nullptr, ImageTarget::Size::Frame);
        ASSERT_EQ(ours.size(), theirs.size()) << name;
        ASSERT_EQ(ours.size(), sampled.size()) << name;
        for (size_t f = 0; f < ours.size(); ++f) {
            EXPECT_EQ(Differing(ours[f], theirs[f]), 0) << name << ", frame " << f;
            EXPECT_EQ(ScaleToFrame(ours[f]), sampled[f]) << name << ", frame " << f;
        }
    }
}

TEST(GifImage, HoldsTheScreenAndOneSavedAreaWhateverTheFrameCount) {
    constexpr int kSide = 512;
    GifBuilder builder(kSide, kSide, kGlobal);
    for (int f = 0; f < 40; ++f) builder.image(Frame(0, 0, kSide, kSide, f % 2 ? DISPOSE_PREVIOUS : DISPOSE_BACKGROUND, 0, true));
    const std::vector<uint8_t> gif = builder.bytes();
    const size_t screenBytes = size_t(kSide) * kSide * sizeof(Rgba);
    const size_t base = g_live;
    g_peak = base;
    int frames = 0;
    ReadBudget budget;
    ImageTarget screen(ImageTarget::Size::Stored);
    ComposeGif(gif, screen, budget, [&](const IconImage&, int) { ++frames; });
    EXPECT_EQ(frames, 40);
    EXPECT_LE(g_peak - base, 2 * screenBytes + (size_t(64) << 10));
    // Both held on the budget while alive, the saved area no longer.
    EXPECT_EQ(budget.mostHeld(), 2 * screenBytes);
    EXPECT_EQ(budget.held(), screenBytes);
}

// A frame costs what it touches: as much on the largest screen as on a small one.
TEST(GifImage, AFrameCostsTheSameWhateverTheScreen) {
    const auto spent = [](int side, int frames) {
        GifBuilder builder(side, side, kGlobal);
        for (int f = 0; f < frames; ++f) builder.image(Frame(f, 2 * f, 9, 7, f % 4));
        ReadBudget budget;
        ImageTarget screen(ImageTarget::Size::Stored);
        ComposeGif(builder.bytes(), screen, budget, [](const IconImage&, int) {});
        return budget.spent();
    };
    EXPECT_EQ(spent(4096, 60) - spent(4096, 30), spent(128, 60) - spent(128, 30));
}

TEST(GifImage, KeepsTheCommentsUpToAFieldsLength) {
    const std::vector<uint8_t> gif = GifBuilder(4, 4, kGlobal)
                                         .comment("made by hand")
                                         .image(Frame(0, 0, 4, 4, DISPOSE_DO_NOT))
                                         .comment(std::string(300, 'x'))
                                         .bytes();
    GifSummary summary;
    EXPECT_EQ(Compose(gif, &summary).size(), 1u);
    EXPECT_EQ(summary.comments, "made by hand\r\n" + std::string(255 - 14, 'x'));
}

}  // namespace
