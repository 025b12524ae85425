#include "formats/TemporaryFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/stat.h>

#include "formats/OnExit.h"

namespace {

// Short and fixed, so they fit beside a file of any name, and recognisable,
// so a leftover can be told from the user's own files.
constexpr std::string_view kSavePrefix = ".zintra-save-";
constexpr size_t kRandomLength = 6;
constexpr int kAttempts = 100;
constexpr time_t kStaleSeconds = 60 * 60;
// Entries of the folder a sweep reads at most: each of our names among
// them costs a look at its owner and age, about 3 µs, whoever made it.
constexpr int kSweepEntries = 256;

std::string RandomName() {
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> letter(0, kLetters.size() - 1);
    std::string name(kSavePrefix);
    for (size_t i = 0; i < kRandomLength; ++i) name += kLetters[letter(random)];
    return name;
}

bool IsSaveName(std::string_view name) {
    return name.size() == kSavePrefix.size() + kRandomLength && name.starts_with(kSavePrefix);
}

}  // namespace

bool TemporaryFile::Open(mode_t mode) {
    m_file.reset(::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
    if (m_file.valid()) return true;
    // File systems and kernels without O_TMPFILE answer with one of these;
    // anything else (a folder the user may not write) is final.
    if (errno != EOPNOTSUPP && errno != EISDIR) return false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Even a recovery copy starts as a save's file: half written, it
        // must not pass for a copy to recover from.
        std::string name = RandomName();
        m_file.reset(::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (m_file.valid()) {
            m_name = std::move(name);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool TemporaryFile::TakeName(const std::string& name) {
    bool named;
    if (m_name.empty()) {
        // Linking by descriptor needs a privilege that linking through /proc does not.
        const std::string self = "/proc/self/fd/" + std::to_string(m_file.get());
        named = ::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                (errno == ENOENT && ::linkat(m_file.get(), "", m_folder, name.c_str(), AT_EMPTY_PATH) == 0);
    } else {
        named = ::renameat2(m_folder, m_name.c_str(), m_folder, name.c_str(), RENAME_NOREPLACE) == 0;
        // Where the file system cannot promise that, a link cannot replace either.
        if (!named && errno == EINVAL && ::linkat(m_folder, m_name.c_str(), m_folder, name.c_str(), 0) == 0) {
            ::unlinkat(m_folder, m_name.c_str(), 0);
            named = true;
        }
    }
    if (named) m_name = name;
    return named;
}

bool TemporaryFile::Replace(const std::string& name) {
    if (m_name.empty()) {
        int attempt = 0;
        while (!TakeName(RandomName()))
            if (errno != EEXIST || ++attempt == kAttempts) return false;
    }
    if (::renameat(m_folder, m_name.c_str(), m_folder, name.c_str()) != 0) return false;
    m_name.clear();
    m_file.reset();
    return true;
}

bool TemporaryFile::Discard() {
    const bool removed = m_name.empty() || ::unlinkat(m_folder, m_name.c_str(), 0) == 0;
    m_name.clear();
    m_file.reset();
    return removed;
}

void TemporaryFile::Keep() {
    m_name.clear();
    m_file.reset();
}

void RemoveStaleTemporaryFiles(int folder) {
    const int copy = ::dup(folder);
    DIR* entries = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!entries) {
        if (copy >= 0) ::close(copy);
        return;
    }
    const OnExit closeEntries([entries] { ::closedir(entries); });
    const time_t before = ::time(nullptr) - kStaleSeconds;
    // Root too removes only its own: a shared folder's other files are
    // their owners' business.
    const uid_t self = ::geteuid();
    const dirent* entry;
    for (int read = 0; read < kSweepEntries && (entry = ::readdir(entries)); ++read) {
        struct stat info{};
        if (IsSaveName(entry->d_name) && ::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == self && info.st_mtime < before)
            ::unlinkat(folder, entry->d_name, 0);
    }
}
