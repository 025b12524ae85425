#include "formats/Colours.h"

namespace {

// The table is {0,128}³ (indices 0-7: red 1, green 2, blue 4 for each 128),
// {0,255}³ (black and indices 9-15: 8 plus the same bits for each 255) and
// silver. Squared distance adds up channel by channel, so the nearest of
// each cube is its nearest value per channel, and the nearest colour is the
// nearest of those two and silver: three candidates instead of sixteen.
struct Candidate {
    int index;
    int distance;
};

int Square(int d) { return d * d; }

Candidate NearestOfCube(Rgb c, int high, int threshold, int firstIndex) {
    int bits = 0, distance = 0;
    const int channels[] = {c.r, c.g, c.b};
    for (int i = 0; i < 3; ++i) {
        const int v = channels[i];
        // Equally far from 0 and high (64 for the 128 cube) goes to 0, the lower index.
        const bool up = v > threshold;
        bits |= int(up) << i;
        distance += Square(up ? high - v : v);
    }
    return {bits == 0 ? int(kBlack) : firstIndex + bits, distance};
}

}  // namespace

int NearestStandardIndex(Rgb c) {
    // Smallest squared RGB distance; a tie goes to the lower table index.
    // Each cube's candidate is already the lowest index among its nearest.
    const Candidate dark = NearestOfCube(c, 128, 64, 0);
    const Candidate bright = NearestOfCube(c, 255, 127, kSilver);
    const Candidate silver{kSilver, Square(c.r - 192) + Square(c.g - 192) + Square(c.b - 192)};
    Candidate best = dark;
    for (const Candidate& other : {silver, bright})
        if (other.distance < best.distance || (other.distance == best.distance && other.index < best.index))
            best = other;
    return best.index;
}
