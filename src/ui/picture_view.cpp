#include "ui/picture_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <array>
#include <cmath>
#include <mutex>

#include "actions/session.h"
#include "tools/interaction.h"
#include "tools/tool_registry.h"
#include "ui/bitmap_image.h"
#include "ui/image_window.h"
#include "ui/tools_qt.h"

namespace cw {

namespace {

// The zoom ladder: the steps every image editor offers, 1/32 to 32 times.
constexpr std::array kScaleSteps{1.0 / 32, 1.0 / 24, 1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3,
                                 1.0 / 2,  2.0 / 3,  1.0,      1.5,      2.0,     3.0,     4.0,     6.0,
                                 8.0,      12.0,     16.0,     24.0,     32.0};
constexpr int kScrollMargin = 15, kScrollStep = 10;
constexpr int kWheelStep = 120;  // one notch
constexpr int kLineStep = 40;    // view pixels a scroll bar's arrow moves

bool shiftOf(const QInputEvent* e) { return e->modifiers() & Qt::ShiftModifier; }

} // namespace

PictureView::PictureView(Session& s, ImageWindow* owner, QWidget* parent)
    : QAbstractScrollArea(parent), session_(s), owner_(owner) {
    setObjectName("ScrollBox1");
    setFocusPolicy(Qt::StrongFocus);
    QWidget* canvas = viewport();
    canvas->setObjectName("Image1");
    canvas->setAttribute(Qt::WA_OpaquePaintEvent);
    canvas->setMouseTracking(true);
    canvas->setToolTip("RIGHT-CLICK to Show Colour-palette Options");
    // Its right button opens the palette menu after the release, not this.
    canvas->setContextMenuPolicy(Qt::PreventContextMenu);
    horizontalScrollBar()->setSingleStep(kLineStep);
    verticalScrollBar()->setSingleStep(kLineStep);
}

QSize PictureView::pictureSize() const {
    const Workspace* ws = session_.ws.get();
    return ws ? QSize(ws->width, ws->height) : QSize();
}

double PictureView::fitScale() const {
    const QSize pic = pictureSize(), room = maximumViewportSize();
    if (pic.isEmpty() || room.isEmpty()) return 1;
    const double s = std::min(double(room.width()) / pic.width(), double(room.height()) / pic.height());
    return std::clamp(s, kMinScale, kMaxScale);
}

double PictureView::nextScale(double scale, int direction) {
    if (direction > 0) {
        for (double step : kScaleSteps)
            if (step > scale * 1.0001) return step;
        return kMaxScale;
    }
    for (auto it = kScaleSteps.rbegin(); it != kScaleSteps.rend(); ++it)
        if (*it < scale / 1.0001) return *it;
    return kMinScale;
}

void PictureView::fit() {
    fitting_ = true;
    applyScale(fitScale(), QPointF(0, 0));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void PictureView::setScale(double scale, std::optional<QPointF> anchor) {
    fitting_ = false;
    applyScale(std::clamp(scale, kMinScale, kMaxScale),
               anchor.value_or(QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0)));
}

void PictureView::zoomBy(int steps, std::optional<QPointF> anchor) {
    double s = scale_;
    for (int i = 0; i < std::abs(steps); ++i) s = nextScale(s, steps);
    setScale(s, anchor);
}

void PictureView::applyScale(double scale, QPointF anchor) {
    // The picture point under the anchor stays under it.
    const QPointF picturePoint = (anchor + scrollOffset()) / scale_;
    const bool changed = scale != scale_;
    scale_ = scale;
    updateScrollBars();
    const QPointF offset = picturePoint * scale_ - anchor;
    horizontalScrollBar()->setValue(int(std::lround(offset.x())));
    verticalScrollBar()->setValue(int(std::lround(offset.y())));
    viewport()->update();
    if (changed) emit scaleChanged(scale_);
}

void PictureView::updateScrollBars() {
    const QSize pic = pictureSize();
    const QSize room = viewport()->size();
    const int w = int(std::ceil(pic.width() * scale_)), h = int(std::ceil(pic.height() * scale_));
    horizontalScrollBar()->setRange(0, std::max(0, w - room.width()));
    horizontalScrollBar()->setPageStep(room.width());
    verticalScrollBar()->setRange(0, std::max(0, h - room.height()));
    verticalScrollBar()->setPageStep(room.height());
}

// Where the view's origin lies in the scaled picture: scrolled, or, for a
// picture smaller than the window, negative so that it sits in the middle.
QPointF PictureView::scrollOffset() const {
    const QSize pic = pictureSize(), room = viewport()->size();
    const double w = std::ceil(pic.width() * scale_), h = std::ceil(pic.height() * scale_);
    return QPointF(horizontalScrollBar()->value() - std::max(0.0, std::floor((room.width() - w) / 2)),
                   verticalScrollBar()->value() - std::max(0.0, std::floor((room.height() - h) / 2)));
}

void PictureView::pictureChanged() {
    const QSize pic = pictureSize();
    copies_.reset(pic.width(), pic.height());
    if (pic != shownSize_) {
        shownSize_ = pic;
        const QSize room = maximumViewportSize();
        if (pic.width() > room.width() || pic.height() > room.height()) {
            fit();
        } else {
            fitting_ = false;
            scale_ = 1;
            updateScrollBars();
            horizontalScrollBar()->setValue(0);
            verticalScrollBar()->setValue(0);
            emit scaleChanged(scale_);
        }
    } else {
        updateScrollBars();
    }
    viewport()->update();
}

void PictureView::displayChanged(const QRect& r) {
    copies_.changed(Rect{r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    // The outline of a drag also shows at reduced scales; a pixel more on
    // each side covers smoothing and rounding.
    const QRectF shown(pictureToView(r.topLeft()), pictureToView(QPointF(r.right() + 1, r.bottom() + 1)));
    viewport()->update(shown.toAlignedRect().adjusted(-2, -2, 2, 2));
}

QPoint PictureView::viewToPicture(QPointF at) const {
    const QPointF p = (at + scrollOffset()) / scale_;
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

QPointF PictureView::pictureToView(QPointF at) const { return at * scale_ - scrollOffset(); }

QRectF PictureView::pictureRectInView() const {
    const QSize pic = pictureSize();
    return QRectF(pictureToView(QPointF(0, 0)), QSizeF(pic.width() * scale_, pic.height() * scale_));
}

QPoint PictureView::globalPositionOf(int x, int y) const {
    const QRectF visible = pictureRectInView() & QRectF(viewport()->rect());
    QPointF at = pictureToView(QPointF(x, y));
    if (!visible.isEmpty()) {
        at.setX(std::clamp(at.x(), visible.left(), visible.right() - 1));
        at.setY(std::clamp(at.y(), visible.top(), visible.bottom() - 1));
    }
    return viewport()->mapToGlobal(at.toPoint());
}

void PictureView::autoScroll(int x, int y) {
    QScrollBar* h = horizontalScrollBar();
    QScrollBar* v = verticalScrollBar();
    const QSize visible = viewport()->size();
    // In view pixels, each test by itself and in this order.
    const QPoint at = pictureToView(QPointF(x, y)).toPoint();
    if (at.x() >= visible.width() - kScrollMargin) h->setValue(h->value() + kScrollStep);
    if (at.y() >= visible.height() - kScrollMargin) v->setValue(v->value() + kScrollStep);
    if (pictureToView(QPointF(x, y)).x() < 1) h->setValue(h->value() - kScrollStep);
    if (pictureToView(QPointF(x, y)).y() < 1) v->setValue(v->value() - kScrollStep);
    viewport()->update();
}

void PictureView::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    if (fitting_) {
        const double s = fitScale();
        if (s != scale_) {
            scale_ = s;
            emit scaleChanged(scale_);
        }
        viewport()->update();
    }
    updateScrollBars();
}

void PictureView::scrollContentsBy(int dx, int dy) { viewport()->scroll(dx, dy); }

void PictureView::paintEvent(QPaintEvent* e) {
    QPainter p(viewport());
    const QRect exposed = e->rect();
    Workspace* ws = session_.ws.get();
    const QRect picture = pictureRectInView().toAlignedRect();
    // What lies beside the picture.
    const QRegion around = QRegion(exposed) - QRegion(picture & exposed);
    for (const QRect& r : around) p.fillRect(r, palette().dark());
    if (!ws || ws->display.empty()) return;
    const std::lock_guard lock(ws->displayLock);
    drawPicture(p, exposed & picture);
    if (scale_ < 1 && (session_.gesture.dragging || ws->selectionActive)) drawDragOutline(p);
}

void PictureView::drawPicture(QPainter& p, const QRect& exposed) {
    if (exposed.isEmpty()) return;
    Workspace& ws = *session_.ws;
    const QPointF scroll = scrollOffset();
    if (scale_ == 1) {
        p.drawImage(exposed.topLeft(), bitmapImage(ws.display), exposed.translated(scroll.toPoint()));
        return;
    }
    // A reduced view draws the halved copy at most twice the size it is
    // shown at on the screen's own pixels, so smoothing never skips a pixel.
    const double onScreen = scale_ * viewport()->devicePixelRatioF();
    int level = 0;
    if (onScreen < 1) {
        level = std::min(int(std::floor(std::log2(1 / onScreen) + 1e-9)), ReducedCopies::kMaxLevel);
        try {
            copies_.bringUpToDate(ws.display, level);
        } catch (const std::bad_alloc&) {
            level = 0;  // too little memory for the copies: scale the picture itself
        }
        level = std::min(level, copies_.levels());
    }
    const Bitmap& from = level == 0 ? ws.display : copies_.copy(level);
    const double f = scale_ * double(1 << level);  // from's pixels to view pixels
    const QImage image = bitmapImage(from);
    // The source pixels under the exposed part, one more on each side so
    // that smoothing at the edge of a partial repaint matches its neighbours.
    const int margin = scale_ < 1 ? 1 : 0;
    const int x1 = std::max(0, int(std::floor((exposed.left() + scroll.x()) / f)) - margin);
    const int y1 = std::max(0, int(std::floor((exposed.top() + scroll.y()) / f)) - margin);
    const int x2 = std::min(from.width(), int(std::ceil((exposed.right() + 1 + scroll.x()) / f)) + margin);
    const int y2 = std::min(from.height(), int(std::ceil((exposed.bottom() + 1 + scroll.y()) / f)) + margin);
    if (x1 >= x2 || y1 >= y2) return;
    const QRectF target(x1 * f - scroll.x(), y1 * f - scroll.y(), (x2 - x1) * f, (y2 - y1) * f);
    p.save();
    p.setClipRect(exposed);
    p.setRenderHint(QPainter::SmoothPixmapTransform, onScreen < 1);
    p.drawImage(target, image, QRectF(x1, y1, x2 - x1, y2 - y1));
    p.restore();
}

// The outline of a drag or of the pending selection is drawn into the
// picture one pixel wide; reduced, it would be averaged away, so the view
// draws it again at its own scale.
void PictureView::drawDragOutline(QPainter& p) {
    const GestureState& g = session_.gesture;
    const Rect& t = g.dragging ? g.toolRect : session_.ws->selectionRect;
    const QRectF r = QRectF(pictureToView(QPointF(std::min(t.x1, t.x2), std::min(t.y1, t.y2))),
                            pictureToView(QPointF(std::max(t.x1, t.x2), std::max(t.y1, t.y2))))
                         .normalized();
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(QPen(Qt::white, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r);
    p.restore();
}

void PictureView::setPanCursor(bool panning) {
    if (panning || spaceHeld_) viewport()->setCursor(panning ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    else viewport()->setCursor(toolCursorShape(currentTool(session_.tools).cursor()));
}

void PictureView::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::MiddleButton || (spaceHeld_ && e->button() == Qt::LeftButton)) {
        panning_ = true;
        panFrom_ = e->position().toPoint();
        panScrollFrom_ = scrollOffset().toPoint();
        setPanCursor(true);
        return;
    }
    const QPoint at = viewToPicture(e->position());
    pointerPress(session_, mouseButtonOf(e->button()), shiftOf(e), at.x(), at.y());
}

void PictureView::mouseMoveEvent(QMouseEvent* e) {
    if (panning_) {
        const QPoint d = e->position().toPoint() - panFrom_;
        horizontalScrollBar()->setValue(panScrollFrom_.x() - d.x());
        verticalScrollBar()->setValue(panScrollFrom_.y() - d.y());
        return;
    }
    const QPoint at = viewToPicture(e->position());
    pointerMove(session_, shiftOf(e), at.x(), at.y());
}

void PictureView::mouseReleaseEvent(QMouseEvent* e) {
    if (panning_) {
        if (e->button() == Qt::MiddleButton || e->button() == Qt::LeftButton) {
            panning_ = false;
            setPanCursor(false);
        }
        return;
    }
    const QPoint at = viewToPicture(e->position());
    const MouseButton button = mouseButtonOf(e->button());
    pointerRelease(session_, button, shiftOf(e), at.x(), at.y(), insidePicture(session_, at.x(), at.y()));
    if (button == MouseButton::Right) emit owner_->paletteMenuRequested(e->globalPosition().toPoint());
}

void PictureView::wheelEvent(QWheelEvent* e) {
    if (e->modifiers() & Qt::ShiftModifier && e->angleDelta().x() == 0) {
        // Shift turns the wheel sideways, as in other image editors.
        QScrollBar* h = horizontalScrollBar();
        h->setValue(h->value() - e->angleDelta().y() * 3 * h->singleStep() / kWheelStep);
        e->accept();
        return;
    }
    if (!(e->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(e);
        return;
    }
    // A fine-grained wheel sends part-notches: a step per whole notch.
    wheelZoomRest_ += e->angleDelta().y();
    const int steps = wheelZoomRest_ / kWheelStep;
    wheelZoomRest_ -= steps * kWheelStep;
    if (steps != 0) zoomBy(steps, e->position());
    e->accept();
}

// Space held turns a left drag into a pan.
bool PictureView::spaceKey(QKeyEvent* e, bool down) {
    if (e->key() != Qt::Key_Space) return false;
    if (!e->isAutoRepeat()) {
        spaceHeld_ = down;
        setPanCursor(panning_);
    }
    return true;
}

void PictureView::keyPressEvent(QKeyEvent* e) {
    if (!spaceKey(e, true)) QAbstractScrollArea::keyPressEvent(e);
}

void PictureView::keyReleaseEvent(QKeyEvent* e) {
    if (!spaceKey(e, false)) QAbstractScrollArea::keyReleaseEvent(e);
}

void PictureView::focusOutEvent(QFocusEvent* e) {
    spaceHeld_ = false;
    if (!panning_) setPanCursor(false);
    QAbstractScrollArea::focusOutEvent(e);
}

} // namespace cw
