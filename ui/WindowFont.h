#pragma once
// The font of the editor's windows.
#include <QFont>

// "MS Sans Serif" at 11 pixels where the machine has it, else Carlito at 11
// pixels: of the fonts a Linux desktop offers, one narrow enough that every
// text fits the layout, which was drawn for the narrow bitmap font.
QFont WindowFont();
