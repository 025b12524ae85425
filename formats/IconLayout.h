#pragma once
// The icon (.ico) file layout, shared by the writer and the readers.
#include <cstddef>
#include <cstdint>

inline constexpr size_t kIconHeaderSize = 6;       // reserved, type, image count
inline constexpr size_t kDirectoryEntrySize = 16;  // one per image
inline constexpr uint16_t kTypeStandardIcon = 0;   // shows the application's own icon
inline constexpr uint16_t kTypeIcon = 1;
inline constexpr size_t kBitmapHeaderSize = 40;    // precedes a bitmap entry's table and rows
inline constexpr int kMaxIconSide = 256;           // a directory's 0 means 256

// Bytes in a stored row of `width` pixels: padded to a multiple of 4.
constexpr uint64_t RowStride(uint64_t width, uint64_t bitsPerPixel) { return (width * bitsPerPixel + 31) / 32 * 4; }
