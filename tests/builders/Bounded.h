#pragma once
// Work run in a child process whose address space is capped, so that a
// reader that runs away fails there rather than on the machine; the child's
// peak resident memory and CPU time come back with what the work returned.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <new>
#include <string>

#include "formats/Errors.h"

namespace test {

// Under AddressSanitizer the address space cannot be capped and its own
// memory would count, so only the outcomes are checked there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct Bounded {
    std::string report;  // what work returned, or its error
    long peakMiB = 0;
    double cpuSeconds = 0;
};

inline Bounded RunBounded(const std::function<std::string()>& work) {
    int pipe[2];
    if (::pipe(pipe) != 0) return {"no pipe"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe[0]);
        const rlimit cap{rlim_t(1) << 30, rlim_t(1) << 30};
        if (!kSanitized) ::setrlimit(RLIMIT_AS, &cap);
        // A reader that runs away is stopped rather than waited for, and so
        // is one that waits (for a writer that never comes).
        const rlimit cpu{kSanitized ? 120u : 10u, kSanitized ? 120u : 10u};
        ::setrlimit(RLIMIT_CPU, &cpu);
        ::alarm(kSanitized ? 240u : 30u);
        std::string report;
        try {
            report = work();
        } catch (const EZintraError& e) {
            report = std::string("error: ") + e.what();
        } catch (const std::bad_alloc&) {
            report = "out of memory";
        }
        [[maybe_unused]] const auto written = ::write(pipe[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipe[1]);
    Bounded result;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) result.report.append(buffer, size_t(n));
    ::close(pipe[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status)) result.report += " (the child died)";
    result.peakMiB = usage.ru_maxrss / 1024;
    const auto seconds = [](timeval t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    result.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return result;
}

}  // namespace test
