#pragma once
// A file a save writes beside its target: the replacement that takes the
// target's place, or the recovery copy an in-place rewrite keeps beside
// it. Where the file system allows it, it has no name until it is given
// one, so a save killed while writing leaves nothing; otherwise it starts
// with a short recognisable name that later saves sweep.
#include <string>
#include <sys/types.h>
#include <utility>

#include "formats/Fd.h"

class TemporaryFile {
public:
    // folder: an open descriptor of the folder, kept open while this lives.
    explicit TemporaryFile(int folder) : m_folder(folder) {}
    // Removes the file unless it replaced its target or was kept.
    ~TemporaryFile() { Discard(); }
    TemporaryFile(TemporaryFile&& other) noexcept
        : m_folder(other.m_folder), m_file(std::move(other.m_file)), m_name(std::exchange(other.m_name, {})) {}
    TemporaryFile& operator=(TemporaryFile&&) = delete;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes the file in the folder with the given permissions (less the
    // umask). False, with errno set, when no file can be made there.
    bool Open(mode_t mode);
    int fd() const { return m_file.get(); }
    // Its name in the folder; empty while it has none.
    const std::string& name() const { return m_name; }
    // Gives the written file exactly this name, which must be free. False,
    // with errno set (EEXIST when it is taken), when it cannot.
    bool TakeName(const std::string& name);
    // Puts the written file in place of name, in the same folder. False,
    // with errno set, when it cannot.
    bool Replace(const std::string& name);
    // Removes the file now, giving its space back. False when it had a
    // name that could not be removed.
    bool Discard();
    // Leaves the file where it is, named or not, once this is gone.
    void Keep();

private:
    int m_folder;
    Fd m_file;
    std::string m_name;  // empty while the file has none
};

// Removes what killed saves left in the folder over an hour ago (a
// younger file may belong to a save still running): only files of the
// saving user, and only among the first entries of the folder, so that a
// folder anyone can fill costs a save little. Recovery copies stay.
void RemoveStaleTemporaryFiles(int folder);
