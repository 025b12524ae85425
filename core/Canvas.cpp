#include "core/Canvas.h"

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <memory>

#include "core/Conversion.h"

std::string CoordsText(TCell cell) {
    return "Coords: " + std::to_string(cell.column) + ", " + std::to_string(cell.row);
}

TPixelRect TPixelRect::united(const TPixelRect& other) const {
    if (other.empty()) return *this;
    if (empty()) return other;
    const int left = std::min(x, other.x), top = std::min(y, other.y);
    const int right = std::max(x + width, other.x + other.width);
    const int bottom = std::max(y + height, other.y + other.height);
    return {left, top, right - left, bottom - top};
}

TFrameCanvas::TFrameCanvas(Rgb buttonFace)
    : m_buttonFace(buttonFace),
      m_bitmap(kFrameSize, kFrameSize, kKeyColour),
      m_enlarged(kEnlargedViewSize, kEnlargedViewSize, kKeyColour),
      m_actual(kFrameSize, kFrameSize, buttonFace) {
    DrawGrid();
    RedrawCanvas();
}

// The view of a bitmap all in the key colour: key-colour squares, the grid
// and the outline. The grid lines and outline never change after this; only
// the 20×20 squares between them do.
void TFrameCanvas::DrawGrid() {
    const int last = kEnlargedViewSize - 1;
    for (int i = 1; i < kFrameSize; ++i)
        for (int v = 0; v <= last; ++v) {
            m_enlarged.set(i * kCellPitch, v, kGridColour);
            m_enlarged.set(v, i * kCellPitch, kGridColour);
        }
    for (int v = 0; v <= last; ++v) {
        m_enlarged.set(v, 0, kKeyColour);
        m_enlarged.set(v, last, kKeyColour);
        m_enlarged.set(0, v, kKeyColour);
        m_enlarged.set(last, v, kKeyColour);
    }
    MarkEnlarged({0, 0, kEnlargedViewSize, kEnlargedViewSize});
}

// Fills the square of working-bitmap pixel (px, py) and reports whether it
// changed. A square is only ever painted whole, so its first pixel tells
// what it shows.
bool TFrameCanvas::PaintSquare(int px, int py, Rgb colour) {
    const int left = px * kCellPitch + 1, top = py * kCellPitch + 1;
    if (m_enlarged.at(left, top) == colour) return false;
    for (int y = top; y < top + kCellPitch - 1; ++y)
        for (int x = left; x < left + kCellPitch - 1; ++x) m_enlarged.set(x, y, colour);
    MarkEnlarged({left, top, kCellPitch - 1, kCellPitch - 1});
    return true;
}

void TFrameCanvas::KeepFrameSize() {
    if (m_bitmap.width() != kFrameSize || m_bitmap.height() != kFrameSize) m_bitmap = ScaleToFrame(m_bitmap);
}

void TFrameCanvas::ClearCanvas() {
    KeepFrameSize();
    m_bitmap.fill(kKeyColour);
}

void TFrameCanvas::RedrawCanvas() {
    KeepFrameSize();
    // The actual-size view goes through a frame icon, as every other place a
    // frame is shown at actual size does.
    const std::unique_ptr<TFrameIcon> icon = MakeFrameIcon(m_bitmap);
    RenderFrameIcon(*icon, m_actual, m_buttonFace);
    MarkActual({0, 0, kFrameSize, kFrameSize});

    // The view is retained and written only by this class, so the grid and
    // outline already stand and only squares showing another colour need
    // painting; the result is the full redraw's, pixel for pixel.
    for (int py = 0; py < kFrameSize; ++py)
        for (int px = 0; px < kFrameSize; ++px) PaintSquare(px, py, m_bitmap.at(px, py));
}

TCell TFrameCanvas::PointToCell(int x, int y) const {
    // c = 16 − ((W − x) div d) with division toward zero, as C++ divides;
    // 64-bit so that any position is safe.
    auto toCell = [](int v) {
        const int64_t cell = kFrameSize - (int64_t(kEnlargedViewSize) - v) / kCellPitch;
        return int(std::clamp<int64_t>(cell, 1, kFrameSize));
    };
    return {toCell(x), toCell(y)};
}

void TFrameCanvas::PlotCell(int x, int y, Rgb colour, bool erasing) {
    KeepFrameSize();
    PaintCell(PointToCell(x, y), colour, erasing);
}

void TFrameCanvas::PaintCell(TCell cell, Rgb colour, bool erasing) {
    const int px = cell.column - 1, py = cell.row - 1;
    const Rgb paint = erasing ? kKeyColour : colour;
    const Rgb shown = erasing ? m_buttonFace : colour;

    m_bitmap.set(px, py, paint);
    if (m_actual.at(px, py) != shown) {
        m_actual.set(px, py, shown);
        MarkActual({px, py, 1, 1});
    }

    // Only the square between the grid lines; moves within one cell paint nothing.
    PaintSquare(px, py, paint);
}

void TFrameCanvas::PlotLine(TCell from, TCell to, Rgb colour, bool erasing) {
    KeepFrameSize();
    // Bresenham's line: one cell per step along the longer axis.
    const int dx = std::abs(to.column - from.column), sx = from.column < to.column ? 1 : -1;
    const int dy = -std::abs(to.row - from.row), sy = from.row < to.row ? 1 : -1;
    TCell cell = from;
    for (int error = dx + dy;;) {
        PaintCell(cell, colour, erasing);
        if (cell == to) break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            cell.column += sx;
        }
        if (twice <= dx) {
            error += dx;
            cell.row += sy;
        }
    }
}

void TFrameCanvas::FloodFillCell(int x, int y, Rgb colour, bool erasing) {
    KeepFrameSize();
    const TCell cell = PointToCell(x, y);
    const Rgb fill = erasing ? kKeyColour : colour;
    const Rgb target = m_bitmap.at(cell.column - 1, cell.row - 1);
    if (fill != target) {
        // Each pixel is recoloured when pushed, so it is pushed at most once.
        struct Point { int x, y; };
        std::array<Point, kFrameSize * kFrameSize> stack;
        size_t top = 0;
        auto visit = [&](int px, int py) {
            if (!m_bitmap.contains(px, py) || m_bitmap.at(px, py) != target) return;
            m_bitmap.set(px, py, fill);
            stack[top++] = {px, py};
        };
        visit(cell.column - 1, cell.row - 1);
        while (top > 0) {
            const Point p = stack[--top];
            visit(p.x - 1, p.y);
            visit(p.x + 1, p.y);
            visit(p.x, p.y - 1);
            visit(p.x, p.y + 1);
        }
    }
    RedrawCanvas();
}

TCell TFrameCanvas::MouseDown(TMouseButton button, bool ctrl, int x, int y) {
    // A second button pressed during a stroke carries the stroke on.
    if (!m_drawing) m_strokeCell.reset();
    m_drawing = true;
    if (button == TMouseButton::Right) m_erasing = true;
    // So that a plain click draws.
    return MouseMove(ctrl, x, y);
}

TCell TFrameCanvas::MouseMove(bool ctrl, int x, int y) {
    const TCell cell = PointToCell(x, y);
    if (m_drawing) {
        // Moves are reported only now and then, so a fast stroke is joined
        // up; a fill needs no joining.
        if (ctrl)
            FloodFillCell(x, y, m_currentColour, m_erasing);
        else
            PlotLine(m_strokeCell.value_or(cell), cell, m_currentColour, m_erasing);
        m_strokeCell = cell;
    }
    return cell;
}

void TFrameCanvas::MouseUp() {
    m_drawing = false;
    m_erasing = false;
}

void TFrameCanvas::SelectColour(size_t paletteIndex) {
    if (paletteIndex < kPaletteColours.size()) m_currentColour = kPaletteColours[paletteIndex];
}

TCanvasChanges TFrameCanvas::TakeChanges() {
    TCanvasChanges changes = m_changes;
    m_changes = {};
    return changes;
}
