// The choice of a save's strategy. A save replaces the file where it can;
// two kinds of file cannot be replaced without loss and are rewritten in
// place: one with other hard links (a new file would take only one of its
// names) and a writable one in a folder that takes no new file. Every step
// names the file relative to its open folder, so a path as long as the
// system allows loses nothing.
#include "formats/SavePlan.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>

#include "formats/Errors.h"
#include "formats/FilePath.h"

namespace {

constexpr int kMaxLinks = 40;  // as many as the kernel follows in one path
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr const char* kNotRegular = "not a regular file";

[[noreturn]] void FailCreate(const std::string& path, const std::string& cause) {
    throw EFCreateError(messages::CannotCreate(path), cause);
}
[[noreturn]] void FailCreate(const std::string& path, int error) { FailCreate(path, std::strerror(error)); }

// Opens the folder of path, read from the folder from; last, so errno
// still tells why it could not be.
void Place(SaveTarget& target, int from, const std::string& path) {
    target.name = NameOf(path);
    target.folder.reset(::openat(from, FolderOf(path).c_str(), kFolderFlags));
}

}  // namespace

std::string Beside(const std::string& path, const std::string& name) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

// A relative link is read from the folder that holds it.
SaveTarget FindTarget(const std::string& path) {
    SaveTarget target;
    target.path = target.realPath = path;
    Place(target, AT_FDCWD, path);
    for (int links = 0;; ++links) {
        if (!target.folder.valid()) FailCreate(path, errno);
        if (target.name.empty() || target.name == "." || target.name == "..")
            FailCreate(path, path.empty() ? ENOENT : EISDIR);
        struct stat info{};
        const int folder = target.folder.get();
        if (::fstatat(folder, target.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) FailCreate(path, errno);
            return target;
        }
        if (!S_ISLNK(info.st_mode)) {
            target.existing = info;
            target.identity = IdentityOf(folder, target.name);
            return target;
        }
        if (links == kMaxLinks) FailCreate(path, ELOOP);
        char text[PATH_MAX];
        const ssize_t n = ::readlinkat(folder, target.name.c_str(), text, sizeof text);
        if (n < 0) FailCreate(path, errno);
        if (n == 0 || size_t(n) >= sizeof text) FailCreate(path, ENAMETOOLONG);
        const std::string link(text, size_t(n));
        target.realPath = link[0] == '/' ? link : Beside(target.realPath, link);
        Place(target, folder, link);
    }
}

SavePlan PlanSave(const std::string& path) {
    SaveTarget target = FindTarget(path);
    const int folder = target.folder.get();
    // A folder, a device, or a file the user marked read-only is not
    // replaced: the rename would succeed where writing it would not.
    const std::optional<struct stat>& existing = target.existing;
    if (existing) {
        if (S_ISDIR(existing->st_mode)) FailCreate(path, EISDIR);
        if (!S_ISREG(existing->st_mode)) FailCreate(path, kNotRegular);
        if ((existing->st_mode & 0222) == 0) FailCreate(path, EACCES);
        if (::faccessat(folder, target.name.c_str(), W_OK, 0) != 0) FailCreate(path, errno);
    }

    TemporaryFile file(folder);
    // Private until it has the old file's mode; a new file gets the umask's.
    const bool made = file.Open(existing ? 0600 : 0666);
    const int notMade = made ? 0 : errno;
    SaveStrategy strategy = SaveStrategy::Replace;
    if (existing && existing->st_nlink > 1)
        strategy = made ? SaveStrategy::RewriteWithCopy : SaveStrategy::Rewrite;
    else if (existing && (notMade == EACCES || notMade == EPERM))
        strategy = SaveStrategy::Rewrite;
    else if (!made)
        FailCreate(path, notMade);
    return SavePlan{std::move(target), strategy, std::move(file)};
}
