#pragma once
// A save decided before anything is written: the file it writes and the
// way it writes it. formats/SafeSave.h carries the plan out and says what
// it did.
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "formats/Fd.h"
#include "formats/RecoveryCopy.h"
#include "formats/TemporaryFile.h"

enum class SaveStrategy {
    // A new file beside the target, flushed and renamed over it (or simply
    // named, where there was none): the old file or the whole new one.
    Replace,
    // The file itself rewritten, which keeps its other hard links, after
    // its new bytes are flushed whole to a recovery copy beside it.
    RewriteWithCopy,
    // The file itself rewritten with nothing beside it: the folder takes
    // no new file, or the disk has no room for the copy and the growth.
    Rewrite,
};

// The file a path names once every symbolic link is followed, which need
// not exist yet.
struct SaveTarget {
    std::string path;      // as the user gave it, for messages
    std::string realPath;  // the texts of the links joined: where the file is
    Fd folder;             // its folder, open: every step names the file from it
    std::string name;      // its entry there
    std::optional<struct stat> existing;
    std::optional<FileIdentity> identity;  // of the existing file
};

struct SavePlan {
    SaveTarget target;
    SaveStrategy strategy = SaveStrategy::Replace;
    // Open beside the target: the replacement, or the recovery copy.
    TemporaryFile file;
};

// What a save did.
struct SaveResult {
    SaveStrategy strategy = SaveStrategy::Replace;  // as carried out
    // A recovery copy left beside the file (one that could not be
    // removed), as a path; empty when none.
    std::string keptCopy;
    // Copies that saves of the file cut short had left, now removed.
    std::vector<std::string> removedCopies;
};

// Follows path to the file it names. EFCreateError "Cannot create file
// <path>", carrying the system's reason, when the chain is broken, loops
// or ends at a folder.
SaveTarget FindTarget(const std::string& path);

// Looks at the target and chooses how to save it, opening the file the
// strategy writes beside it. EFCreateError "Cannot create file <path>"
// when it cannot be saved at all (a folder, a device or a read-only file
// in the way, a folder that takes no new file); nothing is changed then.
SavePlan PlanSave(const std::string& path);

// A path for name in the same folder as the file at path.
std::string Beside(const std::string& path, const std::string& name);
