#include "formats/Colours.h"

#include <array>
#include <cstddef>

namespace {

// The table is {0,128}³ (indices 0-7: red adds 1, green 2, blue 4 where
// the channel is 128), {0,255}³ (black, and 8 plus the same bits where the
// channel is 255) and silver. Squared distance adds up channel by channel,
// so the nearest of each cube is its nearest value per channel, and the
// nearest colour is the nearest of those two and silver: three candidates
// instead of sixteen, each a sum of three looked-up terms.
struct ChannelTerms {
    uint8_t darkBit;    // the nearer of 0 and 128 is 128; a tie (64) goes to 0, the lower index
    uint8_t brightBit;  // the nearer of 0 and 255 is 255 (there are no ties)
    int darkDistance, brightDistance, silverDistance;
};

constexpr std::array<ChannelTerms, 256> kTerms = [] {
    std::array<ChannelTerms, 256> terms{};
    for (int v = 0; v < 256; ++v) {
        const bool dark = v > 64, bright = v > 127;
        terms[std::size_t(v)] = {uint8_t(dark), uint8_t(bright), dark ? (128 - v) * (128 - v) : v * v,
                                 bright ? (255 - v) * (255 - v) : v * v, (v - 192) * (v - 192)};
    }
    return terms;
}();

inline int Nearest(Rgb c) {
    // Smallest squared RGB distance; a tie goes to the lower table index.
    // Each cube's candidate is already the lowest index among its nearest.
    const ChannelTerms& r = kTerms[c.r];
    const ChannelTerms& g = kTerms[c.g];
    const ChannelTerms& b = kTerms[c.b];
    const int darkBits = r.darkBit | g.darkBit << 1 | b.darkBit << 2;
    const int brightBits = r.brightBit | g.brightBit << 1 | b.brightBit << 2;
    const int dark = r.darkDistance + g.darkDistance + b.darkDistance;
    const int silver = r.silverDistance + g.silverDistance + b.silverDistance;
    const int bright = r.brightDistance + g.brightDistance + b.brightDistance;
    // Selections rather than branches: which candidate wins is anyone's guess.
    const bool silverWins = silver < dark;
    const int best = silverWins ? int(kSilver) : darkBits;
    const int bestDistance = silverWins ? silver : dark;
    // Black is in both cubes and was taken from the first already.
    const bool brightWins = (brightBits != 0) & (bright < bestDistance);
    return brightWins ? kSilver + brightBits : best;
}

}  // namespace

int NearestStandardIndex(Rgb c) { return Nearest(c); }

void ReduceToStandardColours(std::span<Rgb> colours) {
    for (Rgb& c : colours) c = kStandardColours[std::size_t(Nearest(c))];
}
