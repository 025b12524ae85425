// What reading an animated cursor costs per unit it charges, on the chunks
// that make each price count most: chunk walks of every kind that does
// work for the frame list, records listed, and the file's bytes.
#include <cstdint>
#include <vector>

#include "Cost.h"
#include "builders/HostileFiles.h"
#include "builders/RiffBuilder.h"
#include "formats/AnimatedCursor.h"

namespace {

using test::Bytes;
using test::Chunk;

constexpr size_t kChunks = 1'000'000;

// A header of 2^31 − 1 frames, then kChunks copies of chunk, then one image.
Bytes Repeated(const Bytes& chunk) { return test::Flooded(chunk, kChunks); }
Bytes SequenceChunks() { return Repeated(Chunk("seq ", test::Words({1 << 30}))); }
Bytes EmptyChunks() { return Repeated(Chunk("junk", {})); }
// Headers of alternating frame counts: each a run of its own.
Bytes HeaderChunks() {
    Bytes file = test::Riff("ACON", {});
    for (size_t i = 0; i < kChunks / 2; ++i)
        for (int32_t frames : {3, 5}) {
            const Bytes header = test::HeaderChunk({.frames = frames});
            file.insert(file.end(), header.begin(), header.end());
        }
    return file;
}
// Images of 6 bytes, each a record to bind and list.
Bytes TinyImages() {
    const Bytes icon = Chunk("icon", {0, 0, 1, 0, 0, 0});
    Bytes fram = test::Text("fram");
    for (int i = 0; i < 200'000; ++i) fram.insert(fram.end(), icon.begin(), icon.end());
    return test::Riff("ACON", {test::HeaderChunk({.frames = 1}), Chunk("LIST", fram)});
}
Bytes RateChunk() { return test::RateFlood(); }
Bytes Texts() {
    std::vector<Bytes> names(200'000, Chunk("INAM", Bytes(255, 'a')));
    return test::Riff("ACON", {test::List("INFO", names), test::HeaderChunk({}),
                               test::List("fram", {Chunk("icon", EncodeFrameIcon(test::SampleFrame()))})});
}

template <Bytes (*Build)()>
void BM_ReadCursor(benchmark::State& state) {
    const Bytes& file = cost::Once<Build>();
    cost::Measure(state, [&](ReadBudget& budget) { TAnimatedCursorImage().ReadCursorBytes(file, budget); });
    state.counters["file_bytes"] = double(file.size());
}
BENCHMARK(BM_ReadCursor<SequenceChunks>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCursor<EmptyChunks>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCursor<HeaderChunks>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCursor<TinyImages>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCursor<RateChunk>)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadCursor<Texts>)->Unit(benchmark::kMillisecond);

}  // namespace
