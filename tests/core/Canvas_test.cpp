#include "core/Canvas.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

constexpr Rgb kButtonFace{212, 208, 200};
constexpr Rgb kPureRed = kStandardColours[kRed];
constexpr Rgb kPureBlue = kStandardColours[kBlue];
constexpr Rgb kPureBlack = kStandardColours[kBlack];
constexpr Rgb kPureWhite = kStandardColours[kWhite];

// The enlarged view as it must look for a bitmap: 20×20 cell insides, grid
// lines at multiples of 21, the key-colour outline at 0 and 336.
Picture ExpectedEnlarged(const Picture& bitmap) {
    Picture view(337, 337);
    for (int y = 0; y < 337; ++y)
        for (int x = 0; x < 337; ++x) {
            Rgb c;
            if (x == 0 || y == 0 || x == 336 || y == 336)
                c = kKeyColour;
            else if (x % 21 == 0 || y % 21 == 0)
                c = kGridColour;
            else
                c = bitmap.at(x / 21, y / 21);
            view.set(x, y, c);
        }
    return view;
}

Picture ExpectedActual(const Picture& bitmap) {
    Picture view(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgb c = bitmap.at(x, y);
            view.set(x, y, c == kKeyColour ? kButtonFace : c);
        }
    return view;
}

// Both views agree with the working bitmap, and a redraw would change nothing.
void ExpectViewsShowBitmap(TFrameCanvas& canvas) {
    ASSERT_EQ(canvas.enlargedView(), ExpectedEnlarged(canvas.bitmap()));
    ASSERT_EQ(canvas.actualView(), ExpectedActual(canvas.bitmap()));
    const Picture enlarged = canvas.enlargedView(), actual = canvas.actualView();
    canvas.RedrawCanvas();
    EXPECT_EQ(canvas.enlargedView(), enlarged);
    EXPECT_EQ(canvas.actualView(), actual);
}

// A position inside the painted square of a cell, clear of its hit-area edges.
int Inside(int cell) { return 21 * (cell - 1) + 10; }

// ---- Clearing and redrawing ---------------------------------------------

TEST(CanvasRedraw, ClearedCanvasShowsKeyCellsGridAndButtonFace) {
    TFrameCanvas canvas(kButtonFace);
    canvas.bitmap().set(4, 4, kPureRed);
    canvas.ClearCanvas();
    canvas.RedrawCanvas();
    EXPECT_EQ(canvas.bitmap(), Picture(16, 16, kKeyColour));
    EXPECT_EQ(canvas.actualView(), Picture(16, 16, kButtonFace));
    const Picture& view = canvas.enlargedView();
    ASSERT_EQ(view.width(), 337);
    ASSERT_EQ(view.height(), 337);
    for (int i = 1; i <= 15; ++i) {
        EXPECT_EQ(view.at(21 * i, 100), kGridColour);
        EXPECT_EQ(view.at(100, 21 * i), kGridColour);
    }
    EXPECT_EQ(view.at(0, 100), kKeyColour);
    EXPECT_EQ(view.at(336, 336), kKeyColour);
    EXPECT_EQ(view.at(1, 1), kKeyColour);
    EXPECT_EQ(view.at(335, 335), kKeyColour);
    ExpectViewsShowBitmap(canvas);
}

TEST(CanvasRedraw, NewCanvasIsClearedAndDrawn) {
    TFrameCanvas canvas(kButtonFace);
    EXPECT_EQ(canvas.bitmap(), Picture(16, 16, kKeyColour));
    ExpectViewsShowBitmap(canvas);
}

TEST(CanvasRedraw, ClearDoesNotTouchTheViews) {
    TFrameCanvas canvas(kButtonFace);
    canvas.PlotCell(Inside(2), Inside(2), kPureRed, false);
    const Picture enlarged = canvas.enlargedView(), actual = canvas.actualView();
    canvas.ClearCanvas();
    EXPECT_EQ(canvas.enlargedView(), enlarged);
    EXPECT_EQ(canvas.actualView(), actual);
}

TEST(CanvasRedraw, EveryPixelOfALoadedFrameIsShown) {
    TFrameCanvas canvas(kButtonFace);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            canvas.bitmap().set(x, y, (x + y) % 5 == 0 ? kKeyColour : kStandardColours[size_t(x ^ y)]);
    canvas.RedrawCanvas();
    ExpectViewsShowBitmap(canvas);
}

TEST(CanvasRedraw, ButtonFaceChangeShowsAtTheNextRedraw) {
    TFrameCanvas canvas(kButtonFace);
    canvas.setButtonFace(kPureBlue);
    EXPECT_EQ(canvas.actualView().at(0, 0), kButtonFace);
    canvas.RedrawCanvas();
    EXPECT_EQ(canvas.actualView(), Picture(16, 16, kPureBlue));
}

TEST(CanvasRedraw, BitmapOfAnotherSizeIsScaledToTheFrame) {
    TFrameCanvas canvas(kButtonFace);
    Picture large(32, 32, kPureBlue);
    large.set(31, 31, kPureRed);  // sampled by no frame pixel
    large.set(30, 0, kPureRed);
    canvas.bitmap() = large;
    canvas.RedrawCanvas();
    Picture expected(16, 16, kPureBlue);
    expected.set(15, 0, kPureRed);
    EXPECT_EQ(canvas.bitmap(), expected);
    ExpectViewsShowBitmap(canvas);
}

TEST(CanvasRedraw, ReportsTheSquaresThatChanged) {
    TFrameCanvas canvas(kButtonFace);
    canvas.TakeChanges();
    canvas.bitmap().set(15, 0, kPureRed);
    canvas.bitmap().set(14, 1, kPureRed);
    canvas.RedrawCanvas();
    const TCanvasChanges changes = canvas.TakeChanges();
    EXPECT_EQ(changes.enlarged, (TPixelRect{295, 1, 41, 41}));
    EXPECT_EQ(changes.actual, (TPixelRect{0, 0, 16, 16}));

    canvas.RedrawCanvas();
    EXPECT_TRUE(canvas.TakeChanges().enlarged.empty());
}

// ---- PointToCell ---------------------------------------------------------

TEST(PointToCell, BoundariesOfTheHitAreas) {
    TFrameCanvas canvas(kButtonFace);
    const std::pair<int, int> cases[] = {
        {0, 1}, {21, 1}, {22, 1}, {23, 2}, {42, 2}, {43, 2}, {44, 3},
        {316, 15}, {317, 16}, {336, 16},
    };
    for (auto [position, cell] : cases) {
        EXPECT_EQ(canvas.PointToCell(position, 0).column, cell) << "x " << position;
        EXPECT_EQ(canvas.PointToCell(0, position).row, cell) << "y " << position;
    }
}

TEST(PointToCell, EveryColumnHitAreaIsShiftedByOneToTwoPixels) {
    TFrameCanvas canvas(kButtonFace);
    for (int x = 0; x <= 400; ++x) {
        int expected = 16;
        if (x <= 22) expected = 1;
        for (int c = 2; c <= 15; ++c)
            if (x >= 21 * c - 19 && x <= 21 * c + 1) expected = c;
        ASSERT_EQ(canvas.PointToCell(x, x), (TCell{expected, expected})) << x;
    }
}

TEST(PointToCell, PositionsOutsideTheViewClampToTheEdgeCells) {
    TFrameCanvas canvas(kButtonFace);
    EXPECT_EQ(canvas.PointToCell(-1, -1), (TCell{1, 1}));
    EXPECT_EQ(canvas.PointToCell(-5000, 5000), (TCell{1, 16}));
    EXPECT_EQ(canvas.PointToCell(INT_MAX, INT_MIN), (TCell{16, 1}));
    EXPECT_EQ(canvas.PointToCell(INT_MIN, INT_MAX), (TCell{1, 16}));
}

TEST(PointToCell, CoordsTextIsColumnThenRow) {
    EXPECT_EQ(CoordsText({3, 12}), "Coords: 3, 12");
}

// ---- PlotCell ------------------------------------------------------------

TEST(PlotCell, PaintsOnePixelOneSquareAndNothingElse) {
    TFrameCanvas canvas(kButtonFace);
    const Picture before = canvas.enlargedView();
    canvas.PlotCell(43, 317, kPureRed, false);  // the hit area of column 2, row 16

    EXPECT_EQ(canvas.bitmap().at(1, 15), kPureRed);
    EXPECT_EQ(canvas.actualView().at(1, 15), kPureRed);
    const Picture& view = canvas.enlargedView();
    for (int y = 0; y < 337; ++y)
        for (int x = 0; x < 337; ++x) {
            const bool inSquare = x >= 22 && x <= 41 && y >= 316 && y <= 335;
            ASSERT_EQ(view.at(x, y), inSquare ? kPureRed : before.at(x, y)) << x << "," << y;
        }
    ExpectViewsShowBitmap(canvas);
}

TEST(PlotCell, CornerCellsLeaveGridAndOutlineAlone) {
    TFrameCanvas canvas(kButtonFace);
    canvas.PlotCell(0, 0, kPureBlack, false);
    canvas.PlotCell(336, 336, kPureBlue, false);
    canvas.PlotCell(336, 0, kPureWhite, false);
    EXPECT_EQ(canvas.enlargedView().at(1, 1), kPureBlack);
    EXPECT_EQ(canvas.enlargedView().at(335, 335), kPureBlue);
    ExpectViewsShowBitmap(canvas);
}

TEST(PlotCell, EraseShowsKeyColourInTheSquareAndButtonFaceAtActualSize) {
    TFrameCanvas canvas(kButtonFace);
    canvas.bitmap().fill(kPureRed);
    canvas.RedrawCanvas();
    canvas.PlotCell(Inside(5), Inside(7), kPureBlue, true);
    EXPECT_EQ(canvas.bitmap().at(4, 6), kKeyColour);
    EXPECT_EQ(canvas.actualView().at(4, 6), kButtonFace);
    EXPECT_EQ(canvas.enlargedView().at(Inside(5), Inside(7)), kKeyColour);
    ExpectViewsShowBitmap(canvas);
}

TEST(PlotCell, ReportsOnlyTheChangedSquare) {
    TFrameCanvas canvas(kButtonFace);
    canvas.TakeChanges();
    canvas.PlotCell(Inside(3), Inside(2), kPureRed, false);
    const TCanvasChanges changes = canvas.TakeChanges();
    EXPECT_EQ(changes.enlarged, (TPixelRect{43, 22, 20, 20}));
    EXPECT_EQ(changes.actual, (TPixelRect{2, 1, 1, 1}));

    canvas.PlotCell(Inside(3) + 5, Inside(2), kPureRed, false);
    const TCanvasChanges again = canvas.TakeChanges();
    EXPECT_TRUE(again.enlarged.empty());
    EXPECT_TRUE(again.actual.empty());
}

TEST(PlotCell, ChangesOfSeveralPlotsAreUnited) {
    TFrameCanvas canvas(kButtonFace);
    canvas.TakeChanges();
    canvas.PlotCell(Inside(1), Inside(1), kPureRed, false);
    canvas.PlotCell(Inside(3), Inside(2), kPureRed, false);
    EXPECT_EQ(canvas.TakeChanges().enlarged, (TPixelRect{1, 1, 62, 41}));
}

// ---- FloodFillCell -------------------------------------------------------

// White, with a black diagonal from (0,3) to (3,0) cutting off the corner.
void DrawDiagonal(TFrameCanvas& canvas) {
    canvas.bitmap().fill(kPureWhite);
    for (int i = 0; i <= 3; ++i) canvas.bitmap().set(i, 3 - i, kPureBlack);
}

TEST(FloodFillCell, DoesNotPassThroughADiagonalGap) {
    TFrameCanvas canvas(kButtonFace);
    DrawDiagonal(canvas);
    canvas.FloodFillCell(Inside(1), Inside(1), kPureRed, false);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgb expected = x + y < 3 ? kPureRed : x + y == 3 ? kPureBlack : kPureWhite;
            ASSERT_EQ(canvas.bitmap().at(x, y), expected) << x << "," << y;
        }
    ExpectViewsShowBitmap(canvas);
}

TEST(FloodFillCell, PixelsTouchingOnlyAtACornerAreNotFilled) {
    TFrameCanvas canvas(kButtonFace);
    DrawDiagonal(canvas);
    canvas.FloodFillCell(Inside(1), Inside(4), kPureRed, false);  // pixel (0,3)
    EXPECT_EQ(canvas.bitmap().at(0, 3), kPureRed);
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(canvas.bitmap().at(i, 3 - i), kPureBlack);
}

TEST(FloodFillCell, EraseEmptiesTheRegion) {
    TFrameCanvas canvas(kButtonFace);
    DrawDiagonal(canvas);
    canvas.FloodFillCell(Inside(16), Inside(16), kPureRed, true);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(canvas.bitmap().at(x, y), x + y > 3 ? kKeyColour : x + y == 3 ? kPureBlack : kPureWhite);
    ExpectViewsShowBitmap(canvas);
}

TEST(FloodFillCell, SameColourChangesNothing) {
    TFrameCanvas canvas(kButtonFace);
    DrawDiagonal(canvas);
    canvas.RedrawCanvas();
    const Picture before = canvas.bitmap();
    canvas.FloodFillCell(Inside(9), Inside(9), kPureWhite, false);
    EXPECT_EQ(canvas.bitmap(), before);
    ExpectViewsShowBitmap(canvas);
}

// ---- Mouse ---------------------------------------------------------------

TEST(CanvasMouse, PressDrawsAtOnceAndReleaseEndsTheStroke) {
    TFrameCanvas canvas(kButtonFace);
    EXPECT_EQ(canvas.MouseDown(TMouseButton::Left, false, Inside(3), Inside(12)), (TCell{3, 12}));
    EXPECT_TRUE(canvas.Drawing());
    EXPECT_FALSE(canvas.Erasing());
    EXPECT_EQ(canvas.bitmap().at(2, 11), kPureBlack);  // the starting colour
    canvas.MouseMove(false, Inside(4), Inside(12));
    EXPECT_EQ(canvas.bitmap().at(3, 11), kPureBlack);
    canvas.MouseUp();
    EXPECT_FALSE(canvas.Drawing());
    ExpectViewsShowBitmap(canvas);
}

TEST(CanvasMouse, MoveWithoutAButtonOnlyReportsTheCell) {
    TFrameCanvas canvas(kButtonFace);
    canvas.TakeChanges();
    EXPECT_EQ(CoordsText(canvas.MouseMove(false, 0, 336)), "Coords: 1, 16");
    EXPECT_EQ(canvas.bitmap(), Picture(16, 16, kKeyColour));
    EXPECT_TRUE(canvas.TakeChanges().enlarged.empty());
}

TEST(CanvasMouse, StrokeBeyondTheEdgesPaintsTheEdgeCells) {
    TFrameCanvas canvas(kButtonFace);
    canvas.MouseDown(TMouseButton::Middle, false, Inside(8), Inside(8));
    canvas.MouseMove(false, 900, Inside(8));
    canvas.MouseMove(false, -900, Inside(8));
    canvas.MouseUp();
    EXPECT_EQ(canvas.bitmap().at(15, 7), kPureBlack);
    EXPECT_EQ(canvas.bitmap().at(0, 7), kPureBlack);
}

TEST(CanvasMouse, RightButtonErasesUntilReleased) {
    TFrameCanvas canvas(kButtonFace);
    canvas.bitmap().fill(kPureRed);
    canvas.RedrawCanvas();
    canvas.MouseDown(TMouseButton::Right, false, Inside(2), Inside(2));
    EXPECT_TRUE(canvas.Erasing());
    EXPECT_EQ(canvas.bitmap().at(1, 1), kKeyColour);
    // A left press during the stroke keeps erasing; releasing either ends it.
    canvas.MouseDown(TMouseButton::Left, false, Inside(3), Inside(2));
    EXPECT_EQ(canvas.bitmap().at(2, 1), kKeyColour);
    canvas.MouseUp();
    EXPECT_FALSE(canvas.Drawing());
    EXPECT_FALSE(canvas.Erasing());

    canvas.MouseDown(TMouseButton::Left, false, Inside(4), Inside(2));
    canvas.MouseUp();
    EXPECT_EQ(canvas.bitmap().at(3, 1), kPureBlack);
    ExpectViewsShowBitmap(canvas);
}

struct StrokeCase {
    TCell from, to;
    std::vector<TCell> painted;
};

TEST(CanvasMouse, MovePaintsTheLineFromThePreviousCell) {
    const StrokeCase cases[] = {
        {{1, 1}, {7, 3}, {{1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 2}, {6, 3}, {7, 3}}},
        {{4, 7}, {2, 1}, {{2, 1}, {2, 2}, {3, 3}, {3, 4}, {3, 5}, {4, 6}, {4, 7}}},
        {{9, 3}, {9, 6}, {{9, 3}, {9, 4}, {9, 5}, {9, 6}}},
    };
    for (const StrokeCase& c : cases) {
        TFrameCanvas canvas(kButtonFace);
        canvas.MouseDown(TMouseButton::Left, false, Inside(c.from.column), Inside(c.from.row));
        canvas.MouseMove(false, Inside(c.to.column), Inside(c.to.row));
        canvas.MouseUp();
        Picture expected(16, 16, kKeyColour);
        for (TCell cell : c.painted) expected.set(cell.column - 1, cell.row - 1, kPureBlack);
        EXPECT_EQ(canvas.bitmap(), expected) << c.from.column << "," << c.from.row;
        ExpectViewsShowBitmap(canvas);
    }
}

TEST(CanvasMouse, NewStrokeStartsApartFromTheLastOne) {
    TFrameCanvas canvas(kButtonFace);
    canvas.MouseDown(TMouseButton::Left, false, Inside(1), Inside(1));
    canvas.MouseUp();
    canvas.MouseDown(TMouseButton::Left, false, Inside(5), Inside(1));
    EXPECT_EQ(canvas.bitmap().at(2, 0), kKeyColour);
    EXPECT_EQ(canvas.bitmap().at(4, 0), kPureBlack);
}

TEST(CanvasMouse, CtrlFillsAtEveryMove) {
    TFrameCanvas canvas(kButtonFace);
    DrawDiagonal(canvas);
    canvas.SelectColour(2);  // PnlRed
    canvas.MouseDown(TMouseButton::Left, true, Inside(1), Inside(1));
    EXPECT_EQ(canvas.bitmap().at(0, 2), kPureRed);
    EXPECT_EQ(canvas.bitmap().at(5, 5), kPureWhite);
    canvas.MouseMove(true, Inside(9), Inside(9));
    EXPECT_EQ(canvas.bitmap().at(5, 5), kPureRed);
    EXPECT_EQ(canvas.bitmap().at(1, 2), kPureBlack);
    canvas.MouseUp();
    ExpectViewsShowBitmap(canvas);
}

TEST(CanvasMouse, CtrlRightClickEmptiesTheRegion) {
    TFrameCanvas canvas(kButtonFace);
    DrawDiagonal(canvas);
    canvas.MouseDown(TMouseButton::Right, true, Inside(1), Inside(1));
    canvas.MouseUp();
    EXPECT_EQ(canvas.bitmap().at(0, 0), kKeyColour);
    EXPECT_EQ(canvas.bitmap().at(2, 0), kKeyColour);
    EXPECT_EQ(canvas.bitmap().at(9, 9), kPureWhite);
}

// ---- Palette -------------------------------------------------------------

TEST(CanvasPalette, SelectsTheColourOfAnEntry) {
    TFrameCanvas canvas(kButtonFace);
    EXPECT_EQ(canvas.currentColour(), kPureBlack);
    canvas.SelectColour(1);
    EXPECT_EQ(canvas.currentColour(), (Rgb{192, 192, 192}));
}

TEST(CanvasPalette, HoldsEveryStandardColourOnceAndNeverTheKey) {
    for (Rgb standard : kStandardColours) {
        int count = 0;
        for (Rgb colour : kPaletteColours) count += colour == standard;
        EXPECT_EQ(count, 1);
    }
}

TEST(CanvasPalette, IndexOutsideThePaletteChangesNothing) {
    TFrameCanvas canvas(kButtonFace);
    canvas.SelectColour(5);
    canvas.SelectColour(16);
    EXPECT_EQ(canvas.currentColour(), kPureBlue);
}

}  // namespace
