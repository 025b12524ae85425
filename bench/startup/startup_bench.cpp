// CPU time a program spends from its start until its first window is mapped
// on the X server named by DISPLAY, for the editor and for a bare Qt window.
// Each iteration starts the program, waits for the server's MapNotify, kills
// the program at once and takes the CPU time of all its threads as it ends.
// Run it under a server with no window manager, e.g.
//   xvfb-run -a build/bench/startup/startup_bench
#include <benchmark/benchmark.h>

#include <xcb/xcb.h>

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

// Starts program, returns its CPU seconds at the mapping of its window, or a
// negative number when it exits or no server answers.
double CpuToMapped(const char* program) {
    xcb_connection_t* x = Server();
    if (!x) return -1;
    // The program runs at the normal policy, below this one's (see Watch).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSCHEDULER);
    posix_spawnattr_setschedpolicy(&attributes, SCHED_OTHER);
    const sched_param normal{};
    posix_spawnattr_setschedparam(&attributes, &normal);
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0) return -1;
    bool mapped = false;
    // Up to 30 s, for a loaded machine; a program that exits stops the wait.
    for (int waits = 0; !mapped && waits < 300 && waitpid(pid, nullptr, WNOHANG) == 0; ++waits) {
        pollfd server{xcb_get_file_descriptor(x), POLLIN, 0};
        poll(&server, 1, 100);
        while (xcb_generic_event_t* event = xcb_poll_for_event(x)) {
            mapped = mapped || (event->response_type & 0x7f) == XCB_MAP_NOTIFY;
            free(event);
        }
    }
    // Stopped at once; what it spent is its resource usage as it ends.
    kill(pid, SIGKILL);
    rusage usage{};
    if (wait4(pid, nullptr, 0, &usage) != pid || !mapped) return -1;
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// The program is stopped the moment the server reports the mapping; on a
// busy machine that moment would slip, and the program's work after mapping
// would be counted. Real-time priority, where allowed, wakes this process
// at once.
void Watch() {
    const sched_param realtime{sched_get_priority_min(SCHED_FIFO)};
    sched_setscheduler(0, SCHED_FIFO, &realtime);
}

void BM_CpuToMapped(benchmark::State& state, const char* program) {
    Watch();
    // Same conditions for both: the xcb platform, no theme, no scaling.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("QT_QPA_PLATFORMTHEME");
    unsetenv("QT_SCALE_FACTOR");
    for (auto _ : state) {
        const double seconds = CpuToMapped(program);
        if (seconds < 0) {
            state.SkipWithError("no X server, or the program exited before mapping a window");
            break;
        }
        state.SetIterationTime(seconds);
    }
}

BENCHMARK_CAPTURE(BM_CpuToMapped, bare_window, ZINTRA_BARE_WINDOW)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK_CAPTURE(BM_CpuToMapped, editor, ZINTRA_EDITOR)
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

}  // namespace
