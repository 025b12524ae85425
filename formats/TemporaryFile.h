#pragma once
// The file a save writes before it takes the target's place. Where the file
// system allows it has no name until just before the rename, so a save
// killed while writing leaves nothing; otherwise, and for a kill between
// the two steps, it has a short recognisable name that later saves sweep.
#include <string>
#include <sys/types.h>

#include "formats/Fd.h"

class TemporaryFile {
public:
    // folder: an open descriptor of the folder, kept open while this lives.
    explicit TemporaryFile(int folder) : m_folder(folder) {}
    // Removes the file unless it replaced its target.
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes the file in the folder with the given permissions (less the
    // umask). False, with errno set, when no file can be made there.
    bool Open(mode_t mode);
    int fd() const { return m_file.fd; }
    // Puts the written file in place of name, in the same folder. False,
    // with errno set, when it cannot.
    bool Replace(const std::string& name);

private:
    bool GiveName();

    int m_folder;
    Fd m_file;
    std::string m_name;  // empty while the file has none
};

// Removes what killed saves left in the folder over an hour ago; a younger
// file may belong to a save still running.
void RemoveStaleTemporaryFiles(int folder);
