// The main window at the scale the run was started with (QT_SCALE_FACTOR;
// ctest runs this at 1, 1.25, 1.5, 1.75 and 2): grabbed in device pixels,
// the window is whole, the enlarged grid's lines are of one width and its
// cells of one size, and a click at the middle of each drawn cell paints
// that cell.
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>
#include <set>

#include "FakeServices.h"
#include "core/Canvas.h"
#include "ui/ImageView.h"
#include "ui/main.h"

namespace {

constexpr QRgb kGridRgb = 0xc8c8c8;

// The widths of the runs of one colour along a row of the image.
std::vector<std::pair<QRgb, int>> Runs(const QImage& image, int x, int y, int count) {
    std::vector<std::pair<QRgb, int>> runs;
    for (; count-- > 0; ++x) {
        const QRgb c = image.pixel(x, y) & 0xffffff;
        if (!runs.empty() && runs.back().first == c) ++runs.back().second;
        else runs.push_back({c, 1});
    }
    return runs;
}

TEST(ScaledWindow, GridHasEvenLinesAndCellsAndClicksHitTheDrawnCells) {
    test::FakeServices services;
    TFrmMain window{services};
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const double scale = window.devicePixelRatioF();
    EXPECT_EQ(window.width() * scale, std::round(window.width() * scale));
    EXPECT_EQ(window.height() * scale, std::round(window.height() * scale));

    QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("PnlRed")), Qt::LeftButton);
    ImageView* surface = window.ImgDrawSurface;
    const QPoint origin = surface->mapTo(&window, QPoint());
    // Through the middle of row 9, in device pixels, inside the outline.
    const int left = int(std::round(origin.x() * scale)) + 1, row = int(std::round((origin.y() + 179.5) * scale));
    const auto runs = Runs(window.grab().toImage(), left, row, int(std::round(337 * scale)) - 2);

    std::set<int> lines, cells;
    double x = left;
    int column = 0;
    for (size_t i = 0; i < runs.size(); x += runs[i++].second) {
        if (runs[i].first == kGridRgb) {
            lines.insert(runs[i].second);
            ++column;
            continue;
        }
        if (i > 0 && i + 1 < runs.size()) cells.insert(runs[i].second);
        const QPointF middle = QPointF(x + runs[i].second / 2.0, row + 0.5) / scale - QPointF(origin);
        QTest::mouseClick(surface, Qt::LeftButton, {}, middle.toPoint());
        EXPECT_EQ(window.Canvas().bitmap().at(column, 8), kStandardColours[kRed]) << "column " << column + 1;
    }
    EXPECT_EQ(column, 15);
    EXPECT_EQ(lines, std::set<int>{std::max(1, int(scale))});
    EXPECT_EQ(cells.size(), 1u);
    std::printf("scale %g: window %gx%g device pixels, lines %d, cells %d\n", scale, window.width() * scale,
                window.height() * scale, *lines.begin(), *cells.begin());
}

}  // namespace
