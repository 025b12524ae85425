#include "ui/ErrorReport.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorReportText, AddsAFullStopAfterALetter) {
    EXPECT_EQ(ErrorReportText("Cannot create file /tmp/a.zn"), "Cannot create file /tmp/a.zn.");
    EXPECT_EQ(ErrorReportText("Stream read error"), "Stream read error.");
}

TEST(ErrorReportText, AddsAFullStopAfterCharactersThatSortAfterTheFullStop) {
    EXPECT_EQ(ErrorReportText("code 7"), "code 7.");
    EXPECT_EQ(ErrorReportText("path/"), "path/.");
    EXPECT_EQ(ErrorReportText("caf\xC3\xA9"), "caf\xC3\xA9.");
}

TEST(ErrorReportText, KeepsMessagesEndingInTheFullStopOrBefore) {
    EXPECT_EQ(ErrorReportText("This is not a valid ZN File."), "This is not a valid ZN File.");
    EXPECT_EQ(ErrorReportText("Stop!"), "Stop!");
    EXPECT_EQ(ErrorReportText("a,"), "a,");
    EXPECT_EQ(ErrorReportText("'x' "), "'x' ");
    EXPECT_EQ(ErrorReportText("a-"), "a-");
}

TEST(ErrorReportText, EmptyMessageStaysEmpty) { EXPECT_EQ(ErrorReportText(""), ""); }

}  // namespace
