#include "formats/RecoveryCopy.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/Errors.h"
#include "formats/FileExtension.h"
#include "formats/SavePlan.h"

namespace {

constexpr std::string_view kRecoveryPrefix = ".zintra-recovery-";
constexpr size_t kMaxExtension = 8;  // the dot included
constexpr unsigned kCopyFacts = STATX_TYPE | STATX_UID | STATX_MTIME | STATX_BTIME;

using Time = std::pair<int64_t, uint32_t>;

bool IsLetterOrDigit(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// A short plain extension, so a copy's name stays short whatever the file's.
std::string ShortExtension(const std::string& fileName) {
    const std::string extension = FileExtension(fileName);
    if (extension.size() < 2 || extension.size() > kMaxExtension ||
        !std::all_of(extension.begin() + 1, extension.end(), IsLetterOrDigit))
        return {};
    return extension;
}

struct Copy {
    std::string name;
    uid_t owner;
    Time modified;
};

// The copies of the file in the folder. One made before the file was born
// belongs to a file that had its inode before it.
std::vector<Copy> CopiesOf(int folder, const std::string& fileName, const FileIdentity& file) {
    std::vector<Copy> copies;
    for (int slot = 1; slot <= kRecoverySlots; ++slot) {
        std::string name = RecoveryCopyName(file, slot, fileName);
        struct statx info{};
        if (::statx(folder, name.c_str(), AT_SYMLINK_NOFOLLOW, kCopyFacts, &info) != 0 || !S_ISREG(info.stx_mode))
            continue;
        const Time born(info.stx_btime.tv_sec, info.stx_btime.tv_nsec);
        if (file.born && (info.stx_mask & STATX_BTIME) && born < *file.born) continue;
        copies.push_back({std::move(name), info.stx_uid, Time(info.stx_mtime.tv_sec, info.stx_mtime.tv_nsec)});
    }
    return copies;
}

}  // namespace

std::optional<FileIdentity> IdentityOf(int folder, const std::string& name) {
    struct statx info{};
    if (::statx(folder, name.c_str(), AT_SYMLINK_NOFOLLOW, STATX_INO | STATX_BTIME, &info) != 0) return std::nullopt;
    FileIdentity identity{info.stx_ino, std::nullopt};
    if (info.stx_mask & STATX_BTIME) identity.born = Time(info.stx_btime.tv_sec, info.stx_btime.tv_nsec);
    return identity;
}

std::string RecoveryCopyName(const FileIdentity& file, int slot, const std::string& fileName) {
    char key[32];
    std::snprintf(key, sizeof key, "%llx-%d", static_cast<unsigned long long>(file.inode), slot);
    return std::string(kRecoveryPrefix) + key + ShortExtension(fileName);
}

std::vector<std::string> RemoveRecoveryCopies(int folder, const std::string& fileName, const FileIdentity& file) {
    std::vector<std::string> removed;
    const uid_t self = ::geteuid();
    for (Copy& copy : CopiesOf(folder, fileName, file))
        if (copy.owner == self && ::unlinkat(folder, copy.name.c_str(), 0) == 0)
            removed.push_back(std::move(copy.name));
    return removed;
}

std::vector<std::string> FindRecoveryCopies(const std::string& path) {
    try {
        const SaveTarget target = FindTarget(path);
        if (!target.identity || !S_ISREG(target.existing->st_mode)) return {};
        std::vector<Copy> copies = CopiesOf(target.folder.get(), target.name, *target.identity);
        std::stable_sort(copies.begin(), copies.end(),
                         [](const Copy& a, const Copy& b) { return a.modified > b.modified; });
        std::vector<std::string> paths;
        for (const Copy& copy : copies) paths.push_back(Beside(target.realPath, copy.name));
        return paths;
    } catch (const EZintraError&) {
        return {};
    }
}
