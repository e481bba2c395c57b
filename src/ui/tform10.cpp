#include "ui/tform10.h"

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
#include "ui/tform2.h"
#include "ui/tools_qt.h"

namespace cw {

namespace {
constexpr int kMinWidth = 170, kMinHeight = 100;
constexpr int kScrollMargin = 15, kScrollStep = 10;
} // namespace

ZoomImage::ZoomImage(Session& s, TForm10& owner, QWidget* parent) : QWidget(parent), session_(s), owner_(owner) {
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
    const QImage image(reinterpret_cast<const uchar*>(z.picture.data()), z.picture.width(), z.picture.height(),
                       qsizetype(z.picture.width()) * 4, QImage::Format_RGB32);
    // Without smoothing Qt samples the nearest pixel: each one shows as a block.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(0, 0, z.shownWidth(), z.shownHeight()), image);
}

void ZoomImage::mousePressEvent(QMouseEvent* e) {
    int32_t x, y;
    mapViewToImage(session_.zoom, e->position().toPoint().x(), e->position().toPoint().y(), x, y);
    pointerPress(session_, mouseButtonOf(e->button()), e->modifiers() & Qt::ShiftModifier, x, y);
}

void ZoomImage::mouseMoveEvent(QMouseEvent* e) {
    const QPoint v = e->position().toPoint();
    owner_.Label1->setText(QString(" x:%1  y:%2 ").arg(v.x()).arg(v.y()));
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

TForm10::TForm10(Session& s, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), session_(s) {
    setObjectName("Form10");
    setWindowTitle("Zoom`ed View");
    setMinimumSize(kMinWidth, kMinHeight);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    Image1 = new ZoomImage(s, *this, ScrollBox1);
    ScrollBox1->setWidget(Image1);
    ScrollBox1->setWidgetResizable(false);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(2, 1, 2, 1);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setAutoFillBackground(true);
    QPalette red = Label1->palette();
    red.setColor(QPalette::Window, Qt::red);
    Label1->setPalette(red);
    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    auto* sync = new QGroupBox("Auto&Sync", this);
    sync->setObjectName("RadioGroup2");
    sync->setToolTip("on: keeps the zoom'ed view sync'ed to the Main image; off: turns off this sync'ing");
    auto* syncRow = new QHBoxLayout(sync);
    syncRow->setContentsMargins(2, 0, 2, 0);
    AutoSyncOn = new QRadioButton("&on", sync);
    AutoSyncOff = new QRadioButton("o&ff", sync);
    AutoSyncOn->setChecked(s.zoom.autoSync);
    AutoSyncOff->setChecked(!s.zoom.autoSync);
    syncRow->addWidget(AutoSyncOn);
    syncRow->addWidget(AutoSyncOff);
    Button3 = new QPushButton("&Reset", this);
    Button3->setObjectName("Button3");
    Button3->setToolTip("Reset the current zoom'ed image to the original version");
    for (QWidget* w : std::initializer_list<QWidget*>{Label1, Label2, sync, Button3}) bar->addWidget(w);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(ScrollBox1, 1);
    column->addLayout(bar);

    connect(AutoSyncOn, &QRadioButton::clicked, this, [this] { RadioGroup2Click(); });
    connect(AutoSyncOff, &QRadioButton::clicked, this, [this] { RadioGroup2Click(); });
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
}

// One view serves every Zoom of the run, so each show starts it as a new
// view would be: nothing under the pointer yet, scrolled to its origin.
void TForm10::FormShow() {
    const ZoomView& z = session_.zoom;
    Image1->resize(z.shownWidth(), z.shownHeight());
    Image1->update();
    ScrollBox1->horizontalScrollBar()->setValue(0);
    ScrollBox1->verticalScrollBar()->setValue(0);
    Label1->clear();
    Label2->setText(QString(" w:%1  h:%2 ").arg(Image1->width()).arg(Image1->height()));
    AutoSyncOn->setChecked(z.autoSync);
    AutoSyncOff->setChecked(!z.autoSync);
    setToolCursor(currentTool(session_.tools).cursor());
    setWindowTitle(QString::fromStdString(zoomCaption(z.factor)));
}

void TForm10::setToolCursor(ToolCursor cursor) { Image1->setCursor(toolCursorShape(cursor)); }

void TForm10::RadioGroup2Click() {
    session_.zoom.autoSync = AutoSyncOn->isChecked();
    if (session_.zoom.autoSync) {
        zoomRefresh(session_);
        repaint();
    }
}

void TForm10::Button3Click() { zoomReset(session_); }

void TForm10::pictureChanged() { Image1->update(); }

void TForm10::autoScroll(int vx, int vy) {
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    const QSize visible = ScrollBox1->viewport()->size();
    if (vx - h->value() >= visible.width() - kScrollMargin) h->setValue(h->value() + kScrollStep);
    if (vy - v->value() >= visible.height() - kScrollMargin) v->setValue(v->value() + kScrollStep);
    if (vx - h->value() < 1) h->setValue(h->value() - kScrollStep);
    if (vy - v->value() < 1) v->setValue(v->value() - kScrollStep);
}

} // namespace cw
