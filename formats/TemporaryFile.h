#pragma once
// A file a save writes beside its target. A replacement takes the target's
// place: where the file system allows it, it has no name until just before
// the rename, so a save killed while writing leaves nothing; otherwise, and
// for a kill between the two steps, it has a short recognisable name that
// later saves sweep. A recovery copy holds the new bytes while a file is
// rewritten in place, so a kill there leaves them whole beside the file;
// it is named only once it is complete, and never swept.
#include <string>
#include <string_view>
#include <sys/types.h>

#include "formats/Fd.h"

enum class TemporaryUse { Replacement, Recovery };

class TemporaryFile {
public:
    // folder: an open descriptor of the folder, kept open while this lives.
    explicit TemporaryFile(int folder, TemporaryUse use = TemporaryUse::Replacement)
        : m_folder(folder), m_use(use) {}
    // Removes the file unless it replaced its target.
    ~TemporaryFile() { Discard(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes the file in the folder with the given permissions (less the
    // umask). False, with errno set, when no file can be made there.
    bool Open(mode_t mode);
    int fd() const { return m_file.get(); }
    // Gives the written file the name its use calls for. False, with errno
    // set, when it cannot.
    bool GiveName();
    // Puts the written file in place of name, in the same folder. False,
    // with errno set, when it cannot.
    bool Replace(const std::string& name);
    // Removes the file now, giving its space back.
    void Discard();
    // Leaves the file where it is, named or not, once this is gone.
    void Keep();

private:
    int m_folder;
    TemporaryUse m_use;
    Fd m_file;
    std::string m_name;  // empty while the file has none
};

// Removes what killed saves left in the folder over an hour ago; a younger
// file may belong to a save still running. Recovery copies stay.
void RemoveStaleTemporaryFiles(int folder);

// Whether name is that of a recovery copy.
bool IsRecoveryName(std::string_view name);
