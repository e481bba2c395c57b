#include "paint/tform2.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/image_window.h"
#include "app/session.h"
#include "paint/interaction.h"

namespace cw {

namespace {

constexpr int kScrollMargin = 15, kScrollStep = 10;

MouseButton buttonOf(Qt::MouseButton b) {
    switch (b) {
    case Qt::RightButton: return MouseButton::Right;
    case Qt::MiddleButton: return MouseButton::Middle;
    default: return MouseButton::Left;
    }
}

bool shiftOf(const QMouseEvent* e) { return e->modifiers() & Qt::ShiftModifier; }

} // namespace

PictureView::PictureView(Session& s, TForm2* owner, QWidget* parent) : QWidget(parent), session_(s), owner_(owner) {
    setObjectName("Image1");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setToolTip("RIGHT-CLICK to Show Colour-palette Options");
}

void PictureView::syncSize() {
    const Workspace* ws = session_.ws.get();
    resize(ws ? QSize(ws->width, ws->height) : QSize(0, 0));
}

void PictureView::paintEvent(QPaintEvent* e) {
    QPainter p(this);
    Workspace* ws = session_.ws.get();
    if (!ws || ws->display.empty()) {
        p.fillRect(e->rect(), palette().window());
        return;
    }
    // Wraps the buffer, no copy; only the exposed part is drawn.
    const QImage image(reinterpret_cast<const uchar*>(ws->display.data()), ws->width, ws->height,
                       qsizetype(ws->width) * 4, QImage::Format_RGB32);
    const QRect r = e->rect() & image.rect();
    p.drawImage(r.topLeft(), image, r);
}

void PictureView::mousePressEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    image1MouseDown(session_, buttonOf(e->button()), shiftOf(e), at.x(), at.y());
}

void PictureView::mouseMoveEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    image1MouseMove(session_, shiftOf(e), at.x(), at.y());
}

void PictureView::mouseReleaseEvent(QMouseEvent* e) {
    const QPoint at = e->position().toPoint();
    const MouseButton button = buttonOf(e->button());
    // The click comes before the release, and only over the picture.
    if (button == MouseButton::Left && rect().contains(at)) image1Click(session_);
    image1MouseUp(session_, button, shiftOf(e), at.x(), at.y());
    if (button == MouseButton::Right) emit owner_->paletteMenuRequested(e->globalPosition().toPoint());
}

TForm2::TForm2(Session& s, QWidget* parent) : QWidget(parent), session_(s) {
    setObjectName("Form2");
    setAttribute(Qt::WA_DeleteOnClose);
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    auto* strip = new QHBoxLayout(Panel1);
    strip->setContentsMargins(2, 1, 2, 1);
    Button2 = new QPushButton(kZeroSetCaption, Panel1);
    Button2->setObjectName("Button2");
    strip->addWidget(Button2);
    strip->addStretch();
    Label1 = new QLabel(Panel1);
    Label1->setObjectName("Label1");
    strip->addWidget(Label1);
    Label3 = new QLabel(Panel1);
    Label3->setObjectName("Label3");
    strip->addWidget(Label3);
    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedSize(16, 16);
    Panel2->setAutoFillBackground(true);
    strip->addWidget(Panel2);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setToolTip("RIGHT-CLICK to Show Colour-palette Options");
    Image1 = new PictureView(s, this, ScrollBox1);
    ScrollBox1->setWidget(Image1);
    ScrollBox1->setWidgetResizable(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(ScrollBox1, 1);
}

void TForm2::setToolCursor(int currentTool) {
    switch (currentTool) {
    case kToolBrush: Image1->setCursor(Qt::CrossCursor); break;
    case kToolTouch: Image1->setCursor(Qt::PointingHandCursor); break;
    default: Image1->setCursor(Qt::OpenHandCursor); break;
    }
}

void TForm2::FormShow() {
    Image1->setEnabled(true);
    Button2->setEnabled(true);
    setToolCursor(session_.tools.currentTool);
    formShow(session_);
    repaint();
}

void TForm2::pictureChanged() {
    Image1->syncSize();
    Image1->update();
    resetCaptionChanged();
}

void TForm2::displayChanged(const QRect& r) { Image1->update(r); }

void TForm2::readoutsChanged() {
    const PointerState& p = session_.pointer;
    Label1->setText(QString::fromStdString(p.positionLabel));
    Label3->setText(QString::fromStdString(p.colourLabel));
    QPalette pal = Panel2->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(p.swatchColour));
    Panel2->setPalette(pal);
}

void TForm2::resetCaptionChanged() {
    if (session_.ws) Button2->setText(QString::fromStdString(session_.ws->resetCaption));
}

void TForm2::autoScroll(int x, int y) {
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    const QSize visible = ScrollBox1->viewport()->size();
    if (x - h->value() >= visible.width() - kScrollMargin) h->setValue(h->value() + kScrollStep);
    if (y - v->value() >= visible.height() - kScrollMargin) v->setValue(v->value() + kScrollStep);
    if (x - h->value() < 1) h->setValue(h->value() - kScrollStep);
    if (y - v->value() < 1) v->setValue(v->value() - kScrollStep);
    ScrollBox1->viewport()->update();
}

void TForm2::closeEvent(QCloseEvent* e) {
    if (!closed_) {
        closed_ = true;
        formClose(session_);
    }
    e->accept();
}

} // namespace cw
