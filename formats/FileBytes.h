#pragma once
// Whole-file reads (whole-file writes are in formats/SafeSave.h).
#include <cstdint>
#include <string>
#include <vector>

// The most any input file is read whole: far more than any animation needs.
inline constexpr size_t kMaxInputFileBytes = size_t(64) << 20;

// All bytes of a file. EFOpenError "Cannot open file <path>" when it cannot
// be opened; EReadError when it is larger than maxBytes or cannot be read.
// Either carries the reason as its cause.
std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t maxBytes);
