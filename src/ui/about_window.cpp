#include "ui/about_window.h"

#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include "ui/help_qt.h"
#include "ui/agreement_window.h"

namespace cw {

namespace {
int aboutWindowsShowing = 0;
constexpr int kBannerHeight = 41, kStripHeight = 21;
} // namespace

bool AboutWindow::showing() { return aboutWindowsShowing > 0; }

AboutWindow::AboutWindow(AgreementWindow* agreement, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Dialog), agreement_(agreement) {
    setObjectName("Form5");
    setAttribute(Qt::WA_DeleteOnClose);
    resize(kSplashWidth, kSplashHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    versionLabel = new QLabel("Vesion: 2.1", this);
    versionLabel->setObjectName("Label1");
    versionLabel->setGeometry(24, 110, 300, 20);
    helpLink = new QLabel("CLICK TO ACCESS ON-LINE HELP/ TUTORIAL", this);
    helpLink->setObjectName("UrlLabel1");
    helpLink->setGeometry(24, 150, 400, 20);
    helpLink->setCursor(Qt::PointingHandCursor);
    QPalette link = helpLink->palette();
    link.setColor(QPalette::WindowText, QColor(0x66, 0xcc, 0xff));
    helpLink->setPalette(link);
    QFont underlined = helpLink->font();
    underlined.setUnderline(true);
    helpLink->setFont(underlined);
    helpLink->installEventFilter(this);
    readAgreementButton = new QPushButton("Read &EULA", this);
    readAgreementButton->setObjectName("Button3");
    readAgreementButton->setGeometry(kAboutWidth - 220, kAboutHeight - 44, 100, 28);
    closeButton = new QPushButton("&Close", this);
    closeButton->setObjectName("Button1");
    closeButton->setGeometry(kAboutWidth - 110, kAboutHeight - 44, 90, 28);
    closeButton->setDefault(true);

    splashTimer = new QTimer(this);
    splashTimer->setObjectName("Timer1");
    splashTimer->setInterval(kSplashMilliseconds);
    splashTimer->setSingleShot(true);

    // Escape and the buttons end the dialog through done(), which in this Qt
    // sends no close event; finished comes whichever way it goes.
    connect(this, &QDialog::finished, this, [this] { uncount(); });
    connect(splashTimer, &QTimer::timeout, this, &QDialog::close);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    connect(readAgreementButton, &QPushButton::clicked, this, [this] { showAgreement(); });
}

void AboutWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Banner: the product name over a band of palette colours.
    QLinearGradient band(0, 0, kSplashWidth, 0);
    const QColor stops[] = {QColor(0xf2, 0xc4, 0x9b), QColor(0x6f, 0xa8, 0xdc), QColor(0x93, 0xc4, 0x7d),
                            QColor(0xe0, 0x6c, 0x4c)};
    for (int i = 0; i < 4; ++i) band.setColorAt(i / 3.0, stops[i]);
    p.fillRect(QRect(0, 0, kSplashWidth, kBannerHeight), band);
    QFont title("DejaVu Serif");
    title.setPixelSize(28);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::black);
    p.drawText(QRect(0, 0, kSplashWidth, kBannerHeight), Qt::AlignCenter, "Chromawell");
    QFont small;
    small.setPixelSize(12);
    p.setFont(small);
    p.setPen(Qt::white);
    p.drawText(QRect(0, kBannerHeight, kSplashWidth, kStripHeight), Qt::AlignCenter,
               "colour for black-and-white photographs");
    // The rest, black at the top to white at the bottom.
    const int top = kBannerHeight + kStripHeight;
    if (height() > top) {
        QLinearGradient fade(0, top, 0, height());
        fade.setColorAt(0, Qt::black);
        fade.setColorAt(1, Qt::white);
        p.fillRect(QRect(0, top, width(), height() - top), fade);
    }
}

void AboutWindow::showEvent(QShowEvent* e) {
    countShowing();
    QDialog::showEvent(e);
}

// A window deleted without being closed must not leave the flag set.
AboutWindow::~AboutWindow() { uncount(); }

// A restore after minimising is another show event of the same window.
void AboutWindow::countShowing() {
    if (counted_) return;
    counted_ = true;
    ++aboutWindowsShowing;
}

void AboutWindow::uncount() {
    if (!counted_) return;
    counted_ = false;
    --aboutWindowsShowing;
}

void AboutWindow::showAgreement() {
    if (agreement_) agreement_->showForReading();
    close();
}

void AboutWindow::openHelp() { openHelpPage(kHelpIndexPage, this); }

bool AboutWindow::eventFilter(QObject* watched, QEvent* e) {
    if (watched == helpLink && e->type() == QEvent::MouseButtonPress) {
        openHelp();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

} // namespace cw
