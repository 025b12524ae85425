#include "formats/FileBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/Errors.h"
#include "formats/Fd.h"

std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t maxBytes) {
    // Opening a pipe without O_NONBLOCK waits for a writer; with it, the
    // open returns at once and fstat tells what the file is.
    Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat info{};
    if (!file.valid() || ::fstat(file.get(), &info) != 0)
        throw EFOpenError(messages::CannotOpen(path), std::strerror(errno));
    if (S_ISDIR(info.st_mode)) throw EFOpenError(messages::CannotOpen(path), std::strerror(EISDIR));
    if (!S_ISREG(info.st_mode)) throw EFOpenError(messages::CannotOpen(path), "not a regular file");
    const auto tooLarge = [&] { return "the file holds more than " + std::to_string(maxBytes) + " bytes"; };
    if (uint64_t(info.st_size) > maxBytes) throw EReadError(messages::kStreamRead, tooLarge());

    // Read straight into the result; one byte more than the size tells a
    // file that grew since fstat.
    std::vector<uint8_t> bytes(size_t(info.st_size) + 1);
    size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (bytes.size() > maxBytes) throw EReadError(messages::kStreamRead, tooLarge());
            bytes.resize(std::min(maxBytes + 1, 2 * bytes.size()));
        }
        const ssize_t n = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw EReadError(messages::kStreamRead, std::strerror(errno));
        if (n == 0) break;
        filled += size_t(n);
    }
    if (filled > maxBytes) throw EReadError(messages::kStreamRead, tooLarge());
    bytes.resize(filled);
    return bytes;
}
