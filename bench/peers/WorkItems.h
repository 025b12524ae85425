#pragma once
// The files every reader is timed on: generated in code, the same bytes
// for our readers and for the peers, with what a correct reader must see.
#include <cstdint>
#include <string>
#include <vector>

struct WorkItem {
    enum class Kind { AnimatedCursor, Icon };
    Kind kind;
    std::string key;    // benchmark and file name
    std::string label;  // the table's row
    std::vector<uint8_t> bytes;
    int frames = 1;
    uint64_t digest = 0;  // PixelDigest of every frame at its stored size
};

std::vector<WorkItem> MakeWorkItems();
