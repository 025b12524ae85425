// Importing animated cursors the way Open does: read the cursor, turn every
// stored image into a reduced 16×16 frame and append it to a document.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <unistd.h>

#include "builders/HostileFiles.h"
#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "core/AnimationLoader.h"
#include "core/Document.h"
#include "formats/AnimatedCursor.h"
#include "formats/Errors.h"
#include "formats/ZNFile.h"

namespace {

// 32-bit images with every kind of alpha, so decoding and blending both work.
std::vector<uint8_t> TrueColourIcon(int size, std::mt19937& random) {
    std::uniform_int_distribution<int> byte(0, 255);
    const IconImage image = test::MakeImage(size, size, [&](int, int) {
        const int a = byte(random);
        return Rgba{uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random)),
                    uint8_t(a < 64 ? 0 : a > 192 ? 255 : a)};
    });
    return test::BuildIcon(std::vector<test::IconEntry>{{image, 32, -1, {}}});
}

test::Bytes Cursor(int frames, int size) {
    std::mt19937 random(uint32_t(frames * 1000 + size));
    std::vector<test::Bytes> icons;
    for (int i = 0; i < frames; ++i) icons.push_back(TrueColourIcon(size, random));
    return test::SampleCursor(icons);
}

// What Open does with a cursor's bytes: read it, import every frame.
TDocument Import(const test::Bytes& file) {
    ReadBudget budget;
    return LoadCursorAnimation(file, budget);
}

void Shapes(benchmark::internal::Benchmark* b) {
    // frames, width and height of each stored image
    for (auto [frames, size] : {std::pair{64, 32}, {16, 16}, {16, 32}, {16, 64}, {16, 128}, {16, 256}})
        b->Args({frames, size});
    b->Unit(benchmark::kMillisecond);
}

void SetPixels(benchmark::State& state) {
    state.SetComplexityN(state.range(0) * state.range(1) * state.range(1));
}

void BM_ImportCursor(benchmark::State& state) {
    const test::Bytes file = Cursor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) benchmark::DoNotOptimize(Import(file));
    SetPixels(state);
}
BENCHMARK(BM_ImportCursor)->Apply(Shapes)->Complexity(benchmark::oN);

// The same from a file on disk, as the Open command reads it.
void BM_ImportCursorFile(benchmark::State& state) {
    const test::Bytes file = Cursor(int(state.range(0)), int(state.range(1)));
    const auto path = std::filesystem::temp_directory_path() / ("import_bench_" + std::to_string(::getpid()) + ".ani");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    for (auto _ : state) {
        ReadBudget budget;
        benchmark::DoNotOptimize(LoadAnimation(path.string(), budget));
    }
    std::filesystem::remove(path);
    SetPixels(state);
}
BENCHMARK(BM_ImportCursorFile)->Apply(Shapes)->Complexity(benchmark::oN);

// Reading alone: the walk and one copy of each image.
void BM_ReadCursor(benchmark::State& state) {
    const test::Bytes file = Cursor(int(state.range(0)), int(state.range(1)));
    for (auto _ : state) {
        TAnimatedCursorImage reader;
        ReadBudget budget; reader.ReadCursorBytes(file, budget);
        benchmark::DoNotOptimize(reader.FrameCount());
    }
    SetPixels(state);
}
BENCHMARK(BM_ReadCursor)->Apply(Shapes)->Complexity(benchmark::oN);

// A header announcing two billion frames costs no more than the images it holds.
void BM_ReadCursorHugeFrameCount(benchmark::State& state) {
    std::mt19937 random(7);
    const test::Bytes file = test::Riff("ACON", {test::HeaderChunk({.frames = 2'000'000'000}),
                                                 test::List("fram", {test::Chunk("icon", TrueColourIcon(32, random)),
                                                                     test::Chunk("icon", TrueColourIcon(32, random))})});
    for (auto _ : state) {
        TAnimatedCursorImage reader;
        ReadBudget budget; reader.ReadCursorBytes(file, budget);
        benchmark::DoNotOptimize(reader.FrameCount());
    }
}
BENCHMARK(BM_ReadCursorHugeFrameCount)->Unit(benchmark::kMicrosecond);

// The crafted cursors, opened from memory as Open does.
template <test::Bytes (*Build)()>
void BM_OpenHostileCursor(benchmark::State& state) {
    const test::Bytes file = Build();
    for (auto _ : state) {
        try {
            benchmark::DoNotOptimize(Import(file));
        } catch (const EZintraError&) {
        }
    }
}
test::Bytes HollowCursor() { return test::HollowCursor(kMaxFrames); }
BENCHMARK(BM_OpenHostileCursor<HollowCursor>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenHostileCursor<test::RateFlood>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenHostileCursor<test::SequenceFlood>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenHostileCursor<test::HeaderFlood>)->Unit(benchmark::kMillisecond);

}  // namespace
