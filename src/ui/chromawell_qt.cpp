#include "ui/chromawell_qt.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>

#include "platform/program_scratch.h"
#include "platform/scratch_location_qt.h"
#include "ui/help_qt.h"
#include <QSettings>
#include "ui/agreement_window.h"
#include "ui/print_window.h"
#include "ui/about_window.h"
#include "ui/progress_window.h"

namespace cw {

Chromawell::Chromawell(Options options) {
    if (options.splash) {
        splash_ = new AboutWindow(nullptr);
        splash_->setFixedSize(kSplashWidth, kSplashHeight);
        if (QScreen* screen = QGuiApplication::primaryScreen())
            splash_->move(screen->geometry().center() - QPoint(kSplashWidth / 2, kSplashHeight / 2));
        splash_->splashTimer->start();
        splash_->show();
        splash_->repaint();
        QObject::connect(splash_, &QObject::destroyed, [this] { splash_ = nullptr; });
    }
    setApplicationIdentity();
    QGuiApplication::setApplicationDisplayName(kApplicationTitle);
    QApplication::setWindowIcon(QIcon(":/chromawell.png"));
    scratch_ = std::make_unique<ProgramScratch>(scratchFolderLocation());

    mainWindow_ = std::make_unique<MainWindow>(options.services);
    order_.push_back(mainWindow_->objectName().toStdString());
    printWindow_ = std::make_unique<PrintWindow>();
    order_.push_back(printWindow_->objectName().toStdString());
    progressWindow_ = std::make_unique<ProgressWindow>();
    order_.push_back(progressWindow_->objectName().toStdString());
    mainWindow_->attach(*printWindow_, *progressWindow_, scratch_->folder());
    mainWindow_->enableAutosave(autosaveFolderLocation(), programSettings()->value(kAutosaveSecondsKey, 300).toInt());
    order_.push_back(mainWindow_->createZoomView().objectName().toStdString());
    agreement_ = std::make_unique<AgreementWindow>();
    order_.push_back(agreement_->objectName().toStdString());
    mainWindow_->attachAgreement(*agreement_);
}

Chromawell::~Chromawell() {
    // The main window's image window reaches into the others as it closes.
    mainWindow_.reset();
    if (splash_) delete splash_;
}

void Chromawell::showMain() {
    // Qt takes the restored geometry from the window as it is maximised.
    mainWindow_->placeRestored();
    mainWindow_->showMaximized();
}

} // namespace cw
