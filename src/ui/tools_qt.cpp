#include "ui/tools_qt.h"

#include <QPainter>
#include <QPixmap>

namespace cw {

QIcon toolIcon(ToolGlyph glyph) {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (glyph) {
    case ToolGlyph::Brush:  // a round tip on a handle
        p.setPen(QPen(QColor(120, 70, 20), 3));
        p.drawLine(18, 4, 10, 14);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 110, 200));
        p.drawEllipse(QPoint(8, 16), 5, 5);
        break;
    case ToolGlyph::Wand:  // with a spark
        p.setPen(QPen(Qt::black, 3));
        p.drawLine(4, 20, 15, 9);
        p.setPen(QPen(QColor(230, 170, 0), 2));
        p.drawLine(18, 2, 18, 10);
        p.drawLine(14, 6, 22, 6);
        break;
    case ToolGlyph::FilledRectangle:
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(QColor(220, 90, 60));
        p.drawRect(4, 6, 16, 12);
        break;
    case ToolGlyph::DashedFrame:
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawRect(3, 5, 18, 14);
        break;
    }
    return QIcon(pm);
}

// Qt's own drag cursors mean drag and drop; the open hand reads as pulling a band.
Qt::CursorShape toolCursorShape(ToolCursor cursor) {
    switch (cursor) {
    case ToolCursor::Crosshair: return Qt::CrossCursor;
    case ToolCursor::PointingHand: return Qt::PointingHandCursor;
    case ToolCursor::Drag: return Qt::OpenHandCursor;
    }
    return Qt::ArrowCursor;
}

MouseButton mouseButtonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return MouseButton::Left;
    }
}

} // namespace cw
