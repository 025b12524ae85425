// What a save costs: a file replaced through a temporary file, and a
// hard-linked one rewritten in place (locked, with its recovery copy),
// each flushed to the disk of the build folder.
#include <benchmark/benchmark.h>
#include <filesystem>
#include <unistd.h>
#include <vector>

#include "formats/SafeSave.h"

namespace {

namespace fs = std::filesystem;

void Save(benchmark::State& state, bool linked) {
    const fs::path folder = fs::current_path() / ("save_bench_" + std::to_string(::getpid()));
    fs::create_directory(folder);
    const std::string target = (folder / "target.zn").string();
    const std::vector<uint8_t> bytes(size_t(state.range(0)), 0x5A);
    WriteFileAtomically(target, bytes);
    if (linked) fs::create_hard_link(target, folder / "other.zn");
    for (auto _ : state) WriteFileAtomically(target, bytes);
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
    fs::remove_all(folder);
}

void BM_SaveReplacing(benchmark::State& state) { Save(state, false); }
void BM_SaveInPlace(benchmark::State& state) { Save(state, true); }
BENCHMARK(BM_SaveReplacing)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveInPlace)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
