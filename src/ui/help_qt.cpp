#include "ui/help_qt.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <memory>

namespace cw {

namespace {
constexpr const char* kAcceptedKey = "agreement/accepted";

// An explicit file, so the record follows XDG_CONFIG_HOME as it is now
// (QSettings' own user path is fixed at its first use).
std::unique_ptr<QSettings> settings() {
    const QString file =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/chromawell/chromawell.conf";
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}
} // namespace

QString helpPagePath(const char* page) {
    const QString dir = QCoreApplication::applicationDirPath();
    const QString beside = dir + "/doc/" + page;
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = dir + "/../share/chromawell/doc/" + page;
    if (QFileInfo::exists(installed)) return QFileInfo(installed).canonicalFilePath();
    return beside;
}

void openHelpPage(const char* page) { QDesktopServices::openUrl(QUrl::fromLocalFile(helpPagePath(page))); }

bool agreementAccepted() { return settings()->value(kAcceptedKey, false).toBool(); }

void recordAgreementAccepted() {
    const auto s = settings();
    s->setValue(kAcceptedKey, true);
    s->sync();
}

} // namespace cw
