// A thumbnail per process, as file managers make them: zntool thumbnail on
// a ZN file against gdk-pixbuf-thumbnailer on its first frame as a PNG,
// both asked for the 128-pixel size into a file that does not exist yet.
// Wall time is what the user waits for; the children's CPU time is a counter.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builders/IconBuilder.h"
#include "core/DocumentFile.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The files of one run, removed when it ends.
struct TemporaryFolder {
    fs::path path = fs::temp_directory_path() / ("thumbnail_bench_" + std::to_string(::getpid()));
    TemporaryFolder() { fs::create_directories(path); }
    ~TemporaryFolder() { fs::remove_all(path); }
};

const fs::path& Folder() {
    static const TemporaryFolder folder;
    return folder.path;
}

// Runs the program, searched on PATH, with its output thrown away; its
// exit status, or -1.
int Spawn(std::vector<std::string> words) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A 24-frame loop in standard colours, saved compressed as the editor does.
const std::string& Animation() {
    static const std::string path = [] {
        TDocument d;
        d.ClearDocument();
        for (int f = 0; f < 24; ++f)
            d.AppendFrame(TFrameIcon::Built(test::MakeImage(16, 16, [f](int x, int y) {
                              return (x + y + f) % 5 == 0 ? test::Clear() : test::Opaque(kStandardColours[size_t((x ^ y) + f) % 16]);
                          })),
                          6);
        const std::string zn = (Folder() / "walk.zn").string();
        WriteZNFile(zn, d);
        return zn;
    }();
    return path;
}

// The same first frame as a 16×16 PNG, made by the thumbnailer itself.
const std::string& FirstFrame() {
    static const std::string path = [] {
        const std::string png = (Folder() / "walk.png").string();
        Spawn({ZNTOOL_PATH, "thumbnail", Animation(), png, "--size", "16"});
        return png;
    }();
    return path;
}

double ChildrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Run(benchmark::State& state, const std::vector<std::string>& words, const fs::path& output) {
    const double cpuBefore = ChildrenCpuSeconds();
    for (auto _ : state) {
        if (Spawn(words) != 0) state.SkipWithError("the thumbnailer failed");
        state.PauseTiming();
        fs::remove(output);
        state.ResumeTiming();
    }
    state.counters["child_cpu_ms"] =
        benchmark::Counter((ChildrenCpuSeconds() - cpuBefore) * 1e3 / double(state.iterations()));
}

void BM_ZntoolThumbnail(benchmark::State& state) {
    const fs::path out = Folder() / "zntool.png";
    Run(state, {ZNTOOL_PATH, "thumbnail", Animation(), out.string(), "--size", "128"}, out);
}
BENCHMARK(BM_ZntoolThumbnail)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GdkPixbufThumbnailer(benchmark::State& state) {
    const fs::path out = Folder() / "gdk-pixbuf.png";
    Run(state, {"gdk-pixbuf-thumbnailer", "-s", "128", FirstFrame(), out.string()}, out);
}
BENCHMARK(BM_GdkPixbufThumbnailer)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
