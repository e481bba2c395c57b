#include "ui/help_qt.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QUrl>
#include <algorithm>
#include <memory>

namespace cw {

namespace {
constexpr const char* kAcceptedKey = "agreement/accepted";
} // namespace

// An explicit file, so the record follows XDG_CONFIG_HOME as it is now
// (QSettings' own user path is fixed at its first use).
std::unique_ptr<QSettings> programSettings() {
    const QString file =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/chromawell/chromawell.conf";
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

QString helpPagePath(const char* page) {
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + "/doc/" + page;
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = dir + "/../share/chromawell/doc/" + page;
    if (QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath();
    return beside;
}

namespace {

void showInHelpWindow(const QUrl& page, QWidget* from) {
    static QPointer<QTextBrowser> window;
    // A window opened while a modal one is up stays blocked by it, unless
    // it is modal too.
    QWidget* modal = QApplication::activeModalWidget();
    if (window && modal && modal != window && !window->isModal()) delete window;
    if (!window) {
        QWidget* owner = from;
        while (owner && owner->parentWidget()) owner = owner->parentWidget();
        window = new QTextBrowser(owner);
        window->setWindowFlag(Qt::Window);
        window->setObjectName("HelpWindow");
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (modal) {
            window->setWindowModality(Qt::ApplicationModal);
            // Over the about window, which stays on top.
            window->setWindowFlag(Qt::WindowStaysOnTopHint, modal->windowFlags() & Qt::WindowStaysOnTopHint);
        }
        window->setOpenExternalLinks(true);  // the pages' own links it follows itself
        // Room for the pages' screenshots, 1092 pixels wide, where the screen has it.
        const QRect screen = window->screen()->availableGeometry();
        window->resize(std::min(1160, screen.width()), std::min(820, screen.height() * 9 / 10));
        QObject::connect(window, &QTextBrowser::sourceChanged, window,
                         [w = window.data()] { w->setWindowTitle(w->documentTitle()); });
    }
    window->setSource(page);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

void openHelpPage(const char* page, QWidget* from) {
    const QUrl url = QUrl::fromLocalFile(helpPagePath(page));
    if (!QDesktopServices::openUrl(url)) showInHelpWindow(url, from);
}

bool agreementAccepted() { return programSettings()->value(kAcceptedKey, false).toBool(); }

void recordAgreementAccepted() {
    const auto s = programSettings();
    s->setValue(kAcceptedKey, true);
    s->sync();
}

} // namespace cw
