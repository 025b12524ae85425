#include "core/Canvas.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <memory>
#include <stdexcept>

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

namespace {

// Smaller views would make the cell pitch 0.
int CheckedViewSize(int size) {
    if (size < kFrameSize) throw std::invalid_argument("the enlarged view needs at least 16 pixels each way");
    return size;
}

}  // namespace

TFrameCanvas::TFrameCanvas(Rgb buttonFace, int viewWidth, int viewHeight)
    : m_buttonFace(buttonFace),
      m_bitmap(kFrameSize, kFrameSize, kKeyColour),
      m_enlarged(CheckedViewSize(viewWidth), CheckedViewSize(viewHeight), buttonFace),
      m_actual(kFrameSize, kFrameSize, buttonFace) {
    RedrawCanvas();
}

void TFrameCanvas::ClearCanvas() { m_bitmap.fill(kKeyColour); }

void TFrameCanvas::RedrawCanvas() {
    assert(m_bitmap.width() == kFrameSize && m_bitmap.height() == kFrameSize);
    // The actual-size view goes through a frame icon, as every other place a
    // frame is shown at actual size does.
    const std::unique_ptr<TFrameIcon> icon = MakeFrameIcon(m_bitmap);
    RenderFrameIcon(*icon, m_actual, m_buttonFace);
    MarkActual({0, 0, kFrameSize, kFrameSize});

    DrawEnlargedView();
    MarkEnlarged({0, 0, m_enlarged.width(), m_enlarged.height()});
}

void TFrameCanvas::DrawEnlargedView() {
    const int width = m_enlarged.width(), height = m_enlarged.height();
    const int d = width / kFrameSize, h = height / kFrameSize;

    // The pixels replicated over the whole view, then 15 grid lines each way,
    // then the outline; later layers win.
    auto isOutline = [](int v, int size) { return v == 0 || v == size - 1; };
    auto isGrid = [](int v, int pitch) { return v % pitch == 0 && v / pitch >= 1 && v / pitch < kFrameSize; };

    // Only 18 different rows exist (one per bitmap row, the grid line and the
    // outline), so build each once and copy it down.
    std::vector<Rgb> outlineRow(size_t(width), kKeyColour);
    std::vector<Rgb> gridRow(size_t(width), Rgb{});
    for (int x = 0; x < width; ++x) gridRow[size_t(x)] = isOutline(x, width) ? kKeyColour : kGridColour;
    std::vector<Rgb> pixelRow(size_t(width), Rgb{});
    int builtRow = -1;

    for (int y = 0; y < height; ++y) {
        const std::vector<Rgb>* row = &pixelRow;
        if (isOutline(y, height)) {
            row = &outlineRow;
        } else if (isGrid(y, h)) {
            row = &gridRow;
        } else if (const int sy = int(int64_t(kFrameSize) * y / height); sy != builtRow) {
            for (int x = 0; x < width; ++x)
                pixelRow[size_t(x)] = isOutline(x, width) ? kKeyColour
                                      : isGrid(x, d)      ? kGridColour
                                                          : m_bitmap.at(int(int64_t(kFrameSize) * x / width), sy);
            builtRow = sy;
        }
        const Rgb* source = row->data();
        for (int x = 0; x < width; ++x) m_enlarged.set(x, y, source[x]);
    }
}

TCell TFrameCanvas::PointToCell(int x, int y) const {
    // c = 16 − ((W − x) div d) with division toward zero, as C++ divides;
    // 64-bit so that any position is safe.
    auto toCell = [](int v, int size) {
        const int64_t pitch = size / kFrameSize;
        const int64_t cell = kFrameSize - (int64_t(size) - v) / pitch;
        return int(std::clamp<int64_t>(cell, 1, kFrameSize));
    };
    return {toCell(x, m_enlarged.width()), toCell(y, m_enlarged.height())};
}

void TFrameCanvas::PlotCell(int x, int y, Rgb colour, bool erasing) {
    const TCell cell = PointToCell(x, y);
    const int px = cell.column - 1, py = cell.row - 1;
    const Rgb paint = erasing ? kKeyColour : colour;
    const Rgb shown = erasing ? m_buttonFace : colour;

    m_bitmap.set(px, py, paint);
    if (m_actual.at(px, py) != shown) {
        m_actual.set(px, py, shown);
        MarkActual({px, py, 1, 1});
    }

    // Only the square between the grid lines; the lines and outline stay.
    const int d = m_enlarged.width() / kFrameSize, h = m_enlarged.height() / kFrameSize;
    const TPixelRect square{px * d + 1, py * h + 1, d - 1, h - 1};
    bool changed = false;
    for (int sy = square.y; sy < square.y + square.height; ++sy)
        for (int sx = square.x; sx < square.x + square.width; ++sx)
            if (m_enlarged.at(sx, sy) != paint) {
                m_enlarged.set(sx, sy, paint);
                changed = true;
            }
    // Moves within one cell repaint nothing.
    if (changed) MarkEnlarged(square);
}

void TFrameCanvas::FloodFillCell(int x, int y, Rgb colour, bool erasing) {
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
    m_drawing = true;
    if (button == TMouseButton::Right) m_erasing = true;
    // So that a plain click draws.
    return MouseMove(ctrl, x, y);
}

TCell TFrameCanvas::MouseMove(bool ctrl, int x, int y) {
    if (m_drawing) {
        if (ctrl)
            FloodFillCell(x, y, m_currentColour, m_erasing);
        else
            PlotCell(x, y, m_currentColour, m_erasing);
    }
    return PointToCell(x, y);
}

void TFrameCanvas::MouseUp() {
    m_drawing = false;
    m_erasing = false;
}

void TFrameCanvas::SelectColour(size_t paletteIndex) {
    if (paletteIndex < kPalette.size()) m_currentColour = kPalette[paletteIndex].colour;
}

TCanvasChanges TFrameCanvas::TakeChanges() {
    TCanvasChanges changes = m_changes;
    m_changes = {};
    return changes;
}
