#include "ui/progress_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace cw {

namespace {
constexpr int kClientWidth = 165, kClientHeight = 77;
const QColor kNavy(0, 0, 128);
} // namespace

void PieGauge::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height()) - 2;
    const QRect disc((width() - side) / 2, (height() - side) / 2, side, side);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(192, 192, 192));
    p.drawEllipse(disc);
    p.setBrush(Qt::red);
    p.drawPie(disc, 90 * 16, -value * 360 * 16 / 100);
    if (showText) {
        QFont f("Arial");
        f.setPixelSize(19);
        p.setFont(f);
        p.setPen(Qt::black);
        p.drawText(rect(), Qt::AlignCenter, QString::asprintf("%d%%", value));
    }
}

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setObjectName("Form7");
    setWindowTitle("Progress Meter");
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kNavy);
    setPalette(pal);

    Label1 = new PieGauge(this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(4, 4, 113, 52);

    BlinkLabel1 = new QLabel(QString::fromUtf8(kPhaseWorking), this);
    BlinkLabel1->setObjectName("BlinkLabel1");
    BlinkLabel1->setGeometry(0, kClientHeight - 13, kClientWidth, 13);
    BlinkLabel1->setAlignment(Qt::AlignCenter);
    QPalette textPal = BlinkLabel1->palette();
    textPal.setColor(QPalette::WindowText, Qt::white);
    BlinkLabel1->setPalette(textPal);
    QFont small = BlinkLabel1->font();
    small.setPixelSize(11);
    BlinkLabel1->setFont(small);

    Button1 = new QPushButton("&Abort", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(121, 12, 40, 36);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
}

void ProgressWindow::setLockTargets(QWidget* mainWindow, std::function<QWidget*()> imageWindow) {
    mainWindow_ = mainWindow;
    imageWindow_ = std::move(imageWindow);
}

void ProgressWindow::Button1Click() { abortPressed(); }

void ProgressWindow::reject() { Button1->click(); }

void ProgressWindow::closeEvent(QCloseEvent* e) {
    // Only the end of an operation hides the meter.
    if (hiding_) e->accept();
    else e->ignore();
}

void ProgressWindow::showEvent(QShowEvent* e) {
    Label1->value = progress();
    QDialog::showEvent(e);
}

void ProgressWindow::showMeter() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
    activateWindow();
    Button1->setFocus();
    repaint();
}

void ProgressWindow::hideMeter() {
    hiding_ = true;
    hide();
    hiding_ = false;
}

void ProgressWindow::drawGauge() {
    Label1->value = progress();
    if (isVisible()) Label1->repaint();
}

void ProgressWindow::drawPhase() {
    BlinkLabel1->setText(QString::fromStdString(phase()));
    if (isVisible()) BlinkLabel1->repaint();
}

void ProgressWindow::drawControls() {
    Label1->setVisible(gaugeVisible());
    Label1->showText = gaugeTextVisible();
    Button1->setVisible(abortVisible());
    BlinkLabel1->setVisible(phaseVisible());
}

void ProgressWindow::processEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void ProgressWindow::lockWindows(bool locked) {
    QWidget* image = imageWindow_ ? imageWindow_() : nullptr;
    for (QWidget* w : {static_cast<QWidget*>(mainWindow_), image}) {
        if (!w) continue;
        w->setEnabled(!locked);
        w->repaint();
    }
}

} // namespace cw
