#pragma once
// The font of the editor's windows.
#include <QFont>

// "MS Sans Serif" at 11 pixels, or the system's sans-serif at 11 pixels
// where it is missing.
QFont WindowFont();
