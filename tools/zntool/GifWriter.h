#pragma once
// Animated GIF output, through giflib.
#include <cstdint>
#include <vector>

class TDocument;

// A GIF89a that loops forever: one full image per frame, enlarged scale
// times, transparent pixels transparent and cleared before the next frame.
// Throws EWriteError when giflib fails.
std::vector<uint8_t> EncodeGif(const TDocument& document, int scale);
