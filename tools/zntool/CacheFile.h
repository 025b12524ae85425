#pragma once
// Writing a file that a service owns and may hold open, such as a thumbnail.
#include <cstdint>
#include <span>
#include <string>

// Writes bytes as the file at path. An existing file is truncated and
// written in place, so a descriptor the caller holds on it reads the new
// bytes; otherwise a new file is made, and removed again if writing fails.
// Nothing is flushed to disk: the file is a cache its owner can remake.
// EFCreateError "Cannot create file <path>" when the file cannot be opened;
// EWriteError with the system's text and the path when writing fails.
void WriteCacheFile(const std::string& path, std::span<const uint8_t> bytes);
