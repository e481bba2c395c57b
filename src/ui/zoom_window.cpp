#include "ui/zoom_window.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "actions/session.h"
#include "document/zoom.h"
#include "tools/interaction.h"
#include "tools/tool_registry.h"
#include "ui/bitmap_image.h"
#include "ui/image_window.h"
#include "ui/tools_qt.h"

namespace cw {

namespace {
constexpr int kMinWidth = 170, kMinHeight = 100;
constexpr int kScrollMargin = 15, kScrollStep = 10;
} // namespace

ZoomImage::ZoomImage(Session& s, ZoomWindow& owner, QWidget* parent) : QWidget(parent), session_(s), owner_(owner) {
    setObjectName("Image1");
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ZoomImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const ZoomView& z = session_.zoom;
    if (z.picture.empty()) {
        p.fillRect(rect(), Qt::black);
        return;
    }
    // Without smoothing Qt samples the nearest pixel: each one shows as a block.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(0, 0, z.shownWidth(), z.shownHeight()), bitmapImage(z.picture));
}

void ZoomImage::mousePressEvent(QMouseEvent* e) {
    int32_t x, y;
    mapViewToImage(session_.zoom, e->position().toPoint().x(), e->position().toPoint().y(), x, y);
    pointerPress(session_, mouseButtonOf(e->button()), e->modifiers() & Qt::ShiftModifier, x, y);
}

void ZoomImage::mouseMoveEvent(QMouseEvent* e) {
    const QPoint v = e->position().toPoint();
    owner_.positionLabel->setText(QString(" x:%1  y:%2 ").arg(v.x()).arg(v.y()));
    if (session_.ws && session_.gesture.dragging) owner_.autoScroll(v.x(), v.y());
    int32_t x, y;
    mapViewToImage(session_.zoom, v.x(), v.y(), x, y);
    pointerMove(session_, e->modifiers() & Qt::ShiftModifier, x, y);
}

void ZoomImage::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint v = e->position().toPoint();
    int32_t x, y;
    mapViewToImage(session_.zoom, v.x(), v.y(), x, y);
    pointerRelease(session_, mouseButtonOf(e->button()), e->modifiers() & Qt::ShiftModifier, x, y,
                   rect().contains(v));
}

ZoomWindow::ZoomWindow(Session& s, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), session_(s) {
    setObjectName("Form10");
    setWindowTitle("Zoom`ed View");
    setMinimumSize(kMinWidth, kMinHeight);
    scrollArea = new QScrollArea(this);
    scrollArea->setObjectName("ScrollBox1");
    picture = new ZoomImage(s, *this, scrollArea);
    scrollArea->setWidget(picture);
    scrollArea->setWidgetResizable(false);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(2, 1, 2, 1);
    positionLabel = new QLabel(this);
    positionLabel->setObjectName("Label1");
    positionLabel->setAutoFillBackground(true);
    QPalette red = positionLabel->palette();
    red.setColor(QPalette::Window, Qt::red);
    positionLabel->setPalette(red);
    sizeLabel = new QLabel(this);
    sizeLabel->setObjectName("Label2");
    auto* sync = new QGroupBox("Auto&Sync", this);
    sync->setObjectName("RadioGroup2");
    sync->setToolTip("on: keeps the zoom'ed view sync'ed to the Main image; off: turns off this sync'ing");
    auto* syncRow = new QHBoxLayout(sync);
    syncRow->setContentsMargins(2, 0, 2, 0);
    autoSyncOnButton = new QRadioButton("&on", sync);
    autoSyncOffButton = new QRadioButton("o&ff", sync);
    autoSyncOnButton->setChecked(s.zoom.autoSync);
    autoSyncOffButton->setChecked(!s.zoom.autoSync);
    syncRow->addWidget(autoSyncOnButton);
    syncRow->addWidget(autoSyncOffButton);
    resetButton = new QPushButton("&Reset", this);
    resetButton->setObjectName("Button3");
    resetButton->setToolTip("Reset the current zoom'ed image to the original version");
    for (QWidget* w : std::initializer_list<QWidget*>{positionLabel, sizeLabel, sync, resetButton}) bar->addWidget(w);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(scrollArea, 1);
    column->addLayout(bar);

    connect(autoSyncOnButton, &QRadioButton::clicked, this, [this] { autoSyncChosen(); });
    connect(autoSyncOffButton, &QRadioButton::clicked, this, [this] { autoSyncChosen(); });
    connect(resetButton, &QPushButton::clicked, this, [this] { resetZoom(); });
}

// One view serves every Zoom of the run, so each show starts it as a new
// view would be: nothing under the pointer yet, scrolled to its origin.
void ZoomWindow::showZoom() {
    const ZoomView& z = session_.zoom;
    picture->resize(z.shownWidth(), z.shownHeight());
    picture->update();
    scrollArea->horizontalScrollBar()->setValue(0);
    scrollArea->verticalScrollBar()->setValue(0);
    positionLabel->clear();
    sizeLabel->setText(QString(" w:%1  h:%2 ").arg(picture->width()).arg(picture->height()));
    autoSyncOnButton->setChecked(z.autoSync);
    autoSyncOffButton->setChecked(!z.autoSync);
    setToolCursor(currentTool(session_.tools).cursor());
    setWindowTitle(QString::fromStdString(zoomCaption(z.factor)));
}

void ZoomWindow::setToolCursor(ToolCursor cursor) { picture->setCursor(toolCursorShape(cursor)); }

void ZoomWindow::autoSyncChosen() {
    session_.zoom.autoSync = autoSyncOnButton->isChecked();
    if (session_.zoom.autoSync) {
        zoomRefresh(session_);
        repaint();
    }
}

void ZoomWindow::resetZoom() { zoomReset(session_); }

void ZoomWindow::pictureChanged() { picture->update(); }

void ZoomWindow::autoScroll(int vx, int vy) {
    QScrollBar* h = scrollArea->horizontalScrollBar();
    QScrollBar* v = scrollArea->verticalScrollBar();
    const QSize visible = scrollArea->viewport()->size();
    if (vx - h->value() >= visible.width() - kScrollMargin) h->setValue(h->value() + kScrollStep);
    if (vy - v->value() >= visible.height() - kScrollMargin) v->setValue(v->value() + kScrollStep);
    if (vx - h->value() < 1) h->setValue(h->value() - kScrollStep);
    if (vy - v->value() < 1) v->setValue(v->value() - kScrollStep);
}

} // namespace cw
