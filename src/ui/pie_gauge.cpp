#include "ui/pie_gauge.h"

#include <QPainter>

namespace cw {

void PieGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRect disc((width() - side) / 2, (height() - side) / 2, side, side);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(192, 192, 192));
    p.drawEllipse(disc);
    p.setBrush(Qt::red);
    p.drawPie(disc, 90 * 16, -value * 360 * 16 / 100);
    if (showText) {
        QFont f("Arial");
        f.setPixelSize(19);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(rect(), Qt::AlignCenter, QString::asprintf("%d%%", value));
    }
}

} // namespace cw
