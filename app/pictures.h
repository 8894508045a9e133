// Pictures drawn by the program itself: the splash and About pictures and the toolbar glyphs.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace Pictures {
QPixmap Splash(QSize size);                 // 580 x 340: title, subtitle, a drawn vessel
QIcon Glyph(const QString& key);            // a 32 x 32 toolbar glyph: "new", "cards", "save", ...
} // namespace Pictures
