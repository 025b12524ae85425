// The frames as an icon theme: one icon a distinct frame, at every size
// panels look up, and none past the most distinct frames a theme holds.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "tray/FrameTheme.h"

namespace {

QImage Frame(int n) {
    QImage frame(16, 16, QImage::Format_ARGB32);
    frame.fill(qRgb(n % 256, n / 256, 0));
    return frame;
}

std::vector<int> Distinct(size_t count) {
    std::vector<int> frames(count);
    for (size_t i = 0; i < count; ++i) frames[i] = int(i);
    return frames;
}

TEST(FrameTheme, RepeatedFramesShareAnIconAndTooManyDistinctFramesGetNoTheme) {
    const QTemporaryDir folder;
    const struct { std::vector<int> frames; qsizetype icons; } cases[] = {
        {{0, 1, 0, 2, 1}, 3},
        {std::vector<int>(FrameTheme::kMostFrames, 7), 1},
        {Distinct(FrameTheme::kMostFrames), qsizetype(FrameTheme::kMostFrames)},
        {Distinct(FrameTheme::kMostFrames + 1), 0},
    };
    for (const auto& c : cases) {
        std::vector<QImage> frames;
        for (int n : c.frames) frames.push_back(Frame(n));
        FrameTheme theme(folder.filePath(QStringLiteral("theme")));
        EXPECT_EQ(theme.write(frames), c.icons > 0);
        for (const char* size : {"16x16", "22x22", "24x24", "32x32", "48x48", "64x64"})
            EXPECT_EQ(QDir(theme.themePath() + "/hicolor/" + size).entryList(QDir::Files).size(), c.icons) << size;
        if (c.icons == 0) continue;
        ASSERT_EQ(theme.names().size(), qsizetype(frames.size()));
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_EQ(theme.names()[qsizetype(i)], FrameIconName(frames[i]));
    }
}

}  // namespace
