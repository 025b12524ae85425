#include "formats/Colours.h"

int NearestStandardIndex(Rgb c) {
    // Smallest squared RGB distance; a tie goes to the lower table index.
    int best = 0;
    int bestDistance = 1 << 30;
    for (int i = 0; i < int(kStandardColours.size()); ++i) {
        const Rgb s = kStandardColours[i];
        const int dr = c.r - s.r, dg = c.g - s.g, db = c.b - s.b;
        const int d = dr * dr + dg * dg + db * db;
        if (d == 0) return i;  // frames hold standard colours almost always
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}
