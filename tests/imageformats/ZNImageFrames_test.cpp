// Which files the image loaders claim by content alone: ZN files by their
// whole signature, raw or compressed, and nothing else.
#include <gtest/gtest.h>

#include "builders/GifBuilder.h"
#include "builders/PngBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "imageformats/ZNImageFrames.h"

using namespace test;

TEST(LooksLikeZN, KnowsRawAndCompressedFilesAndNothingElse) {
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
        {"raw, version 2.5", ZNBuilder().currentHeader(1, 2.5).payload(), true},
        {"raw legacy", legacy.payload(), true},
        {"legacy compressed", legacy.compressed(), true},
        {"notes that start ZNOTES", Text("ZNOTES\nbuy milk, 2 eggs and a loaf of bread\n"), false},
        {"ZNFIL with no version", Text("ZNFIL"), false},
        {"ZNFIL with text for a version", Text("ZNFILE listing of 1998\n"), false},
        {"legacy header with a word for its count", ZNBuilder().legacyHeader("1.0", "318", "5", "ab", "").payload(), false},
        {"zlib stream of something else", ZNBuilder::Compress(Text("RIFF....ACONanih")), false},
        {"zlib stream of notes", ZNBuilder::Compress(Text("ZNOTES\nbuy milk\n")), false},
        {"zlib header alone", {compressed.begin(), compressed.begin() + 2}, false},
        {"animated cursor", SampleCursor({BuildIcon(SampleFrame())}), false},
        {"PNG", EncodePng(SampleFrame()), false},
        {"GIF", GifBuilder(16, 16, {{0, 0, 0}}).image(GifRect(0, 0, 16, 16, [](int, int) { return 0; })).bytes(), false},
        {"empty", {}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(LooksLikeZN(c.head), c.zn) << c.name;
}
