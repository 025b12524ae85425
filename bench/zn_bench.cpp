// ZN files and frame icons against zlib alone on the same payloads.
#include <benchmark/benchmark.h>
#include <random>
#include <zlib.h>

#include "builders/IconBuilder.h"
#include "core/Document.h"
#include "core/DocumentFile.h"
#include "formats/ZNFile.h"

namespace {

IconImage RandomFrame(std::mt19937& random) {
    std::uniform_int_distribution<int> colour(0, 16);  // 16: transparent
    return test::MakeImage(16, 16, [&](int, int) {
        const int c = colour(random);
        return c == 16 ? test::Clear() : test::Opaque(kStandardColours[size_t(c)]);
    });
}

TDocument Animation(int frames) {
    std::mt19937 random(frames);
    TDocument d;
    d.title = "Benchmark";
    d.authorName = "Zintra";
    d.categoryIndex = 5;
    d.CommitFrame(1, TFrameIcon::Built(RandomFrame(random)), 10);
    for (int i = 1; i < frames; ++i) d.AppendFrame(TFrameIcon::Built(RandomFrame(random)), 10 + i % 50);
    return d;
}

void FrameCounts(benchmark::internal::Benchmark* b) {
    for (int n : {1, 100, 1000, 32767}) b->Arg(n);
    b->Unit(benchmark::kMicrosecond);
}

void BM_WriteZN(benchmark::State& state) {
    const TDocument d = Animation(int(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(EncodeZNFile(d));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WriteZN)->Apply(FrameCounts)->Complexity(benchmark::oN);

void BM_ZlibCompressLevel9(benchmark::State& state) {
    const std::vector<uint8_t> payload = ZNPayload(Animation(int(state.range(0))));
    std::vector<uint8_t> out(compressBound(uLong(payload.size())));
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        compress2(out.data(), &size, payload.data(), uLong(payload.size()), 9);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ZlibCompressLevel9)->Apply(FrameCounts);

void BM_ReadZN(benchmark::State& state) {
    const std::vector<uint8_t> file = EncodeZNFile(Animation(int(state.range(0))));
    for (auto _ : state) {
        TZNFile reader;
        reader.ReadBytes(file);
        for (int i = 0; i < reader.FrameCount(); ++i) benchmark::DoNotOptimize(reader.Icon(i).image());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReadZN)->Apply(FrameCounts)->Complexity(benchmark::oN);

void BM_ZlibInflate(benchmark::State& state) {
    const TDocument d = Animation(int(state.range(0)));
    const std::vector<uint8_t> file = EncodeZNFile(d);
    std::vector<uint8_t> out(ZNPayload(d).size());
    for (auto _ : state) {
        uLongf size = uLongf(out.size());
        uncompress(out.data(), &size, file.data(), uLong(file.size()));
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_ZlibInflate)->Apply(FrameCounts);

void BM_EncodeFrameIcon(benchmark::State& state) {
    std::mt19937 random(1);
    const IconImage frame = RandomFrame(random);
    for (auto _ : state) benchmark::DoNotOptimize(EncodeFrameIcon(frame));
}
BENCHMARK(BM_EncodeFrameIcon);

void BM_DecodeFrameIcon(benchmark::State& state) {
    std::mt19937 random(1);
    const std::vector<uint8_t> bytes = EncodeFrameIcon(RandomFrame(random));
    for (auto _ : state) benchmark::DoNotOptimize(DecodeFrameIcon(bytes));
}
BENCHMARK(BM_DecodeFrameIcon);

}  // namespace
