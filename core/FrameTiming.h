#pragma once
// How long a frame shows, for every program that plays, converts or hands
// on frames: the preview, the tray, zntool info, the GIF and cursor
// writers and both image loaders.
//
// A rate is a signed 32-bit count of 1/60 s. The editor offers 1..32736,
// but a file may store any value; a rate below 1 shows for 1/60 s, as
// rate 1 does, so no file can make playback spin or stand still. Every
// other unit is derived from that shown rate, rounded to the nearest, and
// clamped only where the unit's field is too narrow (see GifDelay and
// DelayMilliseconds).
#include <cstdint>
#include <span>
#include <vector>

inline constexpr int64_t kRateUnitsPerSecond = 60;

// The rate a frame is shown at: the stored one, or 1 below 1.
constexpr int32_t ShownRate(int32_t rate) { return rate < 1 ? 1 : rate; }

// A span of 1/60 s in whole units of a clock with perSecond units a
// second, rounded to the nearest (halves up). Exact for any sum of 32767
// rates and any clock up to a nanosecond one.
int64_t RateUnitsTo(int64_t sixtieths, int64_t perSecond);

// Where each frame's time ends, from the start of the loop, in whole units
// of that clock. The ends are rounded, not each frame's span, so a loop
// lasts what its rates add up to and no error builds up over the frames:
// three frames of rate 1 last 17, 16 and 17 ms.
std::vector<int64_t> FrameEnds(std::span<const int32_t> rates, int64_t perSecond);

// A span in milliseconds for a host whose delays are an int (Qt,
// gdk-pixbuf): longer spans, from about 24.8 days, are clamped to INT_MAX.
int DelayMilliseconds(int64_t milliseconds);

// A frame's GIF delay in 1/100 s, a 16-bit field: rate 1 gives 2 (never 0
// or 1, which browsers play as 1/10 s) and rates from 39321 on give 65535,
// the longest a GIF can hold (655.35 s).
int GifDelay(int32_t rate);

// A frame's rate in an animated cursor, which counts 1/60 s as we do.
uint32_t CursorRate(int32_t rate);

// A span in seconds, for people to read.
double RateSeconds(int64_t sixtieths);
