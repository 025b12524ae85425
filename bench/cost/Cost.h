#pragma once
// What a read path costs against what it charges. Each benchmark runs one
// path on the input that makes it slowest, on a fresh budget per run, and
// reports the units charged and the CPU nanoseconds each unit took: a unit
// stands for at most 5 ns (formats/ReadBudget.h), so no row may show more.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <ctime>
#include <functional>

#include "formats/Errors.h"
#include "formats/ReadBudget.h"

namespace cost {

inline double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Runs read on a budget of its own per iteration; a read the budget stops
// counts what it charged until then. Reports units and ns_per_unit.
inline void Measure(benchmark::State& state, const std::function<void(ReadBudget&)>& read) {
    uint64_t units = 0;
    double seconds = 0;
    for (auto _ : state) {
        ReadBudget budget;
        const double start = CpuSeconds();
        try {
            read(budget);
        } catch (const EZintraError&) {
        }
        seconds += CpuSeconds() - start;
        units += budget.spent();
    }
    state.counters["units"] = double(units) / double(state.iterations());
    state.counters["ns_per_unit"] = units ? seconds * 1e9 / double(units) : 0;
}

// Built on first use, so that other benchmarks do not wait for them.
template <auto Build>
const auto& Once() {
    static const auto value = Build();
    return value;
}

}  // namespace cost
