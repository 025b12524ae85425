#include "core/Document.h"

#include <gtest/gtest.h>

#include "builders/IconBuilder.h"

namespace {

std::unique_ptr<TFrameIcon> Icon(Rgb colour) {
    return TFrameIcon::Built(test::MakeImage(16, 16, [&](int, int) { return test::Opaque(colour); }));
}

Rgb FirstPixel(const TDocument& d, int n) { return d.FrameAt(n).icon->image().at(0, 0).rgb(); }

TEST(Document, NewDocumentHasOneEmptyFrameAndNoInformation) {
    TDocument d;
    d.title = "t";
    d.categoryIndex = 3;
    d.AddFrame();
    d.NewDocument();
    ASSERT_EQ(d.Count(), 1);
    EXPECT_TRUE(d.FrameAt(1).icon->empty());
    EXPECT_EQ(d.FrameAt(1).rate, 50);
    EXPECT_EQ(d.title, "");
    EXPECT_EQ(d.categoryIndex, kNoCategory);
}

TEST(Document, AddFrameAppendsAndReturnsTheNewCount) {
    TDocument d;
    EXPECT_EQ(d.AddFrame(), 2);
    EXPECT_EQ(d.AddFrame(), 3);
    EXPECT_EQ(d.FrameAt(3).rate, 50);
}

TEST(Document, RemoveFrameKeepsTheLastFrameAndShiftsLaterOnes) {
    TDocument d;
    d.CommitFrame(1, Icon(kStandardColours[kRed]), 1);
    d.RemoveFrame(1);
    EXPECT_EQ(d.Count(), 1) << "the only frame is never removed";

    d.AppendFrame(Icon(kStandardColours[kLime]), 2);
    d.AppendFrame(Icon(kStandardColours[kBlue]), 3);
    d.RemoveFrame(1);
    ASSERT_EQ(d.Count(), 2);
    EXPECT_EQ(d.FrameAt(1).rate, 2);
    EXPECT_EQ(FirstPixel(d, 1), kStandardColours[kLime]);
    d.RemoveFrame(2);
    ASSERT_EQ(d.Count(), 1);
    EXPECT_EQ(d.FrameAt(1).rate, 2);
}

TEST(Document, CommitFrameReplacesIconAndRate) {
    TDocument d;
    d.AddFrame();
    d.CommitFrame(2, Icon(kStandardColours[kNavy]), 12);
    EXPECT_EQ(d.FrameAt(2).rate, 12);
    EXPECT_EQ(FirstPixel(d, 2), kStandardColours[kNavy]);
    EXPECT_TRUE(d.FrameAt(1).icon->empty());
}

TEST(Document, ClearDocumentLeavesNoFrames) {
    TDocument d;
    d.ClearDocument();
    EXPECT_EQ(d.Count(), 0);
}

TEST(Document, BlankMeansOnlyCharactersUpToSpace) {
    EXPECT_TRUE(IsBlank(""));
    EXPECT_TRUE(IsBlank(" \t\r\n\x01"));
    EXPECT_FALSE(IsBlank(" a "));
    EXPECT_FALSE(IsBlank("\xA0"));
}

}  // namespace
