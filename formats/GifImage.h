#pragma once
// Animated GIFs played as a viewer plays them: every frame drawn onto the
// logical screen at its place, through its transparency, after the
// previous frame's disposal. giflib reads the records and our own decoder
// the image data. A composed pixel depends only on the frames' pixels at
// its place, so the screen is composed into an image target: whole, or only
// the 256 pixels its 16×16 frame takes. What a file can make us hold is
// that target and one saved copy of a frame's part of it, and every step
// is charged to the read's budget for what it costs: each record and
// sub-block walked, each frame set up, each code and index decoded, and
// each target pixel drawn, saved, restored or cleared.
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "formats/FrameIcon.h"
#include "formats/ImageTarget.h"

class ReadBudget;

inline constexpr int kMaxGifScreenSide = 4096;
inline constexpr int kMaxGifFrames = 32767;
inline constexpr size_t kMaxGifCommentBytes = 255;

// The most units a byte of a GIF can make the composer charge (a byte of
// LZW data stands for up to 2731 indices), and what it charges once
// whatever the size: the largest screen, set up and then saved for a frame
// whose data ends before its first row. Checked by the fuzz harness.
extern const uint64_t kGifUnitsPerByte;
extern const uint64_t kGifUnitsOnce;

struct GifSummary {
    int frameCount = 0;
    // Every comment extension's text, one after another on lines of their
    // own, cut at kMaxGifCommentBytes.
    std::string comments;
};

// Called once a frame with the target's image as it shows that frame (alpha
// 0 where nothing is drawn, 255 elsewhere) and the frame's delay in 1/100 s.
using GifFrameSink = std::function<void(const IconImage& image, int delay)>;

// Throws EReadError saying what is wrong: not a GIF, damaged or truncated
// data (naming the frame), or a file beyond the bounds above; EReadError
// "Stream read error" when the budget runs out.
GifSummary ComposeGif(std::span<const uint8_t> bytes, ImageTarget& target, ReadBudget& budget,
                      const GifFrameSink& onFrame);
