#pragma once
// The bars keep their designed heights and take the width they need; where
// the window is narrower than that (a small display, a large font) they
// scroll sideways rather than make the window wider than the screen.
#include <QScrollArea>

namespace cw {

class BarArea final : public QScrollArea {
public:
    BarArea(QWidget* bars, QWidget* parent);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    int barsHeight() const;
};

} // namespace cw
