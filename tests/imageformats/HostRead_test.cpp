// The one read every host shares: how much of a file each extent reads, and
// what a failure becomes, in UTF-8 whatever the file or the path held.
#include <gtest/gtest.h>

#include "builders/IconBuilder.h"
#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/HostRead.h"

using namespace test;

TEST(ReadForHost, ReadsAsMuchOfTheFileAsItsExtentAsks) {
    const ZNBuilder first = ZNBuilder().currentHeader(2).frame(6, BuildIcon(SampleFrame()));
    const auto whole = ZNBuilder(first).frame(9, BuildIcon(SampleFrame())).compressed();
    // The second frame's header, and nothing of its icon.
    const auto cut = ZNBuilder(first).i32(9).i32(318).compressed();
    const struct {
        const std::vector<uint8_t>& file;
        HostExtent extent;
        int frames;  // -1: the read fails
        std::vector<int32_t> rates;
    } cases[] = {
        {whole, HostExtent::Header, 0, {6, 9}},     {whole, HostExtent::FirstFrame, 1, {6}},
        {whole, HostExtent::Whole, 2, {6, 9}},      {cut, HostExtent::Header, -1, {}},
        {cut, HostExtent::FirstFrame, 1, {6}},      {cut, HostExtent::Whole, -1, {}},
    };
    for (const auto& c : cases) {
        const HostRead read = ReadForHost(c.file, {HostFormat::ZN, c.extent});
        ASSERT_EQ(read.animation.has_value(), c.frames >= 0) << read.failure.cause;
        if (!read.animation) continue;
        EXPECT_EQ(read.animation->document.Count(), c.frames);
        EXPECT_EQ(read.animation->rates, c.rates);
    }
}

TEST(ReadForHost, TurnsEveryFailureIntoAMessageAndACauseInUtf8) {
    using Kind = HostFailure::Kind;
    const auto legacy = ZNBuilder().legacyHeader("1.0", "318", "5", "\xE9", "").payload();
    const struct {
        const char* name;
        HostRead read;
        Kind kind;
        std::string message, cause;
    } cases[] = {
        {"a missing file named in Latin-1", ReadForHost("/nonexistent/\xE9.zn", {}), Kind::CannotOpen,
         "Cannot open file /nonexistent/\u00E9.zn", "No such file or directory"},
        {"a legacy count in Latin-1", ReadForHost(legacy, {}), Kind::Damaged, "'\u00E9' is not a valid integer value",
         "'\u00E9' is not a valid integer value"},
        {"no zlib stream", ReadForHost(Text("RIFF"), {}), Kind::Damaged, "error",
         "not a ZN file, or its compressed data is damaged"},
        {"longer than any ZN file", {std::nullopt, *CheckHostSize(kMaxZNFile + 1)}, Kind::Damaged,
         "Stream read error", "the file holds more than " + std::to_string(kMaxZNFile) + " bytes"},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.read.animation) << c.name;
        EXPECT_EQ(c.read.failure.kind, c.kind) << c.name;
        EXPECT_EQ(c.read.failure.message, c.message) << c.name;
        EXPECT_EQ(c.read.failure.cause, c.cause) << c.name;
    }
}
