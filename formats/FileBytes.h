#pragma once
// Whole-file reads and crash-safe whole-file writes.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// All bytes of a file. EFOpenError "Cannot open file <path>" when it cannot
// be opened; EReadError when it is larger than maxBytes or cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::string& path, size_t maxBytes);

// Writes bytes to a temporary file beside path, flushes it to disk and
// renames it over path, so a failure never leaves a damaged or missing
// file. EFCreateError "Cannot create file <path>" when the file cannot be
// made; EWriteError with the system's text and the path when writing fails.
void WriteFileAtomically(const std::string& path, std::span<const uint8_t> bytes);
