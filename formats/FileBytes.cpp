#include "formats/FileBytes.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/Errors.h"
#include "formats/Fd.h"

std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t maxBytes) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat info{};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || S_ISDIR(info.st_mode))
        throw EFOpenError(messages::CannotOpen(path));
    if (S_ISREG(info.st_mode) && uint64_t(info.st_size) > maxBytes)
        throw EReadError(messages::kStreamRead);

    std::vector<uint8_t> bytes;
    if (S_ISREG(info.st_mode)) bytes.reserve(size_t(info.st_size));
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EReadError(messages::kStreamRead);
        if (n == 0) break;
        if (size_t(n) > maxBytes - bytes.size()) throw EReadError(messages::kStreamRead);
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}
