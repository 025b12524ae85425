#pragma once
// The frame canvas: the 16×16 working bitmap, its two retained views (the
// enlarged grid and the actual-size image) as plain pixel buffers, and the
// pencil, eraser and fill driven by positions on the enlarged view.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "formats/Colours.h"
#include "core/Picture.h"

inline constexpr int kEnlargedViewSize = 337;  // ImgDrawSurface, inside Panel1's border
inline constexpr int kCellPitch = kEnlargedViewSize / 16;  // 21: a 20-pixel square and a grid line

// A 1-based cell: column c, row r is working-bitmap pixel (c−1, r−1).
struct TCell {
    int column = 1;
    int row = 1;
    friend constexpr bool operator==(TCell, TCell) = default;
};

// "Coords: c, r", the status text for a cell.
std::string CoordsText(TCell cell);

// The drawing palette's colours in the order of its panels: the bright
// row left to right, then the dark row.
inline constexpr std::array<Rgb, 16> kPaletteColours{
    kStandardColours[kWhite],  kStandardColours[kSilver], kStandardColours[kRed],    kStandardColours[kLime],
    kStandardColours[kYellow], kStandardColours[kBlue],   kStandardColours[kFuchsia], kStandardColours[kAqua],
    kStandardColours[kBlack],  kStandardColours[kGrey],   kStandardColours[kMaroon], kStandardColours[kGreen],
    kStandardColours[kOlive],  kStandardColours[kNavy],   kStandardColours[kPurple], kStandardColours[kTeal],
};

// A rectangle of view pixels; empty when width or height is 0.
struct TPixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool empty() const { return width <= 0 || height <= 0; }
    // The smallest rectangle holding both.
    TPixelRect united(const TPixelRect& other) const;
    friend constexpr bool operator==(TPixelRect, TPixelRect) = default;
};

// What changed in each view since the last TakeChanges.
struct TCanvasChanges {
    TPixelRect enlarged;
    TPixelRect actual;
};

enum class TMouseButton { Left, Middle, Right };

class TFrameCanvas {
public:
    // buttonFace is what a transparent pixel shows in the actual-size view.
    // Starts cleared (all key colour) with both views drawn.
    explicit TFrameCanvas(Rgb buttonFace);

    // The working bitmap, 16×16. After writing it directly (loading or
    // pasting a frame) call RedrawCanvas; a picture of another size put here
    // is scaled to 16×16 by the next canvas operation.
    const Picture& bitmap() const { return m_bitmap; }
    Picture& bitmap() { return m_bitmap; }
    const Picture& enlargedView() const { return m_enlarged; }
    const Picture& actualView() const { return m_actual; }

    Rgb buttonFace() const { return m_buttonFace; }
    // Takes effect at the next RedrawCanvas.
    void setButtonFace(Rgb colour) { m_buttonFace = colour; }

    // Every working-bitmap pixel to the key colour; the views are not touched.
    void ClearCanvas();
    // Both views redrawn from the working bitmap.
    void RedrawCanvas();
    // The cell under an enlarged-view position, clamped to 1..16. Its hit
    // areas lie one to two pixels right of (below) the painted squares.
    TCell PointToCell(int x, int y) const;
    // Paints the cell under (x, y) in colour, or the key colour when erasing,
    // in the working bitmap and both views, without a full redraw.
    void PlotCell(int x, int y, Rgb colour, bool erasing);
    // Fills the four-connected region of the exact colour of the cell under
    // (x, y) with colour (or the key colour when erasing), then redraws.
    void FloodFillCell(int x, int y, Rgb colour, bool erasing);

    // The logic behind the window's ImgDrawSurfaceMouseDown/Move/Up: a press
    // starts a stroke (the right button erases) and draws at once; a move
    // during a stroke plots the line from the previous move's cell to the
    // new one, or fills once when ctrl is held; a release of any button ends
    // the stroke. Down and move return the cell under the position, for the
    // "Coords: " text.
    TCell MouseDown(TMouseButton button, bool ctrl, int x, int y);
    TCell MouseMove(bool ctrl, int x, int y);
    void MouseUp();
    bool Drawing() const { return m_drawing; }
    bool Erasing() const { return m_erasing; }

    // Starts as black; a palette click picks an entry by its index into
    // kPaletteColours (an index outside it changes nothing).
    Rgb currentColour() const { return m_currentColour; }
    void SelectColour(size_t paletteIndex);

    // The view rectangles changed since the previous call, so a widget can
    // repaint only those.
    TCanvasChanges TakeChanges();

private:
    void KeepFrameSize();
    void DrawGrid();
    bool PaintSquare(int px, int py, Rgb colour);
    void PaintCell(TCell cell, Rgb colour, bool erasing);
    // Every cell on the straight line between two cells, both included.
    void PlotLine(TCell from, TCell to, Rgb colour, bool erasing);
    void MarkEnlarged(const TPixelRect& rect) { m_changes.enlarged = m_changes.enlarged.united(rect); }
    void MarkActual(const TPixelRect& rect) { m_changes.actual = m_changes.actual.united(rect); }

    Rgb m_buttonFace;
    Picture m_bitmap;
    Picture m_enlarged;
    Picture m_actual;
    Rgb m_currentColour = kStandardColours[kBlack];
    bool m_drawing = false;
    bool m_erasing = false;
    // Where the stroke was at the previous move; none before its first.
    std::optional<TCell> m_strokeCell;
    TCanvasChanges m_changes;
};
