// What both image loaders share: how long a frame shows, and which files
// they claim by content alone.
#include <gtest/gtest.h>

#include <climits>

#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "imageformats/ZNImageFrames.h"

using namespace test;

TEST(FrameDelay, IsTheRateInMillisecondsRoundedAndAtLeastOneSixtieth) {
    const std::pair<int32_t, int> cases[] = {
        {6, 100}, {12, 200}, {10, 167}, {1, 17}, {0, 17}, {-5, 17}, {32736, 545600}, {INT32_MAX, INT_MAX},
    };
    for (const auto& [rate, ms] : cases) EXPECT_EQ(FrameDelayMs(rate), ms) << "rate " << rate;
}

TEST(LooksLikeZN, KnowsRawAndCompressedFilesAndNoOtherZlibStream) {
    const ZNBuilder current = ZNBuilder().currentHeader(1).frame(6, BuildIcon(SampleFrame()));
    const ZNBuilder legacy = ZNBuilder().legacyHeader("1.0", "318", "5", "1", "Old");
    const auto compressed = current.compressed();
    const struct {
        const char* name;
        std::vector<uint8_t> head;
        bool zn;
    } cases[] = {
        {"compressed", compressed, true},
        {"compressed fast", current.compressed(1), true},
        {"raw", current.payload(), true},
        {"raw legacy", legacy.payload(), true},
        {"legacy compressed", legacy.compressed(), true},
        {"zlib stream of something else", ZNBuilder::Compress(Text("RIFF....ACONanih")), false},
        {"zlib header alone", {compressed.begin(), compressed.begin() + 2}, false},
        {"animated cursor", Text("RIFF....ACON"), false},
        {"empty", {}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(LooksLikeZN(c.head), c.zn) << c.name;
}
