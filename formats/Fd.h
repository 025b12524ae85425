#pragma once
// A file descriptor closed on every way out.
#include <unistd.h>

struct Fd {
    int fd = -1;
    ~Fd() { if (fd >= 0) ::close(fd); }
};
