// Importing an animated GIF as zntool convert does, next to ImageMagick
// composing the same file (-coalesce) and nothing else. Built beside zntool
// as gif_bench (see tools/zntool/CMakeLists.txt).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "builders/GifBuilder.h"
#include "core/PictureImport.h"
#include "formats/GifImage.h"
#include "formats/ReadBudget.h"

namespace {

constexpr int kFrames = 500;
constexpr int kSide = 256;

// 500 frames of 256×256 as animations are made: a full first frame, then
// frames that cover part of the screen through a transparent colour, with
// every disposal and now and then a table of their own.
const std::vector<uint8_t>& Animation() {
    static const std::vector<uint8_t> bytes = [] {
        std::vector<Rgb> colours;
        for (int i = 0; i < 256; ++i) colours.push_back({uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
        test::GifBuilder builder(kSide, kSide, colours);
        for (int f = 0; f < kFrames; ++f) {
            const int size = f == 0 ? kSide : 96 + f % 160, at = f == 0 ? 0 : (f * 37) % (kSide - size + 1);
            test::GifImage image = test::GifRect(at, at / 2, size, size, [f](int x, int y) {
                return (x / 4 + y / 4 + f) % 64 == 0 ? 0 : (x * 3 + y * 5 + f) % 256;
            });
            image.transparent = f == 0 ? NO_TRANSPARENT_COLOR : 0;
            image.disposal = f % 3 == 0 ? DISPOSE_DO_NOT : f % 3 == 1 ? DISPOSE_BACKGROUND : DISPOSE_PREVIOUS;
            if (f % 10 == 5) image.colours = std::vector<Rgb>(colours.rbegin(), colours.rend());
            builder.image(image);
        }
        return builder.bytes();
    }();
    return bytes;
}

std::string AnimationFile() {
    static const std::string path = [] {
        const auto file = std::filesystem::temp_directory_path() / ("gif_bench_" + std::to_string(::getpid()) + ".gif");
        const auto& bytes = Animation();
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return file.string();
    }();
    return path;
}

void Run(benchmark::State& state, const std::string& command) {
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError(("failed: " + command).c_str());
}

// Composing every frame onto the screen, nothing else.
void BM_ComposeGif(benchmark::State& state) {
    for (auto _ : state) {
        ReadBudget budget;
        ImageTarget screen(ImageTarget::Size::Stored);
        ComposeGif(Animation(), screen, budget, [](const IconImage& image, int) { benchmark::DoNotOptimize(image.pixels.data()); });
    }
}
BENCHMARK(BM_ComposeGif)->Unit(benchmark::kMillisecond);

// Composing and making each frame a document frame.
void BM_ImportGif(benchmark::State& state) {
    for (auto _ : state) {
        ReadBudget budget;
        benchmark::DoNotOptimize(LoadGifAnimation(Animation(), budget));
    }
}
BENCHMARK(BM_ImportGif)->Unit(benchmark::kMillisecond);

// Whole programs from the file: zntool writing a ZN file, ImageMagick
// composing into nothing.
void BM_ZntoolConvert(benchmark::State& state) {
    const std::string out = AnimationFile() + ".zn";
    Run(state, std::string(ZNTOOL_PATH) + " convert " + AnimationFile() + " " + out + " --author Bench");
    std::filesystem::remove(out);
}
BENCHMARK(BM_ZntoolConvert)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ImageMagickCoalesce(benchmark::State& state) {
    Run(state, "convert " + AnimationFile() + " -coalesce null:");
}
BENCHMARK(BM_ImageMagickCoalesce)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    AnimationFile();  // built once, before any timing
    benchmark::RunSpecifiedBenchmarks();
    // GIF_BENCH_KEEP=1 leaves the file for measuring the programs by hand.
    if (std::getenv("GIF_BENCH_KEEP")) std::fprintf(stderr, "kept %s\n", AnimationFile().c_str());
    else std::filesystem::remove(AnimationFile());
    return 0;
}
