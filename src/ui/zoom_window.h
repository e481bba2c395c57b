#pragma once
// The zoomed view: an enlarged (or reduced) copy of the selection that can be
// painted in like the picture itself.
#include <QWidget>

#include "tools/tool.h"

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollArea;

namespace cw {

struct Session;
class ZoomWindow;

class ZoomImage : public QWidget {
public:
    ZoomImage(Session& s, ZoomWindow& owner, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    Session& session_;
    ZoomWindow& owner_;
};

class ZoomWindow : public QWidget {
    Q_OBJECT
public:
    ZoomWindow(Session& s, QWidget* parent = nullptr);

    // Each control keeps its designed name as its object name.
    QScrollArea* scrollArea;
    ZoomImage* picture;
    QLabel* positionLabel;  // the pointer's, in view coordinates
    QLabel* sizeLabel;
    QRadioButton* autoSyncOnButton;
    QRadioButton* autoSyncOffButton;
    QPushButton* resetButton;

    // Shows the zoom the session has just made.
    void showZoom();
    void autoSyncChosen();
    void resetZoom();
    void pictureChanged();
    void autoScroll(int vx, int vy);
    void setToolCursor(ToolCursor cursor);

private:
    Session& session_;
};

} // namespace cw
