#include "ui/WindowFont.h"

#include <QStringList>

QFont WindowFont() {
    // A list rather than a probe: the font is matched when first drawn, after
    // the window is on screen, not while it is being made.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Carlito")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}
