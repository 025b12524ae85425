#pragma once
// Animated GIFs and PNG sprite strips as new documents. Each frame becomes
// a frame icon the way a pasted picture does: scaled to 16×16, pixels at
// least half transparent transparent, the rest reduced to the standard
// colours.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/Document.h"

class ReadBudget;

// A strip is decoded whole, so its pixels are bounded before decoding.
inline constexpr uint64_t kMaxStripPixels = uint64_t(16) << 20;

// What making a composed GIF frame a document frame costs in budget units
// (bench/cost/gif_cost.cpp): its reduction to the standard colours, the icon.
inline constexpr uint64_t kGifFrameIconUnits = 640;

// .gif or .png, by the file's extension.
bool IsPictureInput(const std::string& path);

// A frame's rate in 1/60 s for a GIF delay in 1/100 s: rounded, at least
// 1; 0 and 1 mean about 1/10 s in every browser.
int32_t RateFromGifDelay(int delay);

std::unique_ptr<TFrameIcon> IconFromImage(const IconImage& image);

// Throw EReadError saying what is wrong. The title is left empty.
TDocument LoadGifAnimation(std::span<const uint8_t> bytes, ReadBudget& budget);
TDocument LoadPngStrip(std::span<const uint8_t> bytes, int32_t rate, ReadBudget& budget);

// Any input zntool converts: pictures here (untitled, as they carry no title),
// and the rest as the editor's Open reads them.
TDocument LoadInput(const std::string& path, int32_t stripRate, ReadBudget& budget);
