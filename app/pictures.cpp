#include "app/pictures.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace Pictures {

QPixmap Splash(QSize size)
{
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bg(0, 0, 0, size.height());
    bg.setColorAt(0, QColor(18, 38, 74));
    bg.setColorAt(1, QColor(6, 14, 30));
    p.fillRect(pm.rect(), bg);

    // A vessel: two wall lines around a curved centre line, with IVUS-like rings.
    QPainterPath centre;
    centre.moveTo(40, size.height() - 70);
    centre.cubicTo(180, size.height() - 170, 330, size.height() - 20, size.width() - 40, size.height() - 130);
    QPen wall(QColor(220, 70, 70), 22, Qt::SolidLine, Qt::RoundCap);
    p.setPen(wall);
    p.drawPath(centre);
    p.setPen(QPen(QColor(255, 190, 170), 8, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(centre);
    for (int i = 1; i < 8; ++i) {
        const QPointF c = centre.pointAtPercent(i / 8.0);
        p.setPen(QPen(QColor(120, 200, 255, 170), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, 16, 16);
    }

    p.setPen(Qt::white);
    QFont title(QStringLiteral("Sans Serif"), 30, QFont::Bold);
    p.setFont(title);
    p.drawText(QRect(30, 30, size.width() - 60, 60), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("3D Kestrova"));
    QFont sub(QStringLiteral("Sans Serif"), 11);
    p.setFont(sub);
    p.setPen(QColor(190, 210, 240));
    p.drawText(QRect(32, 88, size.width() - 60, 24), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Coronary vessel in 3D from IVUS and angiography"));
    p.drawText(QRect(32, 112, size.width() - 60, 24), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Version 2.1"));
    p.setPen(QColor(90, 120, 170));
    p.drawRect(pm.rect().adjusted(0, 0, -1, -1));
    return pm;
}

QIcon Glyph(const QString& key)
{
    struct Def { const char* key; QColor colour; const char* text; };
    static const Def defs[] = {
        {"new", QColor(46, 139, 87), "+"},     {"cards", QColor(70, 110, 180), "\u2261"},
        {"save", QColor(40, 90, 160), "\u2193"}, {"angio", QColor(170, 60, 60), "A"},
        {"ivus", QColor(200, 120, 30), "I"},   {"export", QColor(110, 80, 160), "\u2197"},
        {"graphs", QColor(30, 140, 150), "\u223F"}, {"3d", QColor(150, 50, 120), "3D"},
        {"about", QColor(90, 90, 90), "?"},    {"exit", QColor(160, 40, 40), "\u00D7"},
        {"settings", QColor(100, 100, 120), "\u2699"}, {"database", QColor(60, 100, 60), "DB"},
        {"open", QColor(70, 110, 180), "\u25B6"}, {"edit", QColor(200, 150, 30), "\u270E"},
        {"delete", QColor(170, 40, 40), "\u2212"},
    };
    QColor colour(100, 100, 100);
    QString text = key.left(1).toUpper();
    for (const auto& d : defs)
        if (key == QLatin1String(d.key)) {
            colour = d.colour;
            text = QString::fromUtf8(d.text);
        }
    QIcon icon;
    for (const bool disabled : {false, true}) {
        QPixmap pm(32, 32);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor c = disabled ? QColor(190, 190, 190) : colour;
        QLinearGradient g(0, 0, 0, 32);
        g.setColorAt(0, c.lighter(130));
        g.setColorAt(1, c);
        p.setBrush(g);
        p.setPen(QPen(c.darker(130), 1));
        p.drawRoundedRect(QRectF(2.5, 2.5, 27, 27), 6, 6);
        p.setPen(Qt::white);
        QFont f(QStringLiteral("Sans Serif"));
        f.setBold(true);
        f.setPixelSize(text.size() > 1 ? 12 : 18);
        p.setFont(f);
        p.drawText(QRect(2, 2, 28, 28), Qt::AlignCenter, text);
        p.end();
        icon.addPixmap(pm, disabled ? QIcon::Disabled : QIcon::Normal);
    }
    return icon;
}

} // namespace Pictures
