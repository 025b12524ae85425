// What a save costs: a file replaced through a temporary file, and a
// hard-linked one rewritten in place (locked, with its recovery copy),
// each flushed to the disk of the build folder; and a replacing save into
// a shared folder where another user planted leftovers under the names
// saves sweep.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "formats/SafeSave.h"

namespace {

namespace fs = std::filesystem;

fs::path MakeFolder(const char* name) {
    const fs::path folder = fs::current_path() / (name + std::to_string(::getpid()));
    fs::create_directory(folder);
    return folder;
}

void Save(benchmark::State& state, bool linked) {
    const fs::path folder = MakeFolder("save_bench_");
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

// A sticky folder anyone may write, as /tmp is, holding range(0) files
// named as killed saves name theirs, two hours old: another user's (the
// nobody user) when run as root, else the runner's own but young, so the
// save keeps them either way.
void BM_SaveBesidePlantedFiles(benchmark::State& state) {
    const fs::path folder = MakeFolder("save_bench_planted_");
    ::chmod(folder.c_str(), 01777);
    const int at = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool root = ::geteuid() == 0;
    const timespec old[2] = {{::time(nullptr) - 7200, 0}, {::time(nullptr) - 7200, 0}};
    for (int64_t i = 0; i < state.range(0); ++i) {
        std::string name = ".zintra-save-";
        for (int64_t n = i, digit = 0; digit < 6; ++digit, n /= 36) name += "0123456789abcdefghijklmnopqrstuvwxyz"[n % 36];
        ::close(::openat(at, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        if (root) {
            (void)::fchownat(at, name.c_str(), 65534, 65534, 0);
            ::utimensat(at, name.c_str(), old, 0);
        }
    }
    const std::string target = (folder / "target.zn").string();
    const std::vector<uint8_t> bytes(4 << 10, 0x5A);
    for (auto _ : state) WriteFileAtomically(target, bytes);
    ::close(at);
    fs::remove_all(folder);
}
BENCHMARK(BM_SaveBesidePlantedFiles)->Arg(0)->Arg(200000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
