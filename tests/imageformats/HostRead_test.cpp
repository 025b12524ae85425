// The one read every host shares: what a failure becomes, in UTF-8 whatever
// the file or the path held.
#include <gtest/gtest.h>

#include "builders/RiffBuilder.h"
#include "builders/ZNBuilder.h"
#include "core/HostRead.h"

using namespace test;

TEST(ReadForHost, TurnsEveryFailureIntoAMessageAndACauseInUtf8) {
    using Kind = HostFailure::Kind;
    const struct {
        HostRead read;
        Kind kind;
        std::string message, cause;
    } cases[] = {
        {ReadForHost("/nonexistent/\xE9.zn", {}), Kind::CannotOpen, "Cannot open file /nonexistent/\u00E9.zn", "No such file or directory"},
        {ReadForHost(ZNBuilder().legacyHeader("1.0", "318", "5", "\xE9", "").payload(), {}), Kind::Damaged,
         "'\u00E9' is not a valid integer value", "'\u00E9' is not a valid integer value"},
        {ReadForHost(Text("RIFF"), {}), Kind::Damaged, "error", "not a ZN file, or its compressed data is damaged"},
        {{std::nullopt, *CheckHostSize(kMaxZNFile + 1)}, Kind::Damaged, "Stream read error",
         "the file holds more than " + std::to_string(kMaxZNFile) + " bytes"},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.read.animation) << c.message;
        EXPECT_EQ(c.read.failure.kind, c.kind) << c.message;
        EXPECT_EQ(c.read.failure.message, c.message);
        EXPECT_EQ(c.read.failure.cause, c.cause);
    }
}
