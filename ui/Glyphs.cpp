#include "ui/Glyphs.h"

#include <QImage>

#include "ui/glyphs/copy.xpm"
#include "ui/glyphs/information.xpm"
#include "ui/glyphs/new.xpm"
#include "ui/glyphs/open.xpm"
#include "ui/glyphs/paste.xpm"
#include "ui/glyphs/save.xpm"

namespace {

const char* const* GlyphData(Glyph glyph) {
    switch (glyph) {
    case Glyph::New: return new_xpm;
    case Glyph::Open: return open_xpm;
    case Glyph::Save: return save_xpm;
    case Glyph::Information: return information_xpm;
    case Glyph::Copy: return copy_xpm;
    case Glyph::Paste: return paste_xpm;
    }
    return new_xpm;
}

}  // namespace

QPixmap GlyphPixmap(Glyph glyph) {
    QImage image = QImage(GlyphData(glyph)).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) == key) image.setPixel(x, y, qRgba(0, 0, 0, 0));
    return QPixmap::fromImage(image);
}
