#include "ui/WindowFont.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QWidget>

QFont WindowFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    if (QFontInfo(font).family() == font.family()) return font;
    QFont fallback = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    fallback.setStyleHint(QFont::SansSerif);
    fallback.setPixelSize(11);
    return fallback;
}

void FitTextWidth(QWidget* widget, const QString& text, int room) {
    QFont font = widget->font();
    for (int stretch = 100; stretch > 50; stretch -= 5) {
        font.setStretch(stretch);
        if (QFontMetrics(font).horizontalAdvance(text) <= room) break;
    }
    if (font.stretch() != 100) widget->setFont(font);
}
