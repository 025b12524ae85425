#include "CacheFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "formats/Errors.h"
#include "formats/Fd.h"

void WriteCacheFile(const std::string& path, std::span<const uint8_t> bytes) {
    // Opening the existing file first keeps its inode: a thumbnail service
    // may have made the file and read it back through its own descriptor.
    Fd file{::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC)};
    const bool made = !file.valid() && errno == ENOENT;
    if (made) file.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.valid()) throw EFCreateError(messages::CannotCreate(path), std::strerror(errno));
    const auto fail = [&](int error) {
        if (made) ::unlink(path.c_str());
        throw EWriteError(std::string(std::strerror(error)) + ": " + path, std::strerror(error));
    };
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno);
        done += size_t(n);
    }
    // A network file system may report a failed write only here.
    if (::close(file.release()) != 0) fail(errno);
}
