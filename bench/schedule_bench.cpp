// What the tray player's schedule costs: one tick (which frame is due and
// when the next change falls), switching to an animation, and an hour of
// playback with a fake clock.
#include <benchmark/benchmark.h>

#include <vector>

#include "core/PlaybackSchedule.h"

namespace {

using namespace std::chrono_literals;

std::vector<int32_t> MixedRates(int64_t frames) {
    std::vector<int32_t> rates;
    for (int64_t i = 0; i < frames; ++i) rates.push_back(int32_t(1 + i * 7 % 60));
    return rates;
}

void BM_Tick(benchmark::State& state) {
    PlaybackSchedule schedule;
    schedule.start(MixedRates(state.range(0)), 0ns);
    PlaybackSchedule::Time now = 0ns;
    for (auto _ : state) {
        benchmark::DoNotOptimize(schedule.frameAt(now));
        now = schedule.nextChange(now).value_or(now) + 1ms;
    }
}
BENCHMARK(BM_Tick)->Arg(3)->Arg(32767);

void BM_Switch(benchmark::State& state) {
    const std::vector<int32_t> rates = MixedRates(state.range(0));
    PlaybackSchedule schedule;
    for (auto _ : state) {
        schedule.start(rates, 0ns);
        benchmark::DoNotOptimize(schedule.loopLength());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_Switch)->Arg(3)->Arg(1024)->Arg(32767)->Complexity(benchmark::oN);

// Every change of an hour at 60 frames a second (216000 ticks).
void BM_HourAt60(benchmark::State& state) {
    PlaybackSchedule schedule;
    schedule.start(std::vector<int32_t>(8, 1), 0ns);
    for (auto _ : state) {
        int64_t ticks = 0;
        for (PlaybackSchedule::Time now = 0ns; now < 1h; now = *schedule.nextChange(now)) {
            benchmark::DoNotOptimize(schedule.frameAt(now));
            ++ticks;
        }
        benchmark::DoNotOptimize(ticks);
    }
}
BENCHMARK(BM_HourAt60)->Unit(benchmark::kMillisecond);

}  // namespace
