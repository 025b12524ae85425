#pragma once
// The font of the editor's windows.
#include <QFont>

// "MS Sans Serif" at 11 pixels, or the system's sans-serif at 11 pixels
// where it is missing.
QFont WindowFont();

class QWidget;
class QString;

// The layout was made for a narrow bitmap font; where the font at hand is
// wider, a control's text is condensed to fit its room rather than cut.
void FitTextWidth(QWidget* widget, const QString& text, int room);
