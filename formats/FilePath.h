#pragma once
// The parts of a path as the system reads it: everything before the last
// '/' names the folder, everything after it the entry in that folder.
#include <string>

// "." for a bare name, "/" for an entry of the root.
inline std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Empty when the path ends in '/'.
inline std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
