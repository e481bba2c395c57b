#include "ui/bar_area.h"

#include <QEvent>
#include <QScrollBar>

namespace cw {

BarArea::BarArea(QWidget* bars, QWidget* parent) : QScrollArea(parent) {
    setObjectName("BarArea");
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setWidgetResizable(true);
    setWidget(bars);
    bars->installEventFilter(this);
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { updateGeometry(); });
}

QSize BarArea::sizeHint() const { return {widget()->sizeHint().width(), barsHeight()}; }
QSize BarArea::minimumSizeHint() const { return {0, barsHeight()}; }

// A bar shown or hidden changes the height the bars need.
bool BarArea::eventFilter(QObject* watched, QEvent* e) {
    if (watched == widget() && e->type() == QEvent::LayoutRequest) updateGeometry();
    return QScrollArea::eventFilter(watched, e);
}

int BarArea::barsHeight() const {
    const QScrollBar* sideways = horizontalScrollBar();
    return widget()->sizeHint().height() + (sideways->maximum() > 0 ? sideways->sizeHint().height() : 0);
}

} // namespace cw
