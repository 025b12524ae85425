// What each GIF path costs per budget unit: every family of
// tests/builders/HostileGifs.h read as zntool reads it (each frame
// composed at its 16×16 frame's pixels and made a frame icon), or composed
// whole where the whole screen is the path, its CPU time divided by the
// units the read charged. A unit stands for at most 5 ns on the worst input
// of its path (docs/reliability.md). GIF_COST_WRITE=DIR also writes each
// file there, for measuring zntool on it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "builders/HostileGifs.h"
#include "core/PictureImport.h"
#include "formats/Errors.h"
#include "formats/GifImage.h"
#include "formats/ReadBudget.h"

namespace {

// How a file is read: imported as zntool does, or only composed, at the
// 16×16 frame's pixels or on the whole screen.
enum class Path { Import, Frame, Whole };

struct Family {
    const char* name;
    std::function<std::vector<uint8_t>()> make;
    Path path = Path::Import;
};

constexpr size_t kMiB = size_t(1) << 20;

// LZW data as costly per byte as it can be: noise (a code for about every
// index, the table cleared when full), or one index repeated (every code
// the longest string so far).
std::vector<uint8_t> CodesGif(int frames, int side, bool runs) {
    std::vector<uint8_t> indices(size_t(side) * size_t(side), 1);
    uint32_t state = 1;
    if (!runs)
        for (uint8_t& index : indices) index = uint8_t((state = state * 1664525u + 1013904223u) >> 24);
    test::GifBuilder builder(side, side, std::vector<Rgb>(256, Rgb{7, 7, 7}));
    const test::GifImage frame = test::Coded(side, side, test::GifCodes(8).pixels(indices).end().data());
    for (int i = 0; i < frames; ++i) builder.image(frame);
    return builder.bytes();
}

const std::vector<Family>& Families() {
    static const std::vector<Family> families{
        {"empty_extension_records", [] { return test::EmptyExtensionsGif(16 * kMiB); }},
        {"comment_of_one_byte_sub_blocks", [] { return test::OneByteCommentGif(16 * kMiB); }},
        {"data_in_one_byte_sub_blocks", [] { return test::OneByteDataBlocksGif(16 * kMiB); }},
        {"clear_codes", [] { return test::ClearCodeGif(8 * kMiB); }},
        {"lzw_noise", [] { return CodesGif(16, 1024, false); }},
        {"lzw_runs", [] { return CodesGif(64, 1024, true); }},
        {"tall_frames", [] { return test::TallFramesGif(64, 65535); }},
        {"tall_frames_interlaced", [] { return test::TallFramesGif(64, 65535, true); }},
        {"tiny_frames_on_the_largest_screen", [] { return test::TinyFramesGif(kMaxGifFrames); }},
        {"tiny_frames_composed", [] { return test::TinyFramesGif(kMaxGifFrames); }, Path::Frame},
        {"restore_previous_chain", [] { return test::RestoringGif(kMaxGifFrames, 90); }},
        {"restore_previous_chain_whole_screen", [] { return test::RestoringGif(64, 2048); }, Path::Whole},
        {"written_1920x1080_200_small_frames", [] { return test::WrittenGif(1920, 1080, 200, 64, 64, true); }},
        {"written_1920x1080_40_full_frames", [] { return test::WrittenGif(1920, 1080, 40, 1920, 1080, false); }},
        {"written_32767_small_frames", [] { return test::WrittenGif(64, 64, kMaxGifFrames, 16, 16, true); }},
    };
    return families;
}

void Measure(benchmark::State& state, const Family& family) {
    const std::vector<uint8_t> gif = family.make();
    if (const char* dir = std::getenv("GIF_COST_WRITE"))
        std::ofstream(std::filesystem::path(dir) / (std::string(family.name) + ".gif"), std::ios::binary)
            .write(reinterpret_cast<const char*>(gif.data()), std::streamsize(gif.size()));
    uint64_t units = 0;
    for (auto _ : state) {
        // A ceiling never reached, so that the whole file is read.
        ReadBudget budget(uint64_t(1) << 62, uint64_t(1) << 40);
        try {
            if (family.path == Path::Import) {
                benchmark::DoNotOptimize(LoadGifAnimation(gif, budget));
            } else {
                ImageTarget target(family.path == Path::Whole ? ImageTarget::Size::Stored : ImageTarget::Size::Frame);
                ComposeGif(gif, target, budget,
                           [](const IconImage& image, int) { benchmark::DoNotOptimize(image.pixels.data()); });
            }
        } catch (const EZintraError& error) {
            state.SkipWithError(error.reason().c_str());
            return;
        }
        units = budget.spent();
    }
    state.counters["MiB"] = double(gif.size()) / double(kMiB);
    state.counters["Munits"] = double(units) / 1e6;
    state.counters["units_per_byte"] = double(units) / double(gif.size());
    // CPU time per unit charged.
    state.counters["per_unit"] = benchmark::Counter(double(units), benchmark::Counter::kIsIterationInvariantRate |
                                                                       benchmark::Counter::kInvert);
}

}  // namespace

[[maybe_unused]] const bool kRegistered = [] {
    for (const Family& family : Families())
        benchmark::RegisterBenchmark((std::string("gif/") + family.name).c_str(), [&family](benchmark::State& state) { Measure(state, family); })
            ->Unit(benchmark::kMillisecond);
    return true;
}();
