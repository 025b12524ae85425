// What the import's charge points cost against what they charge: each case
// is the slowest input found for its step, and reports ns per unit. A unit
// stands for at most 5 ns, so every ns_per_unit here must stay below 5.
//
// Each case runs over many inputs in turn (about 64 MiB in all), so that
// what is read comes from memory rather than from a cache, as a large file's
// frames do.
#include <benchmark/benchmark.h>
#include <random>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/AnimationLoader.h"
#include "core/Conversion.h"
#include "formats/ImageTarget.h"

namespace {

using Icons = std::vector<std::vector<uint8_t>>;

// Copies of one icon, enough of them that they do not fit in any cache.
Icons Copies(const std::vector<uint8_t>& icon) {
    const size_t n = std::max<size_t>(4, (size_t(64) << 20) / icon.size());
    return Icons(std::min<size_t>(n, 4096), icon);
}

void Report(benchmark::State& state, uint64_t units) {
    state.counters["units"] = double(units) / double(state.iterations());
    state.counters["ns_per_unit"] = benchmark::Counter(double(units) * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Decoding into a target, whole or sampled, as the import and the loaders do.
void BM_BitmapCost(benchmark::State& state, Icons (*build)(), ImageTarget::Size size) {
    const Icons icons = build();
    uint64_t units = 0;
    size_t next = 0;
    for (auto _ : state) {
        ReadBudget budget;
        ImageTarget target(size);
        DecodeFrameIcon(icons[next++ % icons.size()], target, budget);
        benchmark::DoNotOptimize(target.take());
        units += budget.spent();
    }
    Report(state, units);
}

IconImage Noise(int side, int bpp) {
    std::mt19937 random(uint32_t(side * 100 + bpp));
    std::uniform_int_distribution<int> byte(0, 255);
    return test::MakeImage(side, side, [&](int, int) {
        const Rgb c = bpp <= 8 ? kStandardColours[size_t(byte(random)) % 16] : Rgb{uint8_t(byte(random)), uint8_t(byte(random)), uint8_t(byte(random))};
        return byte(random) % 7 == 0 ? test::Clear() : test::Opaque(c);
    });
}
template <int Side, int Bpp>
Icons Bitmap() {
    return Copies(test::BuildIcon(Noise(Side, Bpp), Bpp));
}
// 32 bits with every alpha byte zero: the alpha channel is scanned to its end.
template <int Side>
Icons NoAlpha() {
    std::vector<uint8_t> icon = test::BuildIcon(Noise(Side, 32), 32);
    const size_t colours = 22 + 40;
    for (size_t at = colours + 3; at < colours + size_t(Side) * Side * 4; at += 4) icon[at] = 0;
    return Copies(icon);
}
// A header announcing 256×256 at 1 bit with nothing after it: every row is
// padded from nothing.
Icons Hollow() {
    std::vector<uint8_t> icon = test::BuildIcon(Noise(256, 1), 1);
    icon.resize(22 + 40 + 8);
    return Copies(icon);
}

constexpr auto kWhole = ImageTarget::Size::Stored;
constexpr auto kFrame = ImageTarget::Size::Frame;
BENCHMARK_CAPTURE(BM_BitmapCost, whole_256_1bit, Bitmap<256, 1>, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, whole_256_4bit, Bitmap<256, 4>, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, whole_256_8bit, Bitmap<256, 8>, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, whole_256_16bit, Bitmap<256, 16>, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, whole_256_24bit, Bitmap<256, 24>, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, whole_256_32bit_no_alpha, NoAlpha<256>, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, whole_16_4bit, Bitmap<16, 4>, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, whole_hollow_256_1bit, Hollow, kWhole);
BENCHMARK_CAPTURE(BM_BitmapCost, sample_256_1bit, Bitmap<256, 1>, kFrame);
BENCHMARK_CAPTURE(BM_BitmapCost, sample_256_8bit, Bitmap<256, 8>, kFrame);
BENCHMARK_CAPTURE(BM_BitmapCost, sample_256_16bit, Bitmap<256, 16>, kFrame);
BENCHMARK_CAPTURE(BM_BitmapCost, sample_256_24bit, Bitmap<256, 24>, kFrame);
BENCHMARK_CAPTURE(BM_BitmapCost, sample_256_32bit_no_alpha, NoAlpha<256>, kFrame);
BENCHMARK_CAPTURE(BM_BitmapCost, sample_17_8bit, Bitmap<17, 8>, kFrame);
BENCHMARK_CAPTURE(BM_BitmapCost, sample_hollow_256_1bit, Hollow, kFrame);

// Whole opens, whose units include de-duplication: every frame distinct and
// stored as PNG (hashed, never found), every frame the same PNG (hashed and
// compared), and cursors whose records all show one image (identity).
void BM_OpenCost(benchmark::State& state, std::vector<uint8_t> (*build)(), bool cursor) {
    const std::vector<uint8_t> file = build();
    uint64_t units = 0;
    for (auto _ : state) {
        ReadBudget budget;
        benchmark::DoNotOptimize(cursor ? LoadCursorAnimation(file, budget) : LoadZNAnimation(file, budget));
        units += budget.spent();
    }
    Report(state, units);
}

std::vector<uint8_t> PngFrame(int side, int seed) {
    return test::BuildIcon({test::PngEntry(test::MakeImage(side, side, [&](int x, int y) {
        return (x * 7 + y * 3 + seed) % 11 ? test::Opaque(kStandardColours[size_t(x ^ y ^ seed) % 16]) : test::Clear();
    }))});
}
std::vector<uint8_t> ZNOf(const std::vector<std::vector<uint8_t>>& icons) {
    test::ZNBuilder zn;
    zn.currentHeader(int32_t(icons.size()));
    for (const auto& icon : icons) zn.frame(10, icon);
    return zn.compressed();
}
std::vector<uint8_t> DistinctPngFrames() {
    std::vector<std::vector<uint8_t>> icons;
    for (int i = 0; i < 2000; ++i) icons.push_back(PngFrame(16, i));
    return ZNOf(icons);
}
std::vector<uint8_t> SamePngFrames() { return ZNOf(std::vector<std::vector<uint8_t>>(kMaxFrames, PngFrame(64, 1))); }
std::vector<uint8_t> WrittenFrames() {
    std::vector<std::vector<uint8_t>> icons;
    for (int i = 0; i < kMaxFrames; ++i) icons.push_back(EncodeFrameIcon(Noise(16, 4)));
    return ZNOf(icons);
}
std::vector<uint8_t> OneImageCursor() {
    const std::vector<uint8_t> icon = test::BuildIcon(Noise(32, 32), 32);
    // Each "seq " chunk renumbers one record: all of them show image 0.
    std::vector<test::Bytes> chunks{test::HeaderChunk({.frames = kMaxFrames, .steps = kMaxFrames})};
    for (int i = 0; i < kMaxFrames; ++i) chunks.push_back(test::Chunk("seq ", test::Words({0})));
    chunks.push_back(test::List("fram", {test::Chunk("icon", icon)}));
    return test::Riff("ACON", chunks);
}
BENCHMARK_CAPTURE(BM_OpenCost, zn_2000_distinct_png, DistinctPngFrames, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenCost, zn_32767_same_png, SamePngFrames, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenCost, zn_32767_written, WrittenFrames, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenCost, ani_32767_records_one_image, OneImageCursor, true)->Unit(benchmark::kMillisecond);

}  // namespace
