#include "ui/preview.h"

#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <vector>

#include "core/Conversion.h"
#include "core/Document.h"
#include "ui/ImageView.h"
#include "ui/Panel.h"
#include "ui/PictureImage.h"

namespace {

// A document whose frame i (1-based) is a solid standard colour with a
// transparent top-left pixel, at the given rates.
TDocument Animation(const std::vector<int32_t>& rates) {
    TDocument document;
    document.ClearDocument();
    for (size_t i = 0; i < rates.size(); ++i) {
        Picture picture(16, 16, kStandardColours[i + 1]);
        picture.set(0, 0, kKeyColour);
        document.AppendFrame(MakeFrameIcon(picture), rates[i]);
    }
    return document;
}

class Preview : public ::testing::Test {
protected:
    TDocument document = Animation({10, 10, 10});
    TFrmPreview preview{document};

    // The frame number (1-based) the image shows, or 0 when nothing was drawn.
    int Shown() const {
        const Picture* picture = preview.Image1->picture();
        if (!picture) return 0;
        for (int i = 0; i < document.Count(); ++i)
            if (picture->at(5, 5) == kStandardColours[size_t(i) + 1]) return i + 1;
        return -1;
    }

    // The frame shown after each of n ticks.
    std::vector<int> Ticks(int n) {
        std::vector<int> shown;
        for (int i = 0; i < n; ++i) {
            preview.Timer1Timer();
            shown.push_back(Shown());
        }
        return shown;
    }

    void Open() {
        preview.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    }
};

// ---- Window ----------------------------------------------------------------

TEST_F(Preview, IsASmallToolWindowOnTop) {
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Preview"));
    EXPECT_TRUE((preview.windowFlags() & Qt::WindowType_Mask) == Qt::Tool);
    EXPECT_TRUE(preview.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(preview.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    Open();
    EXPECT_EQ(preview.frameGeometry().size(), QSize(70, 78));
}

TEST_F(Preview, EveryShowingHasTheSameOuterSizeCentredOnTheScreen) {
    std::vector<QRect> frames;
    for (int i = 0; i < 3; ++i) {
        Open();
        frames.push_back(preview.frameGeometry());
        preview.close();
    }
    EXPECT_EQ(frames[0].size(), QSize(70, 78));
    EXPECT_EQ(frames[0].center(), preview.screen()->availableGeometry().center());
    EXPECT_EQ(frames[1], frames[0]);
    EXPECT_EQ(frames[2], frames[0]);
}

TEST_F(Preview, PanelFillsTheWindowAndHoldsTheImage) {
    Open();
    EXPECT_EQ(preview.Panel1->geometry(), preview.rect());
    EXPECT_EQ(preview.Image1->geometry(), QRect(24, 16, 16, 16));
    EXPECT_EQ(preview.Image1->parentWidget()->parentWidget(), preview.Panel1);
}

TEST_F(Preview, TimerTicksEvery50MillisecondsOnlyWhileShown) {
    EXPECT_EQ(preview.timer()->interval(), 50);
    EXPECT_FALSE(preview.timer()->isActive());
    Open();
    EXPECT_TRUE(preview.timer()->isActive());
    preview.close();
    EXPECT_FALSE(preview.timer()->isActive());
}

TEST_F(Preview, TimerDrivesPlayback) {
    document = Animation({1});
    Open();
    EXPECT_TRUE(QTest::qWaitFor([this] { return Shown() == 1; }, 5000));
}

// ---- Playback --------------------------------------------------------------

TEST_F(Preview, FirstChangeComesAtTheThirdTickForRate10) {
    Open();
    preview.timer()->stop();
    EXPECT_EQ(Ticks(2), (std::vector<int>{0, 0}));
    EXPECT_EQ(preview.elapsed(), 8);
    EXPECT_EQ(Ticks(1), (std::vector<int>{2}));
    EXPECT_EQ(preview.elapsed(), 1);
    // Later frames of rate 10 stay three ticks: the counter restarts at 1.
    EXPECT_EQ(Ticks(9), (std::vector<int>{2, 2, 3, 3, 3, 1, 1, 1, 2}));
}

TEST_F(Preview, SingleFrameOfRate1IsRedrawnAtEveryTick) {
    document = Animation({1});
    Open();
    preview.timer()->stop();
    for (int i = 0; i < 3; ++i) {
        preview.Timer1Timer();
        EXPECT_EQ(Shown(), 1);
        EXPECT_EQ(preview.frameIndex(), 0);
        EXPECT_EQ(preview.elapsed(), 1);
    }
}

TEST_F(Preview, ShortRatesStayOneTickAndSixStaysTwo) {
    document = Animation({4, 5, 6, 5});
    Open();
    preview.timer()->stop();
    // Rate 4 is up at the first tick; 5 lasts one tick; 6 two.
    EXPECT_EQ(Ticks(5), (std::vector<int>{2, 3, 3, 4, 1}));
}

TEST_F(Preview, NegativeRateStaysOneTick) {
    document = Animation({4, -20, 4});
    Open();
    preview.timer()->stop();
    EXPECT_EQ(Ticks(3), (std::vector<int>{2, 3, 1}));
}

TEST_F(Preview, TransparentPixelsShowTheButtonFace) {
    document = Animation({1});
    Open();
    preview.timer()->stop();
    preview.Timer1Timer();
    ASSERT_NE(preview.Image1->picture(), nullptr);
    EXPECT_EQ(preview.Image1->picture()->at(0, 0), ToRgb(preview.palette().color(QPalette::Button)));
    EXPECT_EQ(ToRgb(preview.Image1->grab().toImage().pixelColor(5, 5)), kStandardColours[1]);
}

TEST_F(Preview, ReopeningStartsAtFrameOneAndKeepsTheLastImageUntilTheFirstChange) {
    Open();
    preview.timer()->stop();
    Ticks(3);
    ASSERT_EQ(Shown(), 2);
    preview.close();
    Open();
    preview.timer()->stop();
    EXPECT_EQ(preview.frameIndex(), 0);
    EXPECT_EQ(preview.elapsed(), 0);
    EXPECT_EQ(Ticks(3), (std::vector<int>{2, 2, 2}));
    EXPECT_EQ(Ticks(3), (std::vector<int>{2, 2, 3}));
}

TEST_F(Preview, FrameCountIsReadAtEveryChange) {
    document = Animation({4, 4});
    Open();
    preview.timer()->stop();
    EXPECT_EQ(Ticks(1), (std::vector<int>{2}));
    Picture picture(16, 16, kStandardColours[3]);
    document.AppendFrame(MakeFrameIcon(picture), 4);
    EXPECT_EQ(Ticks(2), (std::vector<int>{3, 1}));
}

}  // namespace
