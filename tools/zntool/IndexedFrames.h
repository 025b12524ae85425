#pragma once
// The frames of a document as palette indices, the form both picture
// writers need: one shared palette of the standard colours and a
// transparent entry.
#include <array>
#include <cstdint>
#include <vector>

#include "formats/Colours.h"
#include "formats/FrameIcon.h"

class TDocument;

// Entry 0 is transparent; entries 1..16 are the standard colours in table
// order. Putting transparency first lets a PNG's transparency chunk hold
// a single entry.
inline constexpr uint8_t kTransparentIndex = 0;
inline constexpr int kPaletteSize = 17;
std::array<Rgb, kPaletteSize> OutputPalette();

struct IndexedFrame {
    std::array<uint8_t, kFrameSize * kFrameSize> indices{};
    uint8_t at(int x, int y) const { return indices[size_t(y) * kFrameSize + size_t(x)]; }
};

// Every frame, each pixel its nearest standard colour (what the ZN writer
// would store) or transparent where the frame's image has alpha 0.
std::vector<IndexedFrame> IndexFrames(const TDocument& document);

// Row y (0..15) of a frame enlarged scale times, into out[0 .. 16·scale).
void ScaledRow(const IndexedFrame& frame, int y, int scale, uint8_t* out);
