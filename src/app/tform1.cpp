#include "app/tform1.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/services_qt.h"
#include "files/picture_files.h"
#include "files/scratch_location_qt.h"
#include "paint/tform2.h"
#include "progress/tform7.h"

namespace cw {

namespace {

QFrame* bar(QWidget* parent, const char* name, int height, const QColor& colour) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFixedHeight(height);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, colour);
    f->setPalette(p);
    auto* layout = new QHBoxLayout(f);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    return f;
}

QPushButton* button(QWidget* bar, const char* name, const char* caption) {
    auto* b = new QPushButton(caption, bar);
    b->setObjectName(name);
    b->setFlat(true);
    bar->layout()->addWidget(b);
    return b;
}

} // namespace

TForm1::TForm1(Messages* messages, Dialogs* dialogs)
    : form7_(std::make_unique<TForm7>()),
      qtMessages_(std::make_unique<QtMessages>(this)),
      qtDialogs_(std::make_unique<QtDialogs>(this)) {
    setObjectName("Form1");
    dialogs_.inner = dialogs ? dialogs : qtDialogs_.get();
    session_ = std::make_unique<Session>(*form7_, messages ? *messages : *qtMessages_, dialogs_, *this,
                                         scratchFolderLocation());
    form7_->setLockTargets(this, [this]() -> QWidget* { return form2_; });
    buildControls();
    mainWindowChanged();
}

TForm1::~TForm1() {
    // The image window's close handler reaches into the session: close it first.
    if (subWindow_) delete subWindow_;
}

QSpinBox* TForm1::spin(QWidget* parentBar, const char* name, const char* caption, int min, int max, int value) {
    auto* label = new QLabel(caption, parentBar);
    parentBar->layout()->addWidget(label);
    auto* s = new QSpinBox(parentBar);
    s->setObjectName(name);
    s->setRange(min, max);
    s->setValue(value);
    parentBar->layout()->addWidget(s);
    return s;
}

void TForm1::buildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Panel7 = bar(central, "Panel7", 21, Qt::white);
    Panel7->layout()->addWidget(new QLabel(" Operations ", Panel7));
    ExplorerButton1 = button(Panel7, "ExplorerButton1", kLoadCaption);
    ExplorerButton5 = button(Panel7, "ExplorerButton5", "SaveAs");
    ExplorerButton3 = button(Panel7, "ExplorerButton3", "Restore");
    ExplorerButton3->setToolTip("Restore Current Image from Original");
    static_cast<QHBoxLayout*>(Panel7->layout())->addStretch();
    CheckBox1 = new QCheckBox("Force Gray", Panel7);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setToolTip("Check to load colour images as Gray-scale");
    Panel7->layout()->addWidget(CheckBox1);

    Panel3 = bar(central, "Panel3", 28, Qt::white);
    Panel3->layout()->addWidget(new QLabel(" Processing ", Panel3));
    SpinEdit5 = spin(Panel3, "SpinEdit5", "Separation", kSeparationRange.min, kSeparationRange.max,
                     kSeparationRange.initial);
    SpinEdit3 = spin(Panel3, "SpinEdit3", "Objectivity", kObjectivityRange.min, kObjectivityRange.max,
                     kObjectivityRange.initial);
    SpinEdit6 = spin(Panel3, "SpinEdit6", "Scale%", kScalePercentRange.min, kScalePercentRange.max,
                     kScalePercentRange.initial);
    static_cast<QHBoxLayout*>(Panel3->layout())->addStretch();

    Panel1 = bar(central, "Panel1", 40, QColor(192, 192, 192));
    Panel1->layout()->addWidget(new QLabel(" Tools ", Panel1));
    SpinEdit1 = spin(Panel1, "SpinEdit1", "Complexity", kComplexityRange.min, kComplexityRange.max,
                     kComplexityRange.initial);
    SpinEdit2 = spin(Panel1, "SpinEdit2", "Integration", kIntegrationRange.min, kIntegrationRange.max,
                     kIntegrationRange.initial);
    static_cast<QHBoxLayout*>(Panel1->layout())->addStretch();

    Panel12 = bar(central, "Panel12", 72, QColor(192, 192, 192));
    Panel12->layout()->addWidget(new QLabel("Effects  and  Tuning ", Panel12));
    Panel12->hide();

    for (QFrame* f : {Panel7, Panel3, Panel1, Panel12}) column->addWidget(f);
    MdiArea = new QMdiArea(central);
    MdiArea->setObjectName("MdiArea");
    column->addWidget(MdiArea, 1);
    Panel9 = bar(central, "Panel9", 18, QColor(192, 192, 192));
    Panel9->layout()->addWidget(new QLabel("Chromawell 2.1", Panel9));
    static_cast<QHBoxLayout*>(Panel9->layout())->addStretch();
    Label2 = new QLabel(Panel9);
    Label2->setObjectName("Label2");
    Panel9->layout()->addWidget(Label2);
    column->addWidget(Panel9);
    setCentralWidget(central);

    connect(ExplorerButton1, &QPushButton::clicked, this, [this] { ExplorerButton1Click(); });
    connect(ExplorerButton3, &QPushButton::clicked, this, [this] { ExplorerButton3Click(); });
    connect(ExplorerButton5, &QPushButton::clicked, this, [this] { ExplorerButton5Click(); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { CheckBox1Click(); });
    connect(SpinEdit1, &QSpinBox::valueChanged, this, [this] { SpinEdit1Change(); });
    connect(SpinEdit2, &QSpinBox::valueChanged, this, [this] { SpinEdit2Change(); });
    connect(SpinEdit3, &QSpinBox::valueChanged, this, [this](int v) { session_->controls.objectivity = v; });
    connect(SpinEdit5, &QSpinBox::valueChanged, this, [this](int v) { session_->controls.separation = v; });
    connect(SpinEdit6, &QSpinBox::valueChanged, this, [this](int v) { session_->controls.scalePercent = v; });
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
    if (!subWindow_) return;
    subWindow_->setGeometry(1, 0, std::max(100, MdiArea->width() - 6), std::max(100, MdiArea->height() - 24));
}

void TForm1::pictureChanged() {
    if (form2_) form2_->pictureChanged();
}

void TForm1::mainWindowChanged() {
    const Session& s = *session_;
    syncing_ = true;
    ExplorerButton1->setText(QString::fromStdString(s.loadButtonCaption));
    Panel1->setEnabled(s.toolPanelsEnabled);
    Panel12->setEnabled(s.toolPanelsEnabled);
    Label2->setText(QString::fromStdString(s.sizeLabel));
    CheckBox1->setChecked(s.controls.forceGray);
    SpinEdit2->setSingleStep(s.controls.integrationStep);
    if (form2_) form2_->setWindowTitle(QString::fromStdString(s.imageCaption));
    syncing_ = false;
    setEnabled(s.mainEnabled);
}

} // namespace cw
