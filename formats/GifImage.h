#pragma once
// Animated GIFs played as a viewer plays them: every frame drawn onto the
// logical screen at its place, through its transparency, after the
// previous frame's disposal. giflib reads the records and our own decoder
// the image data, so what a file can make us hold is the screen and one
// saved copy of a frame's area, and every step is charged to the read's
// budget: the file's bytes, the screen once, each code and decoded index,
// and each frame's pixels drawn, saved, restored or cleared.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "formats/FrameIcon.h"

class ReadBudget;

inline constexpr int kMaxGifScreenSide = 4096;
// Over the whole file: screen pixels composed, and image pixels decoded.
inline constexpr uint64_t kMaxGifPixels = uint64_t(256) << 20;
inline constexpr int kMaxGifFrames = 32767;
inline constexpr size_t kMaxGifCommentBytes = 255;

struct GifSummary {
    int frameCount = 0;
    // Every comment extension's text, one after another on lines of their
    // own, cut at kMaxGifCommentBytes.
    std::string comments;
};

// Called once a frame with the whole screen as it shows that frame (alpha
// 0 where nothing is drawn, 255 elsewhere) and the frame's delay in 1/100 s.
using GifFrameSink = std::function<void(const IconImage& screen, int delay)>;

// Throws EReadError saying what is wrong: not a GIF, damaged or truncated
// data (naming the frame), or a file beyond the bounds above; EReadError
// "Stream read error" when the budget runs out.
GifSummary ComposeGif(std::span<const uint8_t> bytes, ReadBudget& budget, const GifFrameSink& onFrame);
