#pragma once
// Animated GIF output, through giflib.
#include <cstdint>
#include <vector>

class TDocument;

// A frame's delay in 1/100 s for its rate in 1/60 s: rounded, at least 1
// (browsers treat 0 as "as fast as you like"), at most what GIF can hold.
int GifDelay(int32_t rate);

// A GIF89a that loops forever: one full image per frame, enlarged scale
// times, transparent pixels transparent and cleared before the next frame.
// Throws EWriteError when giflib fails.
std::vector<uint8_t> EncodeGif(const TDocument& document, int scale);
