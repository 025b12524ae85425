#pragma once
// The colour panels of the main window's palette, in the order of
// kPaletteColours: each one's control name and where it sits inside the
// palette area (row 1 at y 4, row 2 at y 23). The names do not all match
// their colours (PnlGrey is silver); the colours are the ones that count.
#include <array>
#include <cstddef>

#include "core/Canvas.h"

struct TPalettePanel {
    const char* name;
    int row;  // 1 or 2
    int x;
};

inline constexpr std::array<TPalettePanel, kPaletteColours.size()> kPalettePanels{{
    {"PnlWhite", 1, 0},   {"PnlGrey", 1, 19},   {"PnlRed", 1, 38},     {"PnlGreen", 1, 57},
    {"PnlYellow", 1, 76}, {"PnlBlue", 1, 95},   {"PnlPurple", 1, 114}, {"PnlCyan", 1, 133},
    {"PnlBlack", 2, 0},   {"PnlDGrey", 2, 19},  {"PnlDRed", 2, 38},    {"PnlDGreen", 2, 57},
    {"PnlDYellow", 2, 76}, {"PnlDBlue", 2, 95}, {"PnlDPurple", 2, 114}, {"PnlDCyan", 2, 133},
}};
