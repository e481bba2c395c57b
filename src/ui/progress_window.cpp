#include "ui/progress_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace cw {

namespace {
constexpr int kClientWidth = 165, kClientHeight = 77;
const QColor kNavy(0, 0, 128);
} // namespace

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
    setObjectName("Form7");
    setWindowTitle("Progress Meter");
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kNavy);
    setPalette(pal);

    gauge = new PieGauge(this);
    gauge->setObjectName("Label1");
    gauge->setGeometry(4, 4, 113, 52);

    phaseLabel = new QLabel(QString::fromUtf8(kPhaseWorking), this);
    phaseLabel->setObjectName("BlinkLabel1");
    phaseLabel->setGeometry(0, kClientHeight - 13, kClientWidth, 13);
    phaseLabel->setAlignment(Qt::AlignCenter);
    QPalette textPal = phaseLabel->palette();
    textPal.setColor(QPalette::WindowText, Qt::white);
    phaseLabel->setPalette(textPal);
    QFont small = phaseLabel->font();
    small.setPixelSize(11);
    phaseLabel->setFont(small);

    abortButton = new QPushButton("&Abort", this);
    abortButton->setObjectName("Button1");
    abortButton->setGeometry(121, 12, 40, 36);
    abortButton->setDefault(true);
    connect(abortButton, &QPushButton::clicked, this, [this] { abortPressed(); });
}

void ProgressWindow::setLockTargets(QWidget* mainWindow, std::function<QWidget*()> imageWindow) {
    mainWindow_ = mainWindow;
    imageWindow_ = std::move(imageWindow);
}

void ProgressWindow::reject() { abortButton->click(); }

void ProgressWindow::closeEvent(QCloseEvent* e) {
    // Only the end of an operation hides the meter.
    if (hiding_) e->accept();
    else e->ignore();
}

void ProgressWindow::showEvent(QShowEvent* e) {
    gauge->value = progress();
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
    abortButton->setFocus();
    repaint();
}

void ProgressWindow::hideMeter() {
    hiding_ = true;
    hide();
    hiding_ = false;
}

void ProgressWindow::drawGauge() {
    gauge->value = progress();
    if (isVisible()) gauge->repaint();
}

void ProgressWindow::drawPhase() {
    phaseLabel->setText(QString::fromStdString(phase()));
    if (isVisible()) phaseLabel->repaint();
}

void ProgressWindow::drawControls() {
    gauge->setVisible(gaugeVisible());
    gauge->showText = gaugeTextVisible();
    abortButton->setVisible(abortVisible());
    phaseLabel->setVisible(phaseVisible());
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
