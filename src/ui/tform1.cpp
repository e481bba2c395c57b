#include "ui/tform1.h"

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
#include <QToolButton>
#include <QVBoxLayout>

#include "actions/action_table.h"
#include "actions/picture_files.h"
#include "actions/scan_flow.h"
#include "actions/scratch.h"
#include "document/tool_settings.h"
#include "platform/scanner.h"
#include "tools/tool_choice.h"
#include "tools/tool_registry.h"
#include "ui/help_qt.h"
#include "ui/services_qt.h"
#include "ui/teulafrm.h"
#include "ui/tform3.h"
#include "ui/tform5.h"
#include "ui/tform7.h"
#include "ui/tform_scan_qt.h"
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
        if (QFileInfo(path).isFile() && isPictureName(path.toStdString())) return path;
    }
    return {};
}

} // namespace

TForm1::TForm1(Services services)
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
    MdiArea->viewport()->installEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Resize && watched == MdiArea->viewport()) fitImageWindow();
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

TForm1::~TForm1() {
    // The image window's close handler and the zoomed view reach into the
    // session: both go before it.
    if (subWindow_) delete subWindow_;
    delete form10_;
}

void TForm1::attach(TForm3& printOptions, TForm7& progress, const std::string& scratchFolder) {
    form3_ = &printOptions;
    form7_ = &progress;
    session_ = std::make_unique<Session>(progress, services_.messages ? *services_.messages : *qtMessages_,
                                         dialogs_, *this, scratchFolder);
    controls_.attach(*session_);
    progress.setLockTargets(this, [this]() -> QWidget* { return form2_; });
    readBack();
}

TForm10& TForm1::createZoomView() {
    form10_ = new TForm10(*session_, this);
    form10_->addActions(actions());  // the keys work over the zoomed view too
    return *form10_;
}

void TForm1::attachAgreement(TEULAFrm& agreement) { eula_ = &agreement; }


void TForm1::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shownOnce_) {
        shownOnce_ = true;
        // Once the window has been drawn, so that the agreement and the
        // messages appear over it.
        QTimer::singleShot(0, this, [this] { FormShow(); });
    }
}

void TForm1::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

// The main window is the program: no window it opened may keep it running
// without one, nor a modal one its own event loop.
void TForm1::closeEvent(QCloseEvent* e) {
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
void TForm1::dragEnterEvent(QDragEnterEvent* e) {
    if (!droppedPicture(e->mimeData()).isEmpty()) e->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* e) {
    const QString path = droppedPicture(e->mimeData());
    if (path.isEmpty()) return;
    e->acceptProposedAction();
    loadPath(path.toStdString());
}

void TForm1::FormShow() {
    const QSize screen = services_.screenSize();
    if (screen.width() < kMinScreenWidth || screen.height() < kMinScreenHeight) {
        session_->messages.info(kDisplayTooSmall);
        // Takes effect when control is back in the event loop; the rest still runs.
        terminateRequested_ = true;
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    }
    if (!terminateRequested_ && eula_ && !agreementAccepted()) {
        if (eula_->askForAcceptance() != kAgreed) {
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
    valSet(s.controls, s.settings);
    s.palette.paletteCode = 1;
    s.palette.markerColour = 16776960;
    s.palette.selectionCaption = "Skin: Fair";
    s.settings.imageSpan = 1;
    startingTools(s.tools);
    // The natural size placeRestored takes depends on the tool groups shown.
    readBack();
    if (!isMaximized()) placeRestored();
    s.controls.layeredShown = true;
    readBack();
    if (!terminateRequested_) emit started();
}

void TForm1::placeRestored() {
    // An unsized window takes its natural size as it is shown: place that one.
    if (!testAttribute(Qt::WA_Resized)) adjustSize();
    move(std::max(0, services_.screenSize().width() - width()), 0);
}

void TForm1::ExplorerButton15Click() {
    if (TForm5::showing()) return;
    auto* about = new TForm5(eula_, this);
    about->resize(kAboutWidth, kAboutHeight);
    about->Timer1->stop();
    about->exec();
}

void TForm1::printPicture() {
    if (form3_) printButtonClick(*session_, *form3_, form2_ && form2_->isVisible());
}

void TForm1::scanImage() {
    QtScanUi ui(this);
    scanImageClick(*session_, ui, defaultScanner());
}

void TForm1::status(const std::string& text) {
    statusBar()->showMessage(QString::fromStdString(text), kStatusMilliseconds);
}

void TForm1::ShowHideExtraControls1Click() {
    for (QWidget* w : std::initializer_list<QWidget*>{Panel88, Panel12, RadioGroup1, CheckBox2})
        w->setVisible(!w->isVisibleTo(w->parentWidget()));
}

void TForm1::loadPath(const std::string& path) {
    dialogs_.nextOpen = path;
    triggerAction(*session_, actionNamed("load"));
    dialogs_.nextOpen.reset();
}

const Action& TForm1::loadOrClear() const { return actionNamed(session_->imageWindowOpen ? "clear" : "load"); }

void TForm1::createImageWindow() {
    form2_ = new TForm2(*session_);
    subWindow_ = MdiArea->addSubWindow(form2_);
    subWindow_->installEventFilter(this);
}

void TForm1::showImageWindow() {
    if (!form2_) return;
    subWindow_->show();
    form2_->FormShow();
}

void TForm1::closeImageWindow() {
    closingImage_ = true;
    if (subWindow_) subWindow_->close();
    closingImage_ = false;
}

// The whole client area, unless the user has minimised or maximised it.
void TForm1::fitImageWindow() {
    if (!subWindow_ || subWindow_->isMinimized() || subWindow_->isMaximized()) return;
    const QRect room = MdiArea->viewport()->rect();
    subWindow_->setGeometry(0, 0, std::max(100, room.width()), std::max(100, room.height()));
}

void TForm1::pictureChanged() {
    if (form2_) form2_->pictureChanged();
}

void TForm1::displayChanged(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (form2_) form2_->displayChanged(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)));
}

void TForm1::readoutsChanged() {
    if (form2_) form2_->readoutsChanged();
}

void TForm1::autoScroll(int32_t x, int32_t y) {
    if (form2_) form2_->autoScroll(x, y);
}

void TForm1::zoomViewChanged() {
    if (!form10_) return;
    if (!session_->zoom.exists) {
        form10_->hide();
        return;
    }
    form10_->FormShow();
    int w = form10_->Image1->width() + 15, h = form10_->Image1->height() + 58;
    if (form2_ && form2_->width() < w) w = form2_->width() - 40;
    if (form2_ && form2_->height() < h) h = form2_->height() - 40;
    form10_->resize(w, h);
    form10_->show();
}

void TForm1::popupPaletteMenu(int x, int y) {
    if (form2_) form2_->popupPaletteMenuAt(x, y);
}

void TForm1::scaleView(ViewScale step) {
    if (form2_) form2_->scaleView(step);
}

void TForm1::zoomPictureChanged() {
    if (form10_) form10_->pictureChanged();
}

void TForm1::resetCaptionChanged() {
    if (form2_) form2_->resetCaptionChanged();
}

void TForm1::mainWindowChanged() { readBack(); }

void TForm1::readBack() {
    if (!session_) return;
    const Session& s = *session_;
    controls_.readBack();
    ExplorerButton1->setText(captionOf(loadOrClear()));
    ExplorerButton1->setToolTip(withKeys(captionOf(loadOrClear()), {&loadOrClear()}));
    // Each tool button also shows its tool in the "Tool" picture, with its hint.
    const Tool& tool = currentTool(s.tools);
    toolButtons_->button(tool.id())->setChecked(true);
    if (shownTool_ != tool.id()) {
        shownTool_ = tool.id();
        Image1->setPixmap(toolIcon(tool.glyph()).pixmap(24, 24));
        Image1->setToolTip(tool.hint());
    }
    if (form2_) form2_->setToolCursor(tool.cursor());
    if (form10_) form10_->setToolCursor(tool.cursor());
    Panel1->setEnabled(s.toolPanelsEnabled);
    Panel12->setEnabled(s.toolPanelsEnabled);
    Label2->setText(s.ws ? QString(" w:%1  h:%2 ").arg(s.ws->width).arg(s.ws->height) : QString());
    Label24->setText(QString::fromStdString(s.palette.selectionCaption));
    SpinEdit2->setSingleStep(s.controls.integrationStep);
    const ToolGroups& g = s.tools.groups;
    for (auto [group, shown] : {std::pair{OverwriteGroup, g.overwriteShown}, {IntegrationGroup, g.integrationShown},
                                {Panel8, g.brushShown}}) {
        group->setVisible(shown);
        group->setEnabled(shown);
    }
    CheckBox10->setVisible(s.controls.layeredShown);
    CheckBox10->setEnabled(s.controls.layeredShown);
    if (form2_) {
        form2_->setWindowTitle(QString::fromStdString(s.pictureName));
        form2_->readBack();
    }
    setEnabled(s.mainEnabled);
}

} // namespace cw
