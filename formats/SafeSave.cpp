// A save replaces the file where it can: the new bytes reach the disk in a
// temporary file that is then renamed over the old one, so a failure or a
// crash leaves the old file or the whole new one. Two kinds of file cannot
// be replaced without loss and are rewritten in place: one with other hard
// links (a new file would take only one of its names) and a writable one in
// a folder that takes no new file.
#include "formats/SafeSave.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <vector>

#include "formats/Errors.h"
#include "formats/Fd.h"
#include "formats/TemporaryFile.h"

namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one path

std::string DirectoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

[[noreturn]] void FailCreate(const std::string& path) { throw EFCreateError(messages::CannotCreate(path)); }

[[noreturn]] void FailWrite(const std::string& path, int error) {
    throw EWriteError(std::string(std::strerror(error)) + ": " + path);
}

// The file a chain of symbolic links ends at, which need not exist yet; a
// relative link is read from the folder that holds it.
std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int links = 0; links <= kMaxLinks; ++links) {
        struct stat info{};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
        char text[PATH_MAX];
        const ssize_t n = ::readlink(current.c_str(), text, sizeof text);
        if (n <= 0 || size_t(n) >= sizeof text) FailCreate(path);
        const std::string link(text, size_t(n));
        current = link[0] == '/' ? link : DirectoryOf(current) + "/" + link;
    }
    FailCreate(path);
}

// Writes bytes at offset, leaving in done how many were written. Returns 0
// or the error.
int WriteAt(int fd, std::span<const uint8_t> bytes, off_t offset, size_t& done) {
    for (done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        done += size_t(n);
    }
    return 0;
}

int ReadAt(int fd, std::vector<uint8_t>& bytes) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;  // shortened by someone else
        done += size_t(n);
    }
    return 0;
}

// Rewrites the file itself, which keeps all its names and its owner. The
// new bytes are first shown to fit: written to the trial file where one
// could be made, or else compared with the free space. A crash part-way
// leaves a mix of old and new bytes; nothing can prevent that here.
void RewriteInPlace(const std::string& target, std::span<const uint8_t> bytes, TemporaryFile* trial,
                    const std::string& path) {
    Fd file{::open(target.c_str(), O_RDWR | O_CLOEXEC)};
    struct stat info{};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) FailCreate(path);
    std::vector<uint8_t> old(size_t(info.st_size));
    size_t done = 0;
    if (trial) {
        if (const int error = WriteAt(trial->fd(), bytes, 0, done)) FailWrite(path, error);
    } else {
        struct statvfs space{};
        const uint64_t growth = bytes.size() > old.size() ? bytes.size() - old.size() : 0;
        if (::fstatvfs(file.fd, &space) == 0 && growth > uint64_t(space.f_bavail) * space.f_frsize)
            FailWrite(path, ENOSPC);
    }
    if (const int error = ReadAt(file.fd, old)) FailWrite(path, error);

    bool shortened = false;
    int error = WriteAt(file.fd, bytes, 0, done);
    if (!error && bytes.size() < old.size()) {
        if (::ftruncate(file.fd, off_t(bytes.size())) == 0) shortened = true;
        else error = errno;
    }
    if (!error && ::fsync(file.fd) != 0) error = errno;
    if (error) {
        // Put back what was overwritten, from memory, before saying so.
        size_t restored = 0;
        WriteAt(file.fd, std::span(old).first(shortened ? old.size() : std::min(done, old.size())), 0, restored);
        (void)::ftruncate(file.fd, off_t(old.size()));
        ::fsync(file.fd);
        FailWrite(path, error);
    }
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    const std::string target = FollowLinks(path);
    // A folder, a device, or a file the user marked read-only is not
    // replaced: the rename below would succeed where writing it would not.
    struct stat existing{};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || (existing.st_mode & 0222) == 0 ||
                   ::access(target.c_str(), W_OK) != 0))
        FailCreate(path);

    Fd folder{::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd < 0) FailCreate(path);
    TemporaryFile temp(folder.fd);
    // Private until it has the old file's mode; a new file gets the umask's.
    const bool made = temp.Open(exists ? 0600 : 0666);
    const bool folderLocked = !made && (errno == EACCES || errno == EPERM);

    if (exists && (existing.st_nlink > 1 || folderLocked)) {
        RewriteInPlace(target, bytes, made ? &temp : nullptr, path);
    } else {
        if (!made) FailCreate(path);
        if (exists) {
            // Only root may hand the file back to its owner; anyone else
            // becomes its owner, as with any new file, and is not told.
            (void)::fchown(temp.fd(), existing.st_uid, existing.st_gid);
            if (::fchmod(temp.fd(), existing.st_mode & 07777) != 0) FailCreate(path);
        }
        size_t done = 0;
        if (const int error = WriteAt(temp.fd(), bytes, 0, done)) FailWrite(path, error);
        // The data must be on disk before the name points at it.
        if (::fsync(temp.fd()) != 0) FailWrite(path, errno);
        if (!temp.Replace(NameOf(target))) FailCreate(path);
        ::fsync(folder.fd);
    }
    RemoveStaleTemporaryFiles(folder.fd);
}
