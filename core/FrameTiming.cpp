#include "core/FrameTiming.h"

#include <algorithm>
#include <climits>

namespace {
constexpr int64_t kMaxGifDelay = 65535;  // 16 bits of 1/100 s
}  // namespace

int64_t RateUnitsTo(int64_t sixtieths, int64_t perSecond) {
    // Whole seconds and the rest apart, so that no product overflows.
    const int64_t seconds = sixtieths / kRateUnitsPerSecond, rest = sixtieths % kRateUnitsPerSecond;
    return seconds * perSecond + (rest * perSecond + kRateUnitsPerSecond / 2) / kRateUnitsPerSecond;
}

std::vector<int64_t> FrameEnds(std::span<const int32_t> rates, int64_t perSecond) {
    std::vector<int64_t> ends;
    ends.reserve(rates.size());
    int64_t sixtieths = 0;
    for (int32_t rate : rates) ends.push_back(RateUnitsTo(sixtieths += ShownRate(rate), perSecond));
    return ends;
}

int DelayMilliseconds(int64_t milliseconds) { return int(std::clamp<int64_t>(milliseconds, 0, INT_MAX)); }

int GifDelay(int32_t rate) { return int(std::min(RateUnitsTo(ShownRate(rate), 100), kMaxGifDelay)); }

uint32_t CursorRate(int32_t rate) { return uint32_t(ShownRate(rate)); }

double RateSeconds(int64_t sixtieths) { return double(sixtieths) / double(kRateUnitsPerSecond); }
