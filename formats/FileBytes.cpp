#include "formats/FileBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/Errors.h"
#include "formats/Fd.h"

std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t maxBytes) {
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info{};
    if (!file.valid() || ::fstat(file.get(), &info) != 0)
        throw EFOpenError(messages::CannotOpen(path), std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw EFOpenError(messages::CannotOpen(path), std::strerror(EISDIR));
    const auto tooLarge = [&] { return "the file holds more than " + std::to_string(maxBytes) + " bytes"; };
    if (S_ISREG(info.st_mode) && uint64_t(info.st_size) > maxBytes) throw EReadError(messages::kStreamRead, tooLarge());

    std::vector<uint8_t> bytes;
    if (S_ISREG(info.st_mode)) bytes.reserve(size_t(info.st_size));
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EReadError(messages::kStreamRead, std::strerror(errno));
        if (n == 0) break;
        if (size_t(n) > maxBytes - bytes.size()) throw EReadError(messages::kStreamRead, tooLarge());
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}
