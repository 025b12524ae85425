#include "ui/WindowFont.h"

#include <QFontDatabase>
#include <QFontInfo>

QFont WindowFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    if (QFontInfo(font).family() == font.family()) return font;
    QFont fallback = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    fallback.setStyleHint(QFont::SansSerif);
    fallback.setPixelSize(11);
    return fallback;
}
