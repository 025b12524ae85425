// Time a program takes from its start until its first window is mapped on
// the X server named by DISPLAY: wall time, and the CPU time of all its
// threads. Each iteration starts the program, waits for the server's
// MapNotify, kills the program at once and takes its CPU time as it ends.
// BM_EditorAgainstBare starts a bare Qt window and the editor in turn, so
// that both meet the same load, and reports the editor's wall and CPU time
// over the bare window's. Run it under a server with no window manager, e.g.
//   xvfb-run -a build/bench/startup/startup_bench
#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <poll.h>
#include <sched.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// One connection for the whole run: it also keeps the server from resetting
// between programs, as it does when its last client leaves.
xcb_connection_t* Server() {
    static xcb_connection_t* const connection = [] {
        xcb_connection_t* c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(c)) return static_cast<xcb_connection_t*>(nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c);
        return c;
    }();
    return connection;
}

struct Start {
    double wall = -1;  // seconds from the spawn to the MapNotify; negative when it failed
    double cpu = -1;
};

// Starts program and measures it until the mapping of its window.
Start ToMapped(const char* program) {
    xcb_connection_t* x = Server();
    if (!x) return {};
    // The program runs at the normal policy, below this one's (see Watch).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
    posix_spawnattr_setschedpolicy(&attributes, SCHED_OTHER);
    const sched_param normal{};
    posix_spawnattr_setschedparam(&attributes, &normal);
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = 0;
    const auto started = std::chrono::steady_clock::now();
    const int spawned = posix_spawn(&pid, program, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return {};
    bool mapped = false;
    auto mappedAt = started;
    // Up to 30 s, for a loaded machine; a program that exits stops the wait.
    for (int waits = 0; !mapped && waits < 300 && waitpid(pid, nullptr, WNOHANG) == 0; ++waits) {
        pollfd server{xcb_get_file_descriptor(x), POLLIN, 0};
        poll(&server, 1, 100);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            if (!mapped && (event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
                mapped = true;
                mappedAt = std::chrono::steady_clock::now();
            }
            free(event);
        }
    }
    // Stopped at once; what it spent is its resource usage as it ends.
    kill(pid, SIGKILL);
    rusage usage{};
    if (wait4(pid, nullptr, 0, &usage) != pid || !mapped) return {};
    return {std::chrono::duration<double>(mappedAt - started).count(),
            double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6};
}

// The program is stopped the moment the server reports the mapping; on a
// busy machine that moment would slip, and the program's work after mapping
// would be counted. Real-time priority, where allowed, wakes this process
// at once.
void Watch() {
    const sched_param realtime{sched_get_priority_min(SCHED_FIFO)};
    sched_setscheduler(0, SCHED_FIFO, &realtime);
}

// Same conditions for every program: the xcb platform, no theme, no scaling.
void Prepare() {
    Watch();
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("QT_QPA_PLATFORMTHEME");
    unsetenv("QT_SCALE_FACTOR");
}

// One program: the manual time is its wall time to mapped, "cpu" its CPU time.
void BM_ToMapped(benchmark::State& state, const char* program) {
    Prepare();
    double cpu = 0;
    for (auto _ : state) {
        const Start start = ToMapped(program);
        if (start.wall < 0) {
            state.SkipWithError("no X server, or the program exited before mapping a window");
            break;
        }
        state.SetIterationTime(start.wall);
        cpu += start.cpu;
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1e3, benchmark::Counter::kAvgIterations);
}

// The editor against a bare window started just before it, pair by pair:
// the ratios of their wall and CPU times, summed over the pairs.
void BM_EditorAgainstBare(benchmark::State& state) {
    Prepare();
    double bareWall = 0, bareCpu = 0, editorWall = 0, editorCpu = 0;
    for (auto _ : state) {
        const Start bare = ToMapped(ZINTRA_BARE_WINDOW);
        const Start editor = ToMapped(ZINTRA_EDITOR);
        if (bare.wall < 0 || editor.wall < 0) {
            state.SkipWithError("no X server, or a program exited before mapping a window");
            break;
        }
        state.SetIterationTime(editor.wall);
        bareWall += bare.wall, bareCpu += bare.cpu, editorWall += editor.wall, editorCpu += editor.cpu;
    }
    state.counters["bare_wall_ms"] = benchmark::Counter(bareWall * 1e3, benchmark::Counter::kAvgIterations);
    state.counters["wall_ratio"] = editorWall / bareWall;
    state.counters["cpu_ratio"] = editorCpu / bareCpu;
}

BENCHMARK_CAPTURE(BM_ToMapped, bare_window, ZINTRA_BARE_WINDOW)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(BM_ToMapped, editor, ZINTRA_EDITOR)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(BM_EditorAgainstBare)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20)
    ->ComputeStatistics("min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); })
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); });

}  // namespace
