#pragma once
// Keeps the fastest repetition of each benchmark (CPU time per iteration,
// the figure least disturbed by other work on a shared machine) and shows
// one short line per repetition on standard error, so standard output is
// left for results. Shared with the Qt 5 program.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

class FastestRunReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
            const double ns = run.cpu_accumulated_time / double(run.iterations) * 1e9;
            const std::string& name = run.run_name.function_name;
            std::fprintf(stderr, "  %-32s %12.0f ns  (%lld iterations)\n", name.c_str(), ns,
                         static_cast<long long>(run.iterations));
            auto [at, added] = m_fastest.try_emplace(name, ns);
            if (!added) at->second = std::min(at->second, ns);
        }
    }
    // Benchmark name → nanoseconds per iteration.
    const std::map<std::string, double>& fastest() const { return m_fastest; }

private:
    std::map<std::string, double> m_fastest;
};
