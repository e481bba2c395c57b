#include "paint/tform2.h"

#include <QCloseEvent>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/image_window.h"
#include "app/session.h"

namespace cw {

PictureView::PictureView(Session& s, QWidget* parent) : QWidget(parent), session_(s) {
    setObjectName("Image1");
    setAttribute(Qt::WA_OpaquePaintEvent);
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

TForm2::TForm2(Session& s, QWidget* parent) : QWidget(parent), session_(s) {
    setObjectName("Form2");
    setAttribute(Qt::WA_DeleteOnClose);
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    Image1 = new PictureView(s, ScrollBox1);
    ScrollBox1->setWidget(Image1);
    ScrollBox1->setWidgetResizable(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ScrollBox1);
}

void TForm2::setToolCursor(int currentTool) {
    switch (currentTool) {
    case 1: Image1->setCursor(Qt::CrossCursor); break;
    case 2: Image1->setCursor(Qt::PointingHandCursor); break;
    case 3: Image1->setCursor(Qt::OpenHandCursor); break;
    default: Image1->setCursor(Qt::ArrowCursor); break;
    }
}

void TForm2::FormShow() {
    Image1->setEnabled(true);
    setToolCursor(session_.tools.currentTool);
    formShow(session_);
    repaint();
}

void TForm2::pictureChanged() {
    Image1->syncSize();
    Image1->update();
}

void TForm2::closeEvent(QCloseEvent* e) {
    if (!closed_) {
        closed_ = true;
        formClose(session_);
    }
    e->accept();
}

} // namespace cw
