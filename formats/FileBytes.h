#pragma once
// Whole-file reads (whole-file writes are in formats/SafeSave.h).
#include <cstdint>
#include <string>
#include <vector>

// The most any input file is read whole: far more than any animation needs.
inline constexpr size_t kMaxInputFileBytes = size_t(64) << 20;

// All bytes of a regular file. Only regular files are read: a pipe, a
// device or a folder is refused at once, before anything is read, so that
// no read ever waits for a writer. EFOpenError "Cannot open file <path>"
// when the file cannot be opened or is not a regular file; EReadError when
// it is larger than maxBytes or cannot be read. Either carries the reason
// as its cause ("not a regular file", the system's words).
std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t maxBytes);
