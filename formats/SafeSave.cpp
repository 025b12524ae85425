// A save replaces the file where it can: the new bytes reach the disk in a
// temporary file that is then renamed over the old one, so a failure or a
// crash leaves the old file or the whole new one. Two kinds of file cannot
// be replaced without loss and are rewritten in place: one with other hard
// links (a new file would take only one of its names) and a writable one in
// a folder that takes no new file. Every step names the file relative to
// its open folder, so a path as long as the system allows loses nothing.
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
#include "formats/FilePath.h"
#include "formats/TemporaryFile.h"

namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one path
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr const char* kNotRegular = "not a regular file";

// A file named by its entry in an open folder.
struct Place {
    Fd folder;
    std::string name;
};

[[noreturn]] void FailCreate(const std::string& path, const std::string& cause) {
    throw EFCreateError(messages::CannotCreate(path), cause);
}
[[noreturn]] void FailCreate(const std::string& path, int error) { FailCreate(path, std::strerror(error)); }

[[noreturn]] void FailWrite(const std::string& path, int error) {
    throw EWriteError(std::string(std::strerror(error)) + ": " + path, std::strerror(error));
}

// The folder is opened last, so errno still tells why it could not be.
Place PlaceOf(int from, const std::string& path) {
    Place place{Fd(), NameOf(path)};
    place.folder.reset(::openat(from, FolderOf(path).c_str(), kFolderFlags));
    return place;
}

// The file a chain of symbolic links ends at, which need not exist yet; a
// relative link is read from the folder that holds it.
Place FollowLinks(const std::string& path) {
    Place place = PlaceOf(AT_FDCWD, path);
    for (int links = 0;; ++links) {
        if (!place.folder.valid()) FailCreate(path, errno);
        if (place.name.empty() || place.name == "." || place.name == "..")
            FailCreate(path, path.empty() ? ENOENT : EISDIR);
        struct stat info{};
        if (::fstatat(place.folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(info.st_mode))
            return place;
        if (links == kMaxLinks) FailCreate(path, ELOOP);
        char text[PATH_MAX];
        const ssize_t n = ::readlinkat(place.folder.get(), place.name.c_str(), text, sizeof text);
        if (n < 0) FailCreate(path, errno);
        if (n == 0 || size_t(n) >= sizeof text) FailCreate(path, ENAMETOOLONG);
        place = PlaceOf(place.folder.get(), std::string(text, size_t(n)));
    }
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
        if (n <= 0) return n < 0 ? errno : EIO;
        done += size_t(n);
    }
    return 0;
}

// Gives the replacement the old file's owner (only root may; anyone else
// becomes its owner, as with any new file, and is not told) and mode. A
// file system that keeps no owner or mode (FAT, some shares) answers one
// of these; the file then has what that file system gives every file.
void KeepOwnerAndMode(int fd, const struct stat& old, const std::string& path) {
    (void)::fchown(fd, old.st_uid, old.st_gid);
    if (::fchmod(fd, old.st_mode & 07777) != 0 && errno != ENOSYS && errno != EPERM && errno != EOPNOTSUPP)
        FailCreate(path, errno);
}

// Sets the space for a file growing from size to length aside before
// anything is overwritten. Returns 0 or the error (ENOSPC when it is not
// there); where the file system cannot set space aside, the free space is
// compared instead.
int Reserve(int fd, size_t size, size_t length) {
    if (length <= size) return 0;
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, off_t(size), off_t(length - size)) == 0) return 0;
    if (errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) return errno;
    struct statvfs space{};
    const bool fits = ::fstatvfs(fd, &space) != 0 || length - size <= uint64_t(space.f_bavail) * space.f_frsize;
    return fits ? 0 : ENOSPC;
}

// Gives the file its old length back, and any space set aside past it.
// False when the length could not be set.
bool Unreserve(int fd, size_t size, size_t length) {
    const bool shortened = ::ftruncate(fd, off_t(size)) == 0;
    if (length > size)
        (void)::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, off_t(size), off_t(length - size));
    return shortened;
}

// Rewrites the file itself, which keeps all its names and its owner.
// Another save into the same file waits for this one, so the two never
// mix. Where the folder takes a new file, the new bytes are first flushed
// to a recovery copy beside it, so a kill while the file is rewritten
// leaves them whole; the copy gives its space up where the disk cannot
// hold it and the file's growth both. The old bytes the write covers are
// kept in memory (no more than the new bytes) and put back if it fails.
void RewriteInPlace(const Place& target, std::span<const uint8_t> bytes, TemporaryFile* copy,
                    const std::string& path) {
    Fd file(::openat(target.folder.get(), target.name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid()) FailCreate(path, errno);
    struct flock whole{};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(file.get(), F_OFD_SETLKW, &whole) != 0)
        if (errno != EINTR) FailWrite(path, errno);
    // The size once the lock is held: a save before this one may have changed it.
    struct stat info{};
    if (::fstat(file.get(), &info) != 0) FailWrite(path, errno);
    const size_t size = size_t(info.st_size);
    std::vector<uint8_t> old(std::min(size, bytes.size()));
    if (const int error = ReadAt(file.get(), old)) FailWrite(path, error);

    size_t done = 0;
    if (copy) {
        if (const int error = WriteAt(copy->fd(), bytes, 0, done)) FailWrite(path, error);
        if (::fsync(copy->fd()) != 0) FailWrite(path, errno);
        if (!copy->GiveName()) FailCreate(path, errno);
        // Its name must outlast a crash as surely as the bytes it stands for.
        ::fsync(target.folder.get());
    }
    int error = Reserve(file.get(), size, bytes.size());
    if (error == ENOSPC && copy) {
        copy->Discard();
        error = Reserve(file.get(), size, bytes.size());
    }
    if (error) {
        Unreserve(file.get(), size, bytes.size());
        FailWrite(path, error);
    }

    // The new bytes are flushed before the file is shortened, so the old
    // bytes past them are never needed again.
    error = WriteAt(file.get(), bytes, 0, done);
    if (!error && ::fsync(file.get()) != 0) error = errno;
    if (!error && bytes.size() < size && ::ftruncate(file.get(), off_t(bytes.size())) != 0) error = errno;
    if (error) {
        size_t restored = 0;
        bool putBack = WriteAt(file.get(), std::span(old).first(std::min(done, old.size())), 0, restored) == 0;
        putBack = Unreserve(file.get(), size, bytes.size()) && putBack;
        putBack = ::fsync(file.get()) == 0 && putBack;
        // A file left torn keeps the copy of the new bytes beside it.
        if (!putBack && copy) copy->Keep();
        FailWrite(path, error);
    }
    if (bytes.size() < size && ::fsync(file.get()) != 0) FailWrite(path, errno);
}

}  // namespace

void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    const Place target = FollowLinks(path);
    const int folder = target.folder.get();
    const char* name = target.name.c_str();
    // A folder, a device, or a file the user marked read-only is not
    // replaced: the rename below would succeed where writing it would not.
    struct stat existing{};
    const bool exists = ::fstatat(folder, name, &existing, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno != ENOENT) FailCreate(path, errno);
    if (exists) {
        if (S_ISDIR(existing.st_mode)) FailCreate(path, EISDIR);
        if (!S_ISREG(existing.st_mode)) FailCreate(path, kNotRegular);
        if ((existing.st_mode & 0222) == 0) FailCreate(path, EACCES);
        if (::faccessat(folder, name, W_OK, 0) != 0) FailCreate(path, errno);
    }

    const bool linked = exists && existing.st_nlink > 1;
    TemporaryFile temp(folder, linked ? TemporaryUse::Recovery : TemporaryUse::Replacement);
    // Private until it has the old file's mode; a new file gets the umask's.
    const bool made = temp.Open(exists ? 0600 : 0666);
    const int notMade = made ? 0 : errno;
    const bool folderLocked = notMade == EACCES || notMade == EPERM;

    if (linked || (exists && folderLocked)) {
        RewriteInPlace(target, bytes, made ? &temp : nullptr, path);
    } else {
        if (!made) FailCreate(path, notMade);
        if (exists) KeepOwnerAndMode(temp.fd(), existing, path);
        size_t done = 0;
        if (const int error = WriteAt(temp.fd(), bytes, 0, done)) FailWrite(path, error);
        // The data must be on disk before the name points at it.
        if (::fsync(temp.fd()) != 0) FailWrite(path, errno);
        if (!temp.Replace(target.name)) FailCreate(path, errno);
        ::fsync(folder);
    }
    RemoveStaleTemporaryFiles(folder);
}
