#pragma once
// Recovery copies. A save that rewrites a file in place first flushes the
// new bytes whole to a copy beside it, so that a save cut short (killed,
// or failing where the old bytes cannot be put back) leaves them for the
// user. A copy is named after the file's inode, which a rewrite keeps, so
// the copies of a file are found again with a few lookups however full
// the folder is; the next good save of the file removes them.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// How many copies one file can have at once: each save that is cut short
// leaves one, and a later one must not take an earlier one's place.
inline constexpr int kRecoverySlots = 8;

// What tells a file from one that had its inode before it: the inode, and
// its birth where the file system keeps it.
struct FileIdentity {
    uint64_t inode = 0;
    std::optional<std::pair<int64_t, uint32_t>> born;  // seconds, nanoseconds
};

// The identity of an entry of an open folder, links not followed.
std::optional<FileIdentity> IdentityOf(int folder, const std::string& name);

// The name of copy slot 1..kRecoverySlots of the file with this identity,
// ending in fileName's extension where it has a short one, so that the
// copy opens as what it holds.
std::string RecoveryCopyName(const FileIdentity& file, int slot, const std::string& fileName);

// Removes the copies of the file named fileName with this identity from
// the open folder, those the saving user owns (root too), and returns the
// names of those removed.
std::vector<std::string> RemoveRecoveryCopies(int folder, const std::string& fileName, const FileIdentity& file);

// The recovery copies that lie beside the file path names (links
// followed), newest first, as paths beside it; none when it cannot be
// looked at.
std::vector<std::string> FindRecoveryCopies(const std::string& path);
