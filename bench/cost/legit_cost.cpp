// What the largest files real writers make cost against what they are
// charged: each must read well within the ceiling (units / ceiling), and
// the nanoseconds a unit takes here show how far a real file's charge is
// from its time.
#include <vector>

#include "Cost.h"
#include "builders/HostileFiles.h"
#include "core/AnimationLoader.h"
#include "formats/AnimatedCursor.h"
#include "formats/ImageTarget.h"

namespace {

using test::Bytes;

Bytes Cursor2000() { return test::LargeLibpngCursor(); }
Bytes Small24000() { return test::SmallLibpngFramesZN(24000); }
Bytes Large250() { return test::LargeLibpngFramesZN(); }

void BM_OpenLegit(benchmark::State& state, const Bytes& (*file)(), bool cursor) {
    const Bytes& bytes = file();
    cost::Measure(state, [&](ReadBudget& budget) {
        benchmark::DoNotOptimize(cursor ? LoadCursorAnimation(bytes, budget) : LoadZNAnimation(bytes, budget));
    });
    state.counters["of_ceiling"] = state.counters["units"] / double(ReadBudget::kCeiling);
}
// The reader's part of the cursor alone: its walk, and each frame sampled.
void BM_SampleCursorFrames(benchmark::State& state) {
    const Bytes& bytes = cost::Once<Cursor2000>();
    cost::Measure(state, [&](ReadBudget& budget) {
        TAnimatedCursorImage cursor;
        cursor.ReadCursorBytes(bytes, budget);
        for (int32_t i = 0; i < cursor.FrameCount(); ++i) {
            ImageTarget frame(ImageTarget::Size::Frame);
            cursor.FrameImage(i).decode(frame, budget);
            benchmark::DoNotOptimize(frame.image());
        }
    });
    state.counters["of_ceiling"] = state.counters["units"] / double(ReadBudget::kCeiling);
}
BENCHMARK(BM_SampleCursorFrames)->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_OpenLegit, cursor_2000_png_256, cost::Once<Cursor2000>, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenLegit, zn_24000_png_16, cost::Once<Small24000>, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OpenLegit, zn_250_png_256, cost::Once<Large250>, false)->Unit(benchmark::kMillisecond);

}  // namespace
