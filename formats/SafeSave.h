#pragma once
// Saving a whole file so that a failure never costs the user what they had.
#include <cstdint>
#include <span>
#include <string>

// Writes bytes as the file at path. Symbolic links are followed to the file
// they name, which is written while the links stay. The file is replaced by
// a temporary one beside it, flushed to disk and renamed over it with the
// old mode and, where the process and the file system may, the old owner,
// so a failure leaves the old file as it was. A file with other hard links,
// or a writable one in a folder that takes no new file, is rewritten in
// place instead, under a lock that makes another save wait, once the space
// is known to be there and, where the folder allows, with the new bytes
// whole in a recovery copy beside it until the rewrite is flushed; a write
// that fails there puts the old bytes back. EFCreateError "Cannot create
// file <path>" when the file cannot be made; EWriteError with the system's
// text and the path when writing fails. Either carries the system's reason
// as its cause.
void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
