#pragma once
// The progress meter's gauge: a pie that fills clockwise from twelve o'clock,
// with the percentage over it.
#include <QWidget>

namespace cw {

class PieGauge : public QWidget {
public:
    explicit PieGauge(QWidget* parent) : QWidget(parent) {}
    int value = 0;  // percent
    bool showText = true;

protected:
    void paintEvent(QPaintEvent*) override;
};

} // namespace cw
