#include "formats/TemporaryFile.h"

#include <cerrno>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <string_view>
#include <sys/stat.h>

namespace {

// Short and fixed, so it fits beside a file of any name, and recognisable,
// so a leftover can be told from the user's own files.
constexpr std::string_view kPrefix = ".zintra-save-";
constexpr size_t kRandomLength = 6;
constexpr int kAttempts = 100;
constexpr time_t kStaleSeconds = 60 * 60;

std::string RandomName() {
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    thread_local std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<size_t> letter(0, kLetters.size() - 1);
    std::string name(kPrefix);
    for (size_t i = 0; i < kRandomLength; ++i) name += kLetters[letter(random)];
    return name;
}

bool IsTemporaryName(std::string_view name) {
    return name.size() == kPrefix.size() + kRandomLength && name.starts_with(kPrefix);
}

}  // namespace

TemporaryFile::~TemporaryFile() {
    if (!m_name.empty()) ::unlinkat(m_folder, m_name.c_str(), 0);
}

bool TemporaryFile::Open(mode_t mode) {
    m_file.fd = ::openat(m_folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (m_file.fd >= 0) return true;
    // File systems and kernels without O_TMPFILE answer with one of these;
    // anything else (a folder the user may not write) is final.
    if (errno != EOPNOTSUPP && errno != EISDIR) return false;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string name = RandomName();
        m_file.fd = ::openat(m_folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (m_file.fd >= 0) {
            m_name = std::move(name);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool TemporaryFile::GiveName() {
    if (!m_name.empty()) return true;
    // Linking by descriptor needs a privilege that linking through /proc does not.
    const std::string self = "/proc/self/fd/" + std::to_string(m_file.fd);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string name = RandomName();
        if (::linkat(AT_FDCWD, self.c_str(), m_folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT && ::linkat(m_file.fd, "", m_folder, name.c_str(), AT_EMPTY_PATH) == 0)) {
            m_name = std::move(name);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool TemporaryFile::Replace(const std::string& name) {
    if (!GiveName() || ::renameat(m_folder, m_name.c_str(), m_folder, name.c_str()) != 0) return false;
    m_name.clear();
    return true;
}

void RemoveStaleTemporaryFiles(int folder) {
    const int copy = ::dup(folder);
    DIR* entries = copy >= 0 ? ::fdopendir(copy) : nullptr;
    if (!entries) {
        if (copy >= 0) ::close(copy);
        return;
    }
    const time_t before = ::time(nullptr) - kStaleSeconds;
    while (const dirent* entry = ::readdir(entries)) {
        struct stat info{};
        if (IsTemporaryName(entry->d_name) && ::fstatat(folder, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_mtime < before)
            ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(entries);
}
