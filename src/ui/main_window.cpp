#include "ui/main_window.h"

#include <utility>

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QDateTime>
#include <QInputDialog>
#include <QSettings>
#include <unistd.h>
#include <QToolButton>
#include <QVBoxLayout>

#include "actions/action_table.h"
#include "actions/picture_files.h"
#include "actions/work_file.h"
#include "actions/scan_flow.h"
#include "actions/scratch.h"
#include "codecs/picture_formats.h"
#include "document/tool_settings.h"
#include "document/undo.h"
#include "platform/scanner.h"
#include "tools/tool_choice.h"
#include "tools/tool_registry.h"
#include "ui/help_qt.h"
#include "ui/services_qt.h"
#include "ui/agreement_window.h"
#include "ui/print_job.h"
#include "ui/print_window.h"
#include "ui/about_window.h"
#include "ui/progress_window.h"
#include "ui/scan_dialog.h"
#include "ui/tools_qt.h"

namespace cw {

namespace {

constexpr int kMinScreenWidth = 800, kMinScreenHeight = 600;
constexpr int kStatusMilliseconds = 5000;

QString captionOf(const Action& a) { return QString::fromUtf8(a.caption.data(), qsizetype(a.caption.size())); }

// The first picture file among the dropped names; empty when there is none.
QString droppedPicture(const QMimeData* data) {
    for (const QUrl& url : data->urls()) {
        const QString path = url.toLocalFile();
        if (QFileInfo(path).isFile() && (isPictureName(path.toStdString()) || isWorkFileName(path.toStdString())))
            return path;
    }
    return {};
}

} // namespace

MainWindow::MainWindow(Services services)
    : services_(std::move(services)),
      qtMessages_(std::make_unique<QtMessages>(this)),
      qtDialogs_(std::make_unique<QtDialogs>(this)) {
    setObjectName("Form1");
    setWindowTitle("Chromawell");
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kSilver);
    setPalette(pal);
    setAcceptDrops(true);
    dialogs_.inner = services_.dialogs ? services_.dialogs : qtDialogs_.get();
    if (!services_.screenSize)
        services_.screenSize = [] {
            QScreen* s = QGuiApplication::primaryScreen();
            return s ? s->size() : QSize(0, 0);
        };
    buildControls();
    statusBar();
    // The image window follows the frame's size, not only the first one.
    mdiArea_->viewport()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Resize && watched == mdiArea_->viewport()) fitImageWindow();
    // The image window closed from its frame is Clear Image by other means;
    // when the program closes it, Clear Image has asked already. (The type
    // first: the frame also sends events while it is being destroyed, when
    // it is no longer one to compare with.)
    if (e->type() == QEvent::Close && watched == subWindow_ && !closingImage_ && !settleUnsavedChanges(*session_)) {
        e->ignore();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

MainWindow::~MainWindow() {
    // Ending normally, the program leaves no autosave to offer.
    if (autosave_) autosave_->remove();
    // The image window's close handler and the zoomed view reach into the
    // session: both go before it.
    if (subWindow_) delete subWindow_;
    delete zoomWindow_;
}

void MainWindow::attach(PrintWindow& printOptions, ProgressWindow& progress, const std::string& scratchFolder) {
    printWindow_ = &printOptions;
    progressWindow_ = &progress;
    session_ = std::make_unique<Session>(progress, services_.messages ? *services_.messages : *qtMessages_,
                                         dialogs_, *this, scratchFolder);
    controls_.attach(*session_);
    // A step recorded on the recorder's thread is settled on this one, so
    // that Undo and Redo show what became of it.
    session_->history.whenRecorded([this] {
        QMetaObject::invokeMethod(this, [this] { if (session_) settleHistory(*session_); }, Qt::QueuedConnection);
    });
    progress.setLockTargets(this, [this]() -> QWidget* { return imageWindow_; });
    readBack();
}

ZoomWindow& MainWindow::createZoomView() {
    zoomWindow_ = new ZoomWindow(*session_, this);
    zoomWindow_->addActions(actions());  // the keys work over the zoomed view too
    return *zoomWindow_;
}

void MainWindow::attachAgreement(AgreementWindow& agreement) { agreement_ = &agreement; }


void MainWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        // Once the window has been drawn, so that the agreement and the
        // messages appear over it.
        QTimer::singleShot(0, this, [this] { startUp(); });
    }
}

void MainWindow::contextMenuEvent(QContextMenuEvent* e) { extrasMenu_->popup(e->globalPos()); }

// The main window is the program: no window it opened may keep it running
// without one, nor a modal one its own event loop.
void MainWindow::closeEvent(QCloseEvent* e) {
    if (session_ && !settleUnsavedChanges(*session_)) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
    if (!e->isAccepted()) return;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this && w->isVisible()) w->close();
    QCoreApplication::quit();
}

// Anything else dropped is turned away without a word.
void MainWindow::dragEnterEvent(QDragEnterEvent* e) {
    if (!droppedPicture(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* e) {
    const QString path = droppedPicture(e->mimeData());
    if (path.isEmpty()) return;
    e->acceptProposedAction();
    loadPath(path.toStdString());
}

void MainWindow::startUp() {
    const QSize screen = services_.screenSize();
    if (screen.width() < kMinScreenWidth || screen.height() < kMinScreenHeight) {
        session_->messages.info(kDisplayTooSmall);
        // Takes effect when control is back in the event loop; the rest still runs.
        terminateRequested_ = true;
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    if (!terminateRequested_ && agreement_ && !agreementAccepted()) {
        if (agreement_->askForAcceptance() != kAgreed) {
            terminateRequested_ = true;
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
            return;
        }
        recordAgreementAccepted();
        if (session_->messages.confirm(kFirstRunHelpQuestion)) openHelpPage(kFirstStepsPage, this);
    }
    // A folder that cannot be made is not reported; scratch writes then fail.
    ensureScratchFolder(session_->scratchFolder);

    Session& s = *session_;
    takeControls(s.controls, s.markUpSizes, s.imageSpan);
    s.palette.paletteCode = 1;
    s.palette.markerColour = 16776960;
    s.palette.selectionCaption = "Skin: Fair";
    s.imageSpan = 1;
    startingTools(s.tools);
    // The natural size placeRestored takes depends on the tool groups shown.
    readBack();
    if (!isMaximized()) placeRestored();
    s.controls.layeredShown = true;
    readBack();
    if (!terminateRequested_ && autosave_) offerLeftWork();
    if (!terminateRequested_) emit started();
}

void MainWindow::enableAutosave(const std::string& folder, int seconds) {
    autosave_ = std::make_unique<Autosave>(folder);
    autosave_->whenPrepared([this] { QMetaObject::invokeMethod(this, [this] { autosaveRound(); }, Qt::QueuedConnection); });
    autosaveTimer_ = new QTimer(this);
    connect(autosaveTimer_, &QTimer::timeout, this, [this] { autosaveRound(); });
    setAutosaveSeconds(seconds);
}

void MainWindow::setAutosaveSeconds(int seconds) {
    autosaveSeconds_ = std::max(0, seconds);
    if (!autosaveTimer_) return;
    if (autosaveSeconds_ == 0) autosaveTimer_->stop();
    else autosaveTimer_->start(autosaveSeconds_ * 1000);
}

bool MainWindow::autosaveRound() {
    if (!autosave_ || !session_) return false;
    Session& s = *session_;
    const bool unsaved = s.imageWindowOpen && s.ws && (s.ws->imageModified || s.reworked);
    // Saved or closed since: the last autosave is of no use any more.
    if (!unsaved) {
        autosave_->remove();
        return false;
    }
    // Not while a command runs (its progress window is up): the picture is
    // half changed; the next round takes it.
    if (s.progress.visible()) return false;
    // The undo history's recorder may still be reading the picture: so does
    // the copy, and neither writes it.
    return autosave_->save(s);
}

bool MainWindow::offerLeftWork() {
    for (const LeftWork& left : leftWork(autosave_->folder())) {
        const QString when = QDateTime::fromSecsSinceEpoch(left.time).toString("yyyy-MM-dd hh:mm");
        const std::string file = left.pictureName.empty() ? left.path : left.pictureName;
        if (!session_->messages.confirm("Restore the work of " + file + " from " + when.toStdString() + "?")) {
            ::unlink(left.path.c_str());
            continue;
        }
        // Kept as this program's own until it is saved: another crash
        // still finds it.
        if (!autosave_->adopt(left.path)) continue;
        loadPath(autosave_->path());
        Session& s = *session_;
        if (!s.ws) return false;
        s.pictureName = file;
        s.ws->imageModified = true;
        pictureChanged();
        readBack();
        return true;
    }
    return false;
}

void MainWindow::chooseAutosaveInterval() {
    bool ok = false;
    const int minutes = QInputDialog::getInt(this, "Autosave", "Save the work every so many minutes (0: never):",
                                             autosaveSeconds_ / 60, 0, 120, 1, &ok);
    if (!ok) return;
    setAutosaveSeconds(minutes * 60);
    programSettings()->setValue(kAutosaveSecondsKey, autosaveSeconds_);
}

void MainWindow::placeRestored() {
    // An unsized window takes its natural size as it is shown: place that one.
    if (!testAttribute(Qt::WA_Resized)) adjustSize();
    move(std::max(0, services_.screenSize().width() - width()), 0);
}

void MainWindow::showAbout() {
    if (AboutWindow::showing()) return;
    auto* about = new AboutWindow(agreement_, this);
    about->resize(kAboutWidth, kAboutHeight);
    about->splashTimer->stop();
    about->exec();
}

void MainWindow::printPicture() {
    if (printWindow_) printDisplayedPicture(*session_, *printWindow_, imageWindow_ && imageWindow_->isVisible());
}

void MainWindow::scanImage() {
    QtScanUi ui(this);
    scanImageClick(*session_, ui, defaultScanner());
}

void MainWindow::status(const std::string& text) {
    statusBar()->showMessage(QString::fromStdString(text), kStatusMilliseconds);
}

void MainWindow::toggleExtraControls() {
    for (QWidget* w : extraControls())
        w->setVisible(!w->isVisibleTo(w->parentWidget()));
}

void MainWindow::loadPath(const std::string& path) {
    dialogs_.nextOpen = path;
    triggerAction(*session_, actionNamed("load"));
    dialogs_.nextOpen.reset();
}

const Action& MainWindow::loadOrClear() const { return actionNamed(session_->imageWindowOpen ? "clear" : "load"); }

void MainWindow::createImageWindow() {
    imageWindow_ = new ImageWindow(*session_);
    subWindow_ = mdiArea_->addSubWindow(imageWindow_);
    subWindow_->installEventFilter(this);
}

void MainWindow::showImageWindow() {
    if (!imageWindow_) return;
    subWindow_->show();
    imageWindow_->showPicture();
}

void MainWindow::closeImageWindow() {
    if (autosave_) autosave_->remove();
    closingImage_ = true;
    if (subWindow_) subWindow_->close();
    closingImage_ = false;
}

// The whole client area, unless the user has minimised or maximised it.
void MainWindow::fitImageWindow() {
    if (!subWindow_ || subWindow_->isMinimized() || subWindow_->isMaximized()) return;
    const QRect room = mdiArea_->viewport()->rect();
    subWindow_->setGeometry(0, 0, std::max(100, room.width()), std::max(100, room.height()));
}

void MainWindow::pictureChanged() {
    if (imageWindow_) imageWindow_->pictureChanged();
}

void MainWindow::displayChanged(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (imageWindow_) imageWindow_->displayChanged(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)));
}

void MainWindow::readoutsChanged() {
    if (imageWindow_) imageWindow_->readoutsChanged();
}

void MainWindow::autoScroll(int32_t x, int32_t y) {
    if (imageWindow_) imageWindow_->autoScroll(x, y);
}

void MainWindow::zoomViewChanged() {
    if (!zoomWindow_) return;
    if (!session_->zoom.exists) {
        zoomWindow_->hide();
        return;
    }
    zoomWindow_->showZoom();
    int w = zoomWindow_->picture->width() + 15, h = zoomWindow_->picture->height() + 58;
    if (imageWindow_ && imageWindow_->width() < w) w = imageWindow_->width() - 40;
    if (imageWindow_ && imageWindow_->height() < h) h = imageWindow_->height() - 40;
    zoomWindow_->resize(w, h);
    zoomWindow_->show();
}

void MainWindow::popupPaletteMenu(int x, int y) {
    if (imageWindow_) imageWindow_->popupPaletteMenuAt(x, y);
}

void MainWindow::scaleView(ViewScale step) {
    if (imageWindow_) imageWindow_->scaleView(step);
}

void MainWindow::zoomPictureChanged() {
    if (zoomWindow_) zoomWindow_->pictureChanged();
}

void MainWindow::resetCaptionChanged() {
    if (imageWindow_) imageWindow_->resetCaptionChanged();
}

void MainWindow::mainWindowChanged() { readBack(); }

void MainWindow::historyChanged() {
    if (!session_) return;
    if (imageWindow_) imageWindow_->readBack();
    if (!session_->historyNote.empty()) status(std::exchange(session_->historyNote, {}));
}

void MainWindow::readBack() {
    if (!session_) return;
    const Session& s = *session_;
    controls_.readBack();
    operations_.loadOrClearButton->setText(captionOf(loadOrClear()));
    operations_.loadOrClearButton->setToolTip(withKeys(captionOf(loadOrClear()), {&loadOrClear()}));
    // Each tool button also shows its tool in the "Tool" picture, with its hint.
    const Tool& tool = currentTool(s.tools);
    tools_.toolButtons->button(tool.id())->setChecked(true);
    if (shownTool_ != tool.id()) {
        shownTool_ = tool.id();
        selections_.toolPicture->setPixmap(toolIcon(tool.glyph()).pixmap(24, 24));
        selections_.toolPicture->setToolTip(tool.hint());
    }
    if (imageWindow_) imageWindow_->setToolCursor(tool.cursor());
    if (zoomWindow_) zoomWindow_->setToolCursor(tool.cursor());
    tools_.bar->setEnabled(s.toolPanelsEnabled);
    effects_.bar->setEnabled(s.toolPanelsEnabled);
    bottom_.pictureSizeLabel->setText(s.ws ? QString(" w:%1  h:%2 ").arg(s.ws->width).arg(s.ws->height) : QString());
    selections_.paletteLabel->setText(QString::fromStdString(s.palette.selectionCaption));
    tools_.integrationBox->setSingleStep(s.controls.integrationStep);
    const ToolGroups& g = s.tools.groups;
    for (auto [group, shown] : {std::pair{tools_.overwriteGroup, g.overwriteShown},
                                {tools_.integrationGroup, g.integrationShown}, {tools_.brushGroup, g.brushShown}}) {
        group->setVisible(shown);
        group->setEnabled(shown);
    }
    tools_.layeredBox->setVisible(s.controls.layeredShown);
    tools_.layeredBox->setEnabled(s.controls.layeredShown);
    if (imageWindow_) {
        imageWindow_->setWindowTitle(QString::fromStdString(s.pictureName));
        imageWindow_->readBack();
    }
    setEnabled(s.mainEnabled);
}

} // namespace cw
