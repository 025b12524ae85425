#include "formats/Colours.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// The rule as stated: smallest squared distance over the sixteen, ties to
// the lower index.
int PlainNearest(Rgb c) {
    int best = 0, bestDistance = INT32_MAX;
    for (int i = 0; i < 16; ++i) {
        const Rgb s = kStandardColours[size_t(i)];
        const int d = (c.r - s.r) * (c.r - s.r) + (c.g - s.g) * (c.g - s.g) + (c.b - s.b) * (c.b - s.b);
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return best;
}

TEST(NearestStandardIndex, AgreesWithTheSixteenWaySearchForEveryColour) {
    int mismatches = 0;
    for (int r = 0; r < 256; ++r)
        for (int g = 0; g < 256; ++g)
            for (int b = 0; b < 256; ++b) {
                const Rgb c{uint8_t(r), uint8_t(g), uint8_t(b)};
                if (NearestStandardIndex(c) != PlainNearest(c) && ++mismatches <= 5)
                    ADD_FAILURE() << r << "," << g << "," << b << ": " << NearestStandardIndex(c) << " not "
                                  << PlainNearest(c);
            }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(NearestStandardIndex({64, 64, 64}), kBlack) << "a tie goes to the lower index";
    EXPECT_EQ(NearestStandardIndex(kKeyColour), kWhite);
}

}  // namespace
