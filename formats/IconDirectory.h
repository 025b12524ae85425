#pragma once
// An icon's header and directory, and the choice of the entry to show.
#include <cstdint>
#include <span>

#include "formats/ReadBudget.h"
#include "formats/ZeroPadded.h"

struct IconHeader {
    uint16_t reserved = 0;
    uint16_t type = 0;  // kTypeStandardIcon or kTypeIcon
    uint16_t count = 0; // directory entries
};

struct IconDirectoryEntry {
    uint8_t width = 0;  // 0 means 256
    uint8_t height = 0;
    uint16_t colourWord = 0;  // colour count, or planes × bits per pixel
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t dataSize = 0;
    uint32_t dataOffset = 0;
};

// What an icon shows: the application's own icon, or an entry's data (which
// reads as zero past the end of the bytes).
struct ChosenEntry {
    bool standard = false;
    IconDirectoryEntry entry;
    ZeroPadded data;
};

// EReadError "Stream read error" when the 6 header bytes are not all there.
IconHeader ReadIconHeader(std::span<const uint8_t> bytes);
// The entry to show on a display with deviceColours colours (0: true
// colour): the first whose colour word is the display's colour count; else
// the first that fits the display, replaced by any later one with more
// colours; else the first. EInvalidGraphic for an icon of another type or
// without entries.
ChosenEntry ChooseIconEntry(std::span<const uint8_t> bytes, uint16_t deviceColours, ReadBudget& budget);
