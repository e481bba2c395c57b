#pragma once
// The image window's view of the displayed picture at any scale from 1/32 to
// 32 times: reduced views are drawn smoothed from halved copies kept in step
// with the picture, enlarged ones with square pixels. Every pointer event
// reaches the tools at the picture pixel under the pointer; a middle-button
// drag, or a drag with Space held, pans instead.
#include <QAbstractScrollArea>
#include <optional>

#include "core/reduced_copies.h"

namespace cw {

struct Session;
class ImageWindow;

class PictureView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr double kMinScale = 1.0 / 32, kMaxScale = 32;

    PictureView(Session& s, ImageWindow* owner, QWidget* parent);

    double scale() const { return scale_; }
    bool fitting() const { return fitting_; }
    // The whole picture in the window.
    void fit();
    // Sets the scale, keeping the picture point under `anchor` (view
    // coordinates) where it is; the viewport's centre without one.
    void setScale(double scale, std::optional<QPointF> anchor = std::nullopt);
    // One step of the zoom ladder up (positive) or down.
    void zoomBy(int steps, std::optional<QPointF> anchor = std::nullopt);
    // The scale one step up or down from `scale`.
    static double nextScale(double scale, int direction);

    // A new picture: Fit when it is larger than the window, else 100 %.
    void pictureChanged();
    // Part of the picture (exclusive bounds) was redrawn.
    void displayChanged(const QRect& pictureRect);

    // Picture pixel under a view position, and a picture pixel's top left in the view.
    QPoint viewToPicture(QPointF at) const;
    QPointF pictureToView(QPointF at) const;
    // The picture as it lies in the view, in view coordinates.
    QRectF pictureRectInView() const;
    // The screen position of picture point (x, y), kept inside the visible area.
    QPoint globalPositionOf(int x, int y) const;
    // A drag near the visible edge scrolls; (x, y) is in picture pixels.
    void autoScroll(int x, int y);
    const ReducedCopies& reducedCopies() const { return copies_; }

signals:
    void scaleChanged(double scale);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    QSize pictureSize() const;
    double fitScale() const;
    void applyScale(double scale, QPointF anchor);
    void updateScrollBars();
    QPointF scrollOffset() const;
    void drawPicture(QPainter& p, const QRect& exposed);
    void drawDragOutline(QPainter& p);
    void setPanCursor(bool panning);
    bool spaceKey(QKeyEvent* e, bool down);

    Session& session_;
    ImageWindow* owner_;
    double scale_ = 1;
    bool fitting_ = false;
    QSize shownSize_;  // the picture size the view was last set up for
    ReducedCopies copies_;
    bool spaceHeld_ = false;
    bool panning_ = false;
    QPoint panFrom_;
    QPoint panScrollFrom_;
    int wheelZoomRest_ = 0;  // part-steps of a fine-grained wheel
};

} // namespace cw
