// Carrying out a save's plan (formats/SavePlan.h), one step at a time.
#include "formats/SafeSave.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <thread>
#include <vector>

#include "formats/Errors.h"

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void FailCreate(const std::string& path, int error) {
    throw EFCreateError(messages::CannotCreate(path), std::strerror(error));
}

[[noreturn]] void FailWrite(const std::string& path, int error) {
    throw EWriteError(std::string(std::strerror(error)) + ": " + path, std::strerror(error));
}

[[noreturn]] void FailInUse(const std::string& path) {
    throw EWriteError("The file is in use by another program and was left as it was: " + path,
                      "in use by another program, which holds a lock on it; left as it was");
}

// A rewrite that failed and could not put the old bytes back: say so, and
// where the new ones are whole if a copy holds them.
[[noreturn]] void FailTorn(const std::string& path, int error, const std::string& copy) {
    const std::string reason = std::strerror(error);
    const std::string where = copy.empty() ? "" : "; its new content is whole in " + copy;
    throw EWriteError(reason + ": " + path + ". The file may be damaged" + where,
                      reason + "; the file may be damaged" + where);
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

void ReplaceFile(SavePlan& plan, std::span<const uint8_t> bytes) {
    const SaveTarget& target = plan.target;
    TemporaryFile& file = plan.file;
    if (target.existing) KeepOwnerAndMode(file.fd(), *target.existing, target.path);
    size_t done = 0;
    if (const int error = WriteAt(file.fd(), bytes, 0, done)) FailWrite(target.path, error);
    // The data must be on disk before the name points at it.
    if (::fsync(file.fd()) != 0) FailWrite(target.path, errno);
    if (!file.Replace(target.name)) FailCreate(target.path, errno);
    ::fsync(target.folder.get());
}

constexpr int kTimedOut = -1;

// Locks the whole file. Another save into the same file waits for this
// one, so the two never mix; but a program may hold a lock for as long as
// it has the file open, so the lock is tried without blocking, in short
// steps, for kSaveLockWait at most. Returns 0, kTimedOut or the error.
int LockWithin(int fd) {
    const auto deadline = Clock::now() + kSaveLockWait;
    auto pause = std::chrono::milliseconds(5);
    for (;;) {
        struct flock whole{};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (::fcntl(fd, F_OFD_SETLK, &whole) == 0) return 0;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EACCES) return errno;
        const auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) return kTimedOut;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, left));
        pause = std::min(pause * 2, std::chrono::milliseconds(100));
    }
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

// Names the flushed copy after the file, in the first slot no earlier
// copy holds. False when every slot is taken: those copies stay for the
// user, and this save goes on without one.
bool NameCopy(TemporaryFile& copy, const SaveTarget& target, const struct stat& file) {
    for (int slot = 1; slot <= kRecoverySlots; ++slot) {
        if (copy.TakeName(RecoveryCopyName(FileIdentity{file.st_ino, std::nullopt}, slot, target.name))) return true;
        if (errno != EEXIST) FailCreate(target.path, errno);
    }
    return false;
}

// Rewrites the file itself, which keeps all its names and its owner.
// Returns the strategy as carried out: without a copy where none could be
// kept.
SaveStrategy RewriteInPlace(SavePlan& plan, std::span<const uint8_t> bytes) {
    const SaveTarget& target = plan.target;
    const std::string& path = target.path;
    TemporaryFile* copy = plan.strategy == SaveStrategy::RewriteWithCopy ? &plan.file : nullptr;

    // 1. The file, locked, and its size once the lock is held: a save
    // before this one may have changed it.
    Fd file(::openat(target.folder.get(), target.name.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!file.valid()) FailCreate(path, errno);
    if (const int error = LockWithin(file.get())) error == kTimedOut ? FailInUse(path) : FailWrite(path, error);
    struct stat info{};
    if (::fstat(file.get(), &info) != 0) FailWrite(path, errno);
    const size_t size = size_t(info.st_size);

    // 2. The old bytes the write will cover (no more than the new bytes),
    // to put back if it fails.
    std::vector<uint8_t> old(std::min(size, bytes.size()));
    if (const int error = ReadAt(file.get(), old)) FailWrite(path, error);

    // 3. The recovery copy, flushed whole before it is named, and named
    // before the file is touched.
    size_t done = 0;
    if (copy) {
        if (const int error = WriteAt(copy->fd(), bytes, 0, done)) FailWrite(path, error);
        if (::fsync(copy->fd()) != 0) FailWrite(path, errno);
        if (NameCopy(*copy, target, info)) {
            // Its name must outlast a crash as surely as the bytes it stands for.
            ::fsync(target.folder.get());
        } else {
            copy->Discard();
            copy = nullptr;
        }
    }

    // 4. The space the file grows by; the copy gives its own up where the
    // disk cannot hold both.
    int error = Reserve(file.get(), size, bytes.size());
    if (error == ENOSPC && copy) {
        copy->Discard();
        copy = nullptr;
        error = Reserve(file.get(), size, bytes.size());
    }
    if (error) {
        Unreserve(file.get(), size, bytes.size());
        FailWrite(path, error);
    }

    // 5. The new bytes, flushed before the file is shortened, so the old
    // bytes past them are never needed again.
    error = WriteAt(file.get(), bytes, 0, done);
    if (!error && ::fsync(file.get()) != 0) error = errno;
    if (!error && bytes.size() < size && ::ftruncate(file.get(), off_t(bytes.size())) != 0) error = errno;
    if (error) {
        size_t restored = 0;
        bool putBack = WriteAt(file.get(), std::span(old).first(std::min(done, old.size())), 0, restored) == 0;
        putBack = Unreserve(file.get(), size, bytes.size()) && putBack;
        putBack = ::fsync(file.get()) == 0 && putBack;
        if (putBack) FailWrite(path, error);
        // A file left torn keeps the copy of the new bytes beside it.
        const std::string kept = copy ? Beside(target.realPath, copy->name()) : "";
        if (copy) copy->Keep();
        FailTorn(path, error, kept);
    }
    if (bytes.size() < size && ::fsync(file.get()) != 0) FailWrite(path, errno);
    return copy ? SaveStrategy::RewriteWithCopy : SaveStrategy::Rewrite;
}

}  // namespace

SaveResult CarryOut(SavePlan& plan, std::span<const uint8_t> bytes) {
    SaveResult result{plan.strategy, {}, {}};
    const SaveTarget& target = plan.target;
    if (plan.strategy == SaveStrategy::Replace) {
        ReplaceFile(plan, bytes);
    } else {
        result.strategy = RewriteInPlace(plan, bytes);
        // 6. The rewrite is flushed: the copy has done its work.
        const std::string copy = plan.file.name();
        if (!plan.file.Discard()) result.keptCopy = Beside(target.realPath, copy);
    }
    // The file is whole: what saves of it cut short left is no longer needed.
    if (target.identity)
        for (const std::string& name : RemoveRecoveryCopies(target.folder.get(), target.name, *target.identity))
            result.removedCopies.push_back(Beside(target.realPath, name));
    RemoveStaleTemporaryFiles(target.folder.get());
    return result;
}

SaveResult WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    SavePlan plan = PlanSave(path);
    return CarryOut(plan, bytes);
}
