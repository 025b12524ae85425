// Preloaded into the player by a test: every read of a file whose name ends
// in "slow.zn" first waits a minute, as a read from a stalled network share
// would, so the test can end the player while a read is under way. The
// file named by SLOW_READ_STARTED is made when such a read begins.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
    static ssize_t (*real_read)(int, void*, size_t);
    if (!real_read) real_read = reinterpret_cast<ssize_t (*)(int, void*, size_t)>(dlsym(RTLD_NEXT, "read"));
    char link[64], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path);
    if (length > 7 && std::memcmp(path + length - 7, "slow.zn", 7) == 0) {
        const char* started = std::getenv("SLOW_READ_STARTED");
        if (started) close(open(started, O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
        for (unsigned left = 60; left > 0;) left = sleep(left);  // a signal does not cut it short
    }
    return real_read(fd, buffer, size);
}
