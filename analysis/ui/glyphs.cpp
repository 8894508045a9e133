#include "analysis/ui/glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kestrova::analysis {

QIcon AnalysisGlyph(const QString& key)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x30, 0x40, 0x60);
    p.setPen(QPen(ink, 2));
    if (key == QLatin1String("left") || key == QLatin1String("right")) {
        QPainterPath arrow;
        if (key == QLatin1String("left")) {
            arrow.moveTo(6, 16);
            arrow.lineTo(18, 6);
            arrow.lineTo(18, 26);
        } else {
            arrow.moveTo(26, 16);
            arrow.lineTo(14, 6);
            arrow.lineTo(14, 26);
        }
        arrow.closeSubpath();
        p.fillPath(arrow, QColor(0x38, 0x56, 0x8A));
    } else if (key == QLatin1String("outer") || key == QLatin1String("inner")) {
        p.setPen(QPen(key == QLatin1String("outer") ? Qt::red : QColor(0, 160, 0), 3));
        const int r = key == QLatin1String("outer") ? 12 : 7;
        p.drawEllipse(QPoint(16, 16), r, r);
    } else if (key == QLatin1String("propagate")) {
        for (int i = 0; i < 3; ++i) {
            p.setPen(QPen(QColor(200 - 50 * i, 0, 0), 2));
            p.drawEllipse(QPoint(8 + 8 * i, 16), 6, 9);
        }
    } else if (key == QLatin1String("automatic")) {
        p.setPen(QPen(Qt::red, 2));
        p.drawEllipse(QPoint(16, 16), 12, 11);
        p.setPen(QPen(QColor(0, 160, 0), 2));
        p.drawEllipse(QPoint(16, 16), 7, 6);
        p.setPen(QPen(ink, 2));
        p.drawLine(16, 16, 26, 4);
    } else if (key == QLatin1String("delete")) {
        p.setPen(QPen(QColor(0xB0, 0, 0), 4));
        p.drawLine(8, 8, 24, 24);
        p.drawLine(24, 8, 8, 24);
    } else if (key == QLatin1String("calibration")) {
        p.drawEllipse(QPoint(16, 16), 11, 11);
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(11, 16, 21, 16);
        p.drawLine(16, 11, 16, 21);
        p.setPen(QPen(QColor(0, 160, 0), 2));
        p.drawLine(24, 21, 30, 21);
        p.drawLine(27, 18, 27, 24);
    } else {
        return {};
    }
    return QIcon(pixmap);
}

} // namespace kestrova::analysis
