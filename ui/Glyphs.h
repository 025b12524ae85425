#pragma once
// The pictures on the glyph buttons: 16-colour drawings whose bottom-left
// pixel's colour is drawn transparent.
#include <QPixmap>

enum class Glyph { New, Open, Save, Information, Copy, Paste };

QPixmap GlyphPixmap(Glyph glyph);
