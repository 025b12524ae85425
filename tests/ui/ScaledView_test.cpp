// The main window at the scale the run was started with (QT_SCALE_FACTOR;
// ctest runs these at 1, 1.25, 1.5, 1.75 and 2): the enlarged grid, grabbed
// in device pixels, has lines of one width and cells of one size, shows no
// colour but its own, and a click lands in the cell drawn under it.
#include <QTest>
#include <gtest/gtest.h>
#include <cmath>
#include <set>

#include "FakeServices.h"
#include "core/Canvas.h"
#include "ui/ImageView.h"
#include "ui/main.h"

namespace {

struct ColourRun {
    QRgb colour;
    int length;
};

// The runs of colour along a row (or a column) of the image, from..to.
std::vector<ColourRun> Runs(const QImage& image, QPoint from, QPoint step, int count) {
    std::vector<ColourRun> runs;
    for (QPoint p = from; count-- > 0; p += step) {
        const QRgb c = image.pixel(p) & 0xffffff;
        if (!runs.empty() && runs.back().colour == c) ++runs.back().length;
        else runs.push_back({c, 1});
    }
    return runs;
}

// Widths of the grid-coloured runs and of the runs between them.
void ExpectEven(const std::vector<ColourRun>& runs, int& line, int& cell) {
    std::set<int> lines, cells;
    std::vector<size_t> at;
    for (size_t i = 0; i < runs.size(); ++i)
        if (runs[i].colour == 0xc8c8c8) at.push_back(i), lines.insert(runs[i].length);
    ASSERT_EQ(at.size(), 15u);
    for (size_t k = 0; k + 1 < at.size(); ++k) {
        int between = 0;
        for (size_t i = at[k] + 1; i < at[k + 1]; ++i) between += runs[i].length;
        cells.insert(between);
    }
    EXPECT_EQ(lines.size(), 1u) << "line widths differ";
    EXPECT_EQ(cells.size(), 1u) << "cell sizes differ";
    line = *lines.begin();
    cell = *cells.begin();
}

TEST(ScaledWindow, GridHasEvenLinesAndCellsInDevicePixels) {
    test::FakeServices services;
    TFrmMain window{services};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const double scale = window.devicePixelRatioF();
    // Its size is whole in device pixels.
    EXPECT_DOUBLE_EQ(window.width() * scale, std::round(window.width() * scale));
    EXPECT_DOUBLE_EQ(window.height() * scale, std::round(window.height() * scale));

    QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("PnlRed")), Qt::LeftButton);
    ImageView* surface = window.ImgDrawSurface;
    const QImage before = window.grab().toImage();
    const QPoint origin = surface->mapTo(&window, QPoint());
    const auto deviceToLocal = [&](QPointF d) { return (d / scale - QPointF(origin)).toPoint(); };

    // Along the middle row and column of the view, before painting.
    const int middle = int(std::round((origin.y() + 337 / 2.0 + 11) * scale));
    const int left = int(std::round(origin.x() * scale)), top = int(std::round(origin.y() * scale));
    const int length = int(std::round(337 * scale)) - 2;
    int line = 0, cell = 0, vline = 0, vcell = 0;
    ExpectEven(Runs(before, {left + 1, middle}, {1, 0}, length), line, cell);
    ExpectEven(Runs(before, {int(std::round((origin.x() + 337 / 2.0 + 11) * scale)), top + 1}, {0, 1}, length), vline, vcell);
    EXPECT_EQ(line, vline);
    EXPECT_EQ(cell, vcell);
    EXPECT_EQ(line, std::max(1, int(scale)));
    std::printf("scale %g: window %dx%d device pixels, grid lines %d, cells %d\n", scale,
                int(std::round(window.width() * scale)), int(std::round(window.height() * scale)), line, cell);

    // Each of the 16 columns is hit at the middle of its drawn square.
    int x = left, column = 0;
    for (const ColourRun& run : Runs(before, {left, middle}, {1, 0}, length + 2)) {
        if (run.colour == 0xc8c8c8) ++column;
        else QTest::mouseClick(surface, Qt::LeftButton, {}, deviceToLocal({x + run.length / 2.0, middle + 0.5}));
        x += run.length;
    }
    for (int c = 0; c < 16; ++c) EXPECT_EQ(window.Canvas().bitmap().at(c, 8), kStandardColours[kRed]) << "column " << c + 1;

    // The painted row is as even as the grid, and the view shows no colour
    // but the grid's, the key colour and red.
    const QImage after = window.grab().toImage();
    std::set<QRgb> colours;
    for (int y = top + 1; y < top + length; ++y)
        for (int dx = left + 1; dx < left + length; ++dx) colours.insert(after.pixel(dx, y) & 0xffffff);
    EXPECT_EQ(colours, (std::set<QRgb>{0xc8c8c8, 0xf0f0f0, 0xff0000}));
    std::vector<int> red;
    for (const ColourRun& run : Runs(after, {left, middle}, {1, 0}, length + 2))
        if (run.colour == 0xff0000) red.push_back(run.length);
    EXPECT_EQ(red, std::vector<int>(16, cell));
}

}  // namespace
