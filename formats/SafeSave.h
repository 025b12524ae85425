#pragma once
// Saving a whole file so that a failure never costs the user what they had.
#include <cstdint>
#include <span>
#include <string>

// Writes bytes as the file at path. Symbolic links are followed to the file
// they name, which is written while the links stay. The file is replaced by
// a temporary one beside it, flushed to disk and renamed over it with the
// old mode and, where the process may, the old owner, so a failure leaves
// the old file as it was. A file with other hard links, or a writable one
// in a folder that takes no new file, is rewritten in place instead once
// the new bytes are known to fit; a write that fails there puts the old
// bytes back. EFCreateError "Cannot create file <path>" when the file
// cannot be made; EWriteError with the system's text and the path when
// writing fails.
void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
