#include "formats/FileBytes.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/Errors.h"

namespace {

// Closes a descriptor on every way out.
struct Fd {
    int fd = -1;
    ~Fd() { if (fd >= 0) ::close(fd); }
};

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void FailWrite(const std::string& path, int error) {
    throw EWriteError(std::string(std::strerror(error)) + ": " + path);
}

}  // namespace

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

void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    // A folder, or a file the user marked read-only, is not replaced: the
    // rename below would otherwise succeed where creating the file would not.
    struct stat existing{};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && (S_ISDIR(existing.st_mode) || (existing.st_mode & 0222) == 0 ||
                   ::access(path.c_str(), W_OK) != 0))
        throw EFCreateError(messages::CannotCreate(path));

    std::string temp = DirectoryOf(path) + "/." + NameOf(path) + ".XXXXXX";
    Fd file{::mkstemp(temp.data())};
    if (file.fd < 0) throw EFCreateError(messages::CannotCreate(path));

    auto fail = [&](int error, bool creating) {
        ::unlink(temp.c_str());
        if (creating) throw EFCreateError(messages::CannotCreate(path));
        FailWrite(path, error);
    };

    mode_t mode = 0666;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(file.fd, mode) != 0) fail(errno, true);

    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(file.fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno, false);
        written += size_t(n);
    }
    // The data must be on disk before the name points at it.
    if (::fsync(file.fd) != 0) fail(errno, false);
    const int fd = file.fd;
    file.fd = -1;
    if (::close(fd) != 0) fail(errno, false);
    if (::rename(temp.c_str(), path.c_str()) != 0) fail(errno, true);

    Fd folder{::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0) ::fsync(folder.fd);
}
