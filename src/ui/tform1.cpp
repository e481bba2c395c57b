#include "ui/tform1.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/help_qt.h"
#include "ui/services_qt.h"
#include "ui/teulafrm.h"
#include "ui/tform5.h"
#include "actions/picture_files.h"
#include "actions/scratch.h"
#include "platform/scanner.h"
#include "platform/scratch_location_qt.h"
#include "actions/finishup.h"
#include "actions/markup.h"
#include "actions/process.h"
#include "actions/scan_flow.h"
#include "ui/tform3.h"
#include "ui/tform_scan_qt.h"
#include "actions/palette_menu.h"
#include "core/effects.h"
#include "document/tool_settings.h"
#include "tools/tool_choice.h"
#include "tools/tool_registry.h"
#include "ui/tools_qt.h"
#include "ui/tform7.h"

namespace cw {

namespace {

constexpr int kMinScreenWidth = 800, kMinScreenHeight = 600;

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
    dialogs_.inner = services_.dialogs ? services_.dialogs : qtDialogs_.get();
    if (!services_.screenSize)
        services_.screenSize = [] {
            QScreen* s = QGuiApplication::primaryScreen();
            return s ? s->size() : QSize(0, 0);
        };
    buildControls();
}

TForm1::~TForm1() {
    // The image window's close handler and the zoomed view reach into the
    // session: both go before it.
    if (subWindow_) delete subWindow_;
    delete form10_;
}

void TForm1::attach(TForm3& printOptions, TForm7& progress) {
    form3_ = &printOptions;
    form7_ = &progress;
    session_ = std::make_unique<Session>(progress, services_.messages ? *services_.messages : *qtMessages_,
                                         dialogs_, *this, scratchFolderLocation());
    progress.setLockTargets(this, [this]() -> QWidget* { return form2_; });
    mainWindowChanged();
}

TForm10& TForm1::createZoomView() {
    form10_ = new TForm10(*session_, this);
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
        if (session_->messages.confirm(kFirstRunHelpQuestion)) openHelpPage(kFirstStepsPage);
    }
    // A folder that cannot be made is not reported; scratch writes then fail.
    ensureScratchFolder(session_->scratchFolder);

    Session& s = *session_;
    valSet(s.controls, s.settings);
    s.tools.currentTool = 1;
    s.palette.paletteCode = 1;
    s.palette.markerColour = 16776960;
    s.palette.selectionCaption = "Skin: Fair";
    s.settings.imageSpan = 1;
    s.tools.overwriteFactor = SpinEdit4->value();
    PaintInteractive->setChecked(true);
    RadioGroup1Click();
    if (!isMaximized()) move(std::max(0, services_.screenSize().width() - width()), 0);
    SpeedButton1->setChecked(true);
    toolChosen(*toolById(kToolBrush));
    MaskEdit2Change();
    MaskEdit3Change();
    CheckBox10->setVisible(true);
    CheckBox10->setEnabled(true);
    mainWindowChanged();
    if (!terminateRequested_) emit started();
}

void TForm1::ExplorerButton15Click() {
    if (TForm5::showing()) return;
    auto* about = new TForm5(eula_, this);
    about->resize(kAboutWidth, kAboutHeight);
    about->Timer1->stop();
    about->exec();
}

void TForm1::ExplorerButton4Click() {
    if (form3_) printButtonClick(*session_, *form3_, form2_ && form2_->isVisible());
}

void TForm1::ShowHideExtraControls1Click() {
    for (QWidget* w : std::initializer_list<QWidget*>{Panel88, Panel12, RadioGroup1, CheckBox2})
        w->setVisible(!w->isVisibleTo(w->parentWidget()));
}

void TForm1::loadPath(const std::string& path) {
    dialogs_.nextOpen = path;
    loadButtonClick(*session_);
    dialogs_.nextOpen.reset();
}

void TForm1::ExplorerButton1Click() { loadButtonClick(*session_); }
void TForm1::ExplorerButton3Click() { restoreImage(*session_); }
void TForm1::ExplorerButton5Click() { saveImageAs(*session_); }

void TForm1::CheckBox1Click() {
    if (!syncing_) session_->controls.forceGray = CheckBox1->isChecked();
}

void TForm1::SpinEdit1Change() {
    if (syncing_) return;
    session_->controls.complexity = SpinEdit1->value();
    valSet(session_->controls, session_->settings);
    SpinEdit2->setSingleStep(session_->controls.integrationStep);
}

void TForm1::SpinEdit2Change() {
    if (syncing_) return;
    session_->controls.integration = SpinEdit2->value();
    valSet(session_->controls, session_->settings);
    SpinEdit2->setSingleStep(session_->controls.integrationStep);
}

void TForm1::toolChosen(const Tool& tool) {
    selectTool(session_->tools, tool);
    QAbstractButton* button = toolButtons_->button(tool.id());
    button->setChecked(true);
    if (form2_) form2_->setToolCursor(tool.cursor());
    if (form10_) form10_->setToolCursor(tool.cursor());
    Image1->setPixmap(button->icon().pixmap(24, 24));
    Image1->setToolTip(button->toolTip());
    syncToolControls();
    repaint();
}

void TForm1::CheckBox8Click() {
    if (syncing_) return;
    overwriteClicked(session_->tools, CheckBox8->isChecked());
    syncToolControls();
}

void TForm1::CheckBox10Click() {
    if (syncing_) return;
    layeredClicked(session_->tools, CheckBox10->isChecked());
    syncToolControls();
}

void TForm1::RadioGroup2Click() {
    if (syncing_) return;
    scopeChanged(session_->tools, ScopeGlobal->isChecked() ? kScopeImageWide : kScopeConnected);
    syncToolControls();
}

void TForm1::RadioGroup1Click() {
    session_->tools.paintMode = PaintMasked->isChecked() ? kPaintMasked : kPaintInteractive;
}

void TForm1::MaskEdit2Change() {
    if (!syncing_) brushWidthChanged(session_->tools, MaskEdit2->value());
}

void TForm1::MaskEdit3Change() {
    if (!syncing_) brushHeightChanged(session_->tools, MaskEdit3->value());
}

void TForm1::CheckBox6Click() {
    session_->tools.rounded = CheckBox6->isChecked();
    CheckBox13->setChecked(CheckBox6->isChecked());
}

void TForm1::CheckBox13Click() {
    session_->tools.rounded = CheckBox13->isChecked();
    CheckBox6->setChecked(CheckBox13->isChecked());
}

void TForm1::SpinEdit4Change() { session_->tools.overwriteFactor = SpinEdit4->value(); }

void TForm1::quickBrushClick(int index) {
    const QuickBrush& b = kQuickBrushes[index];
    MaskEdit2->setValue(b.width);
    MaskEdit3->setValue(b.height);
    quickBrush(session_->tools, b);
    Panel8->repaint();
}

void TForm1::TrackBarChange() {
    if (syncing_) return;
    EffectSettings& fx = session_->effects;
    fx.ambient = TrackBar1->value();
    fx.intensity = TrackBar2->value();
    fx.saturation = TrackBar3->value();
}

void TForm1::LightClick() {
    if (syncing_) return;
    QCheckBox* lights[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5};
    for (int i = 0; i < 5; ++i) session_->effects.lights[size_t(i)] = lights[i]->isChecked();
}

void TForm1::CheckBox12Click() { session_->effects.invertOn = CheckBox12->isChecked(); }

void TForm1::Button2Click() {
    resetEffects(session_->effects, session_->tools);
    syncEffectControls();
}

void TForm1::SpeedButton40Click() { originalButtonClick(*session_); }

void TForm1::syncEffectControls() {
    const EffectSettings& fx = session_->effects;
    syncing_ = true;
    TrackBar1->setValue(fx.ambient);
    TrackBar2->setValue(fx.intensity);
    TrackBar3->setValue(fx.saturation);
    QCheckBox* lights[] = {RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5};
    for (int i = 0; i < 5; ++i) lights[i]->setChecked(fx.lights[size_t(i)]);
    CheckBox12->setChecked(fx.invertOn);
    PaintInteractive->setChecked(session_->tools.paintMode == kPaintInteractive);
    PaintMasked->setChecked(session_->tools.paintMode == kPaintMasked);
    syncing_ = false;
}

// Mirrors the tool settings into the controls that show them.
void TForm1::syncToolControls() {
    const ToolSettings& t = session_->tools;
    syncing_ = true;
    CheckBox8->setChecked(t.overwrite);
    CheckBox10->setChecked(t.layered);
    ScopeGlobal->setChecked(t.scope == kScopeImageWide);
    ScopeLocal->setChecked(t.scope == kScopeConnected);
    for (auto [group, shown] : {std::pair{OverwriteGroup, t.groups.overwriteShown},
                                {IntegrationGroup, t.groups.integrationShown}, {Panel8, t.groups.brushShown}}) {
        group->setVisible(shown);
        group->setEnabled(shown);
    }
    syncing_ = false;
}

void TForm1::createImageWindow() {
    form2_ = new TForm2(*session_);
    subWindow_ = MdiArea->addSubWindow(form2_);
}

void TForm1::showImageWindow() {
    if (!form2_) return;
    subWindow_->show();
    form2_->FormShow();
}

void TForm1::closeImageWindow() {
    if (subWindow_) subWindow_->close();
}

void TForm1::fitImageWindow() {
    if (subWindow_) subWindow_->setGeometry(1, 0, std::max(100, MdiArea->width() - 6), std::max(100, MdiArea->height() - 24));
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
    if (form2_) form2_->popupPaletteMenu(QPoint(x, y));
}

void TForm1::zoomPictureChanged() {
    if (form10_) form10_->pictureChanged();
}

void TForm1::resetCaptionChanged() {
    if (form2_) form2_->resetCaptionChanged();
}

void TForm1::mainWindowChanged() {
    if (!session_) return;
    const Session& s = *session_;
    syncing_ = true;
    ExplorerButton1->setText(QString::fromStdString(s.loadButtonCaption));
    Panel1->setEnabled(s.toolPanelsEnabled);
    Panel12->setEnabled(s.toolPanelsEnabled);
    Label2->setText(QString::fromStdString(s.sizeLabel));
    Label24->setText(QString::fromStdString(s.palette.selectionCaption));
    CheckBox1->setChecked(s.controls.forceGray);
    SpinEdit2->setSingleStep(s.controls.integrationStep);
    if (form2_) form2_->setWindowTitle(QString::fromStdString(s.imageCaption));
    syncing_ = false;
    setEnabled(s.mainEnabled);
}

} // namespace cw
