// The main window's bars, panels and controls, and which handler each
// control calls; the handlers live in main_window.cpp.
#include "ui/main_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontMetrics>
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
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "actions/action_table.h"
#include "core/catalogue.h"
#include "document/tool_settings.h"
#include "tools/tool_registry.h"
#include "ui/tools_qt.h"

namespace cw {

namespace {

struct SpinSetup {
    const char* name;
    const char* caption;
    int step;
    const char* hint;
};

QFrame* panel(QWidget* parent, const char* name, const QColor& colour, bool horizontal = true) {
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, colour);
    f->setPalette(p);
    QBoxLayout* layout = horizontal ? static_cast<QBoxLayout*>(new QHBoxLayout(f)) : new QVBoxLayout(f);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    return f;
}

QBoxLayout* box(QWidget* w) { return static_cast<QBoxLayout*>(w->layout()); }

void addLabel(QWidget* parent, const char* text) { box(parent)->addWidget(new QLabel(text, parent)); }

QPushButton* explorerButton(QWidget* parent, const char* name, const char* hint = nullptr) {
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setFlat(true);
    if (hint) b->setToolTip(hint);
    box(parent)->addWidget(b);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    if (hint) c->setToolTip(hint);
    box(parent)->addWidget(c);
    return c;
}

QSpinBox* spinBox(QWidget* parent, const SpinSetup& s) {
    if (s.caption) addLabel(parent, s.caption);
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(s.name);
    spin->setSingleStep(s.step);
    if (s.hint) spin->setToolTip(s.hint);
    box(parent)->addWidget(spin);
    return spin;
}

QSlider* trackBar(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr) {
    addLabel(parent, caption);
    auto* t = new QSlider(Qt::Horizontal, parent);
    t->setObjectName(name);
    t->setSingleStep(1);
    t->setPageStep(1);
    t->setTickInterval(1);
    t->setTickPosition(QSlider::TicksBelow);
    t->setFixedWidth(110);
    if (hint) t->setToolTip(hint);
    box(parent)->addWidget(t);
    return t;
}

QToolButton* speedButton(QWidget* parent, const char* name, const QString& text, const char* hint) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    b->setAutoRaise(true);
    return b;
}

// The bars keep their designed heights and take the width they need; where
// the window is narrower than that (a small display, a large font) they
// scroll sideways rather than make the window wider than the screen.
class BarArea final : public QScrollArea {
public:
    BarArea(QWidget* bars, QWidget* parent) : QScrollArea(parent) {
        setObjectName("BarArea");
        setFrameShape(QFrame::NoFrame);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        setWidgetResizable(true);
        setWidget(bars);
        bars->installEventFilter(this);
        connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { updateGeometry(); });
    }
    QSize sizeHint() const override { return {widget()->sizeHint().width(), barsHeight()}; }
    QSize minimumSizeHint() const override { return {0, barsHeight()}; }

protected:
    // A bar shown or hidden changes the height the bars need.
    bool eventFilter(QObject* watched, QEvent* e) override {
        if (watched == widget() && e->type() == QEvent::LayoutRequest) updateGeometry();
        return QScrollArea::eventFilter(watched, e);
    }

private:
    int barsHeight() const {
        const QScrollBar* sideways = horizontalScrollBar();
        return widget()->sizeHint().height() + (sideways->maximum() > 0 ? sideways->sizeHint().height() : 0);
    }
};

// The widest word of any of the texts: what a word-wrapping label needs.
int widestWord(const QFontMetrics& metrics, const QStringList& texts) {
    int widest = 0;
    for (const QString& text : texts)
        for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest;
}

} // namespace

void MainWindow::buildControls() {
    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* bars = new QWidget;
    auto* barColumn = new QVBoxLayout(bars);
    barColumn->setContentsMargins(0, 0, 0, 0);
    barColumn->setSpacing(0);
    buildOperationsBar(bars);
    buildProcessingBar(bars);
    buildToolsBar(bars);
    buildEffectsBar(bars);
    for (QFrame* f : {Panel7, Panel3, Panel1, Panel12}) barColumn->addWidget(f);
    column->addWidget(new BarArea(bars, central));

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    MdiArea = new QMdiArea(central);
    MdiArea->setObjectName("MdiArea");
    // The image window's frame gives its Close the desktop's Close keys,
    // which Clear Image has already: two actions on one key would cancel
    // each other out while the image window has the focus.
    connect(MdiArea, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow* frame) {
        if (frame && frame->systemMenu())
            for (QAction* item : frame->systemMenu()->actions()) item->setShortcuts({});
    });
    buildSidePanels(central);
    middle->addWidget(Panel2);
    middle->addWidget(MdiArea, 1);
    middle->addWidget(Panel20);
    column->addLayout(middle, 1);

    Panel9 = panel(central, "Panel9", kSilver);
    Panel9->setFixedHeight(18);
    addLabel(Panel9, "Chromawell 2.1 - colour for black-and-white photographs");
    box(Panel9)->addStretch();
    Label2 = new QLabel(Panel9);
    Label2->setObjectName("Label2");
    box(Panel9)->addWidget(Label2);
    column->addWidget(Panel9);
    setCentralWidget(central);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    ShowHideExtraControls1 = PopupMenu1->addAction("Show/ Hide Extra Controls");
    ShowHideExtraControls1->setObjectName("ShowHideExtraControls1");
    connect(ShowHideExtraControls1, &QAction::triggered, this, [this] { ShowHideExtraControls1Click(); });
    controls_.bindKeys(this);

    // Extra controls start hidden.
    for (QWidget* w : std::initializer_list<QWidget*>{Panel88, Panel12, RadioGroup1, CheckBox2}) w->hide();
}

void MainWindow::buildOperationsBar(QWidget* parent) {
    Panel7 = panel(parent, "Panel7", Qt::white);
    Panel7->setFixedHeight(21);
    addLabel(Panel7, " Operations ");
    ExplorerButton1 = explorerButton(Panel7, "ExplorerButton1");
    ExplorerButton14 = explorerButton(Panel7, "ExplorerButton14",
                                      "Import an image via a scanning device such as a scanner/ digital camera");
    ExplorerButton5 = explorerButton(Panel7, "ExplorerButton5");
    ExplorerButton3 = explorerButton(Panel7, "ExplorerButton3", "Restore Current Image from Original");
    ExplorerButton13 = explorerButton(Panel7, "ExplorerButton13", "Automatically Colour/ Finish-up rest of the Image");
    EdgeAwareFinish = checkBox(Panel7, "EdgeAwareFinish", "Edge-aware",
                               "Checked: AutoFinish grows each coloured region up to the picture's edges.\n"
                               "Unchecked: each pixel takes the colour most of its eight straight lines meet first.");
    ExplorerButton4 = explorerButton(Panel7, "ExplorerButton4");
    ExplorerButton15 = explorerButton(Panel7, "ExplorerButton15");
    box(Panel7)->addStretch();
    Panel6 = panel(Panel7, "Panel6", Qt::white);
    box(Panel7)->addWidget(Panel6);
    CheckBox1 = checkBox(Panel6, "CheckBox1", "Force Gray", "Check to load colour images as Gray-scale");
    CheckBox7 = checkBox(Panel6, "CheckBox7", "Auto Mark-up",
                         "Check to automatically Mark-up the image after a Load or Process");
    CheckBox2 = checkBox(Panel6, "CheckBox2", "Un-mask Only");

    // Load Image and Clear Image share a button, which gives whichever the
    // picture's state allows; readBack() shows its caption.
    connect(ExplorerButton1, &QPushButton::clicked, this, [this] { triggerAction(*session_, loadOrClear()); });
    controls_.bindAction(ExplorerButton14, "scan");
    controls_.bindAction(ExplorerButton5, "save");
    controls_.bindAction(ExplorerButton3, "restore");
    controls_.bindAction(ExplorerButton13, "autofinish");
    controls_.bindAction(ExplorerButton4, "print");
    controls_.bindAction(ExplorerButton15, "help");
    controls_.bind(CheckBox1, "force-gray");
    controls_.bind(CheckBox7, "auto-markup");
    controls_.bind(CheckBox2, "unmask-only");
    controls_.bind(EdgeAwareFinish, "finish-mode");
}

void MainWindow::buildProcessingBar(QWidget* parent) {
    Panel3 = panel(parent, "Panel3", Qt::white);
    Panel3->setFixedHeight(28);
    addLabel(Panel3, " Processing ");
    ExplorerButton2 = explorerButton(Panel3, "ExplorerButton2");
    ExplorerButton6 = explorerButton(Panel3, "ExplorerButton6", "Colour marked-up image");
    CheckBox11 = checkBox(Panel3, "CheckBox11", "Re-mark");
    addLabel(Panel3, " Anchors ");
    ExplorerButton7 = explorerButton(Panel3, "ExplorerButton7");
    ExplorerButton8 = explorerButton(Panel3, "ExplorerButton8");
    ExplorerButton12 = explorerButton(Panel3, "ExplorerButton12");
    SpinEdit5 = spinBox(Panel3, {"SpinEdit5", "Separation", 1, nullptr});
    SpinEdit3 = spinBox(Panel3, {"SpinEdit3", "Objectivity", 1, nullptr});
    SpinEdit6 = spinBox(Panel3, {"SpinEdit6", "Scale%", 1, nullptr});
    box(Panel3)->addStretch();
    controls_.bindAction(ExplorerButton2, "markup");
    controls_.bindAction(ExplorerButton6, "process");
    controls_.bindAction(ExplorerButton7, "view-all");
    controls_.bindAction(ExplorerButton8, "view-pending");
    controls_.bindAction(ExplorerButton12, "remove");
    controls_.bind(CheckBox11, "remark");
    controls_.bind(SpinEdit3, "objectivity");
    controls_.bind(SpinEdit5, "separation");
    controls_.bind(SpinEdit6, "scale-percent");
}

void MainWindow::buildToolsBar(QWidget* parent) {
    Panel1 = panel(parent, "Panel1", kSilver);
    Panel1->setFixedHeight(40);
    addLabel(Panel1, " Tools ");
    toolButtons_ = new QButtonGroup(this);
    // The buttons are numbered by the tools' ids, and give the rows named
    // after the tools.
    for (const Tool* tool : toolBar()) {
        const QByteArray name = "SpeedButton" + QByteArray::number(tool->id());
        QToolButton* button = speedButton(Panel1, name.constData(), "", tool->hint());
        button->setCheckable(true);
        button->setIcon(toolIcon(tool->glyph()));
        toolButtons_->addButton(button, tool->id());
        box(Panel1)->addWidget(button);
        controls_.bindAction(button, "tool-" + std::string(tool->name()), {}, ControlBindings::Caption::Own);
    }
    auto toolButton = [this](int id) { return static_cast<QToolButton*>(toolButtons_->button(id)); };
    SpeedButton1 = toolButton(kToolBrush);
    SpeedButton2 = toolButton(kToolTouch);
    SpeedButton3 = toolButton(kToolSelectionPaint);
    SpeedButton4 = toolButton(kToolRectangle);
    SpeedButton1->setChecked(true);
    SpeedButton40 = speedButton(Panel1, "SpeedButton40", "",
                                "Original Image Palette; use to selectively restore regions from Original Image");
    QPixmap eraser(24, 24);
    eraser.fill(QColor(128, 128, 128));
    SpeedButton40->setIcon(QIcon(eraser));
    box(Panel1)->addWidget(SpeedButton40);
    controls_.bindAction(SpeedButton40, "palette", std::string(kOriginalPaletteName), ControlBindings::Caption::Own);

    OverwriteGroup = panel(Panel1, "OverwriteGroup", kSilver);
    box(Panel1)->addWidget(OverwriteGroup);
    CheckBox8 = checkBox(OverwriteGroup, "CheckBox8", "Overwrite");
    CheckBox10 = checkBox(OverwriteGroup, "CheckBox10", "Layered");

    // Mark-up and the image set-up read Complexity whatever the tool, so it
    // stays out of the groups that the tools hide.
    SpinEdit1 = spinBox(Panel1, {"SpinEdit1", "Complexity", 4, nullptr});
    IntegrationGroup = panel(Panel1, "IntegrationGroup", kSilver);
    box(Panel1)->addWidget(IntegrationGroup);
    SpinEdit2 = spinBox(IntegrationGroup, {"SpinEdit2", "Integration", 1, "Tolerence during Object Integration [1 - 256]"});
    if (auto* text = SpinEdit2->findChild<QLineEdit*>()) text->setReadOnly(true);  // arrows only
    RadioGroup2 = new QGroupBox("Scope", IntegrationGroup);
    RadioGroup2->setObjectName("RadioGroup2");
    auto* scopeRow = new QHBoxLayout(RadioGroup2);
    scopeRow->setContentsMargins(2, 0, 2, 0);
    ScopeLocal = new QRadioButton("local  ", RadioGroup2);
    ScopeLocal->setToolTip("Connected");
    ScopeGlobal = new QRadioButton("global  ", RadioGroup2);
    ScopeGlobal->setToolTip("Image-wide");
    scopeRow->addWidget(ScopeLocal);
    scopeRow->addWidget(ScopeGlobal);
    box(IntegrationGroup)->addWidget(RadioGroup2);

    Panel8 = panel(Panel1, "Panel8", kSilver);
    box(Panel1)->addWidget(Panel8);
    MaskEdit2 = spinBox(Panel8, {"MaskEdit2", "W", 1, "Select Brush-width"});
    MaskEdit3 = spinBox(Panel8, {"MaskEdit3", "H", 1, "Select Brush-height"});
    for (QSpinBox* size : {MaskEdit2, MaskEdit3})
        size->setToolTip(withKeys(size->toolTip(), {&actionNamed("brush-smaller"), &actionNamed("brush-larger")}));
    CheckBox6 = checkBox(Panel8, "CheckBox6", "Rounded");
    SpinEdit4 = spinBox(Panel8, {"SpinEdit4", "Selectivity", 15, "Over-write factor"});

    Panel88 = panel(Panel1, "Panel88", kSilver);
    box(Panel1)->addWidget(Panel88, 1);
    // The room the hidden groups leave goes to the right end, so that the
    // tool buttons and fields stay where they are when the tool changes.
    box(Panel1)->addStretch(1);

    controls_.bind(SpinEdit1, "complexity");
    controls_.bind(SpinEdit2, "integration");
    controls_.bind(CheckBox8, "overwrite");
    controls_.bind(CheckBox10, "layered");
    controls_.bind(ScopeLocal, "scope", kScopeConnected);
    controls_.bind(ScopeGlobal, "scope", kScopeImageWide);
    controls_.bind(MaskEdit2, "brush-width");
    controls_.bind(MaskEdit3, "brush-height");
    controls_.bind(CheckBox6, "rounded");
    controls_.bind(SpinEdit4, "selectivity");
}

void MainWindow::buildEffectsBar(QWidget* parent) {
    Panel12 = panel(parent, "Panel12", kSilver);
    Panel12->setFixedHeight(72);
    addLabel(Panel12, "Effects  and  Tuning ");
    TrackBar1 = trackBar(Panel12, "TrackBar1", "Ambient Light",
                         "Modifys the current palette by adding/ subtracting ambient light");
    const std::pair<const char*, QColor> lights[] = {{"white", Qt::white}, {"yellow", Qt::yellow},
                                                     {"red", Qt::red},     {"green", Qt::green},
                                                     {"blue", Qt::blue}};
    QCheckBox** switches[] = {&RadioButton1, &RadioButton2, &RadioButton3, &RadioButton4, &RadioButton5};
    for (int i = 0; i < 5; ++i) {
        QFrame* swatch = panel(Panel12, "", lights[i].second);
        box(Panel12)->addWidget(swatch);
        *switches[i] = checkBox(swatch, qPrintable(QString("RadioButton%1").arg(i + 1)), "",
                                qPrintable(QString("Apply the light settings of %1 colour").arg(lights[i].first)));
        controls_.bind(*switches[i], std::string("light-") + lights[i].first);
    }
    TrackBar2 = trackBar(Panel12, "TrackBar2", "Intensity");
    TrackBar3 = trackBar(Panel12, "TrackBar3", "Saturation");
    box(Panel12)->addStretch();
    RadioGroup1 = new QGroupBox("Paint Mode", Panel12);
    RadioGroup1->setObjectName("RadioGroup1");
    auto* modes = new QVBoxLayout(RadioGroup1);
    modes->setContentsMargins(2, 0, 2, 0);
    PaintInteractive = new QRadioButton("Interactive", RadioGroup1);
    PaintMasked = new QRadioButton("Mask'ed", RadioGroup1);
    modes->addWidget(PaintInteractive);
    modes->addWidget(PaintMasked);
    box(Panel12)->addWidget(RadioGroup1);
    controls_.bind(PaintInteractive, "paint-mode", kPaintInteractive);
    controls_.bind(PaintMasked, "paint-mode", kPaintMasked);
    CheckBox12 = checkBox(Panel12, "CheckBox12", "Invert");
    NaturalLight = checkBox(Panel12, "NaturalLight", "Natural light",
                            "Every colour keeps the lightness of the photo: only hue and saturation are painted");
    Button2 = new QPushButton(Panel12);
    Button2->setObjectName("Button2");
    box(Panel12)->addWidget(Button2);
    controls_.bind(TrackBar1, "ambient");
    controls_.bind(TrackBar2, "intensity");
    controls_.bind(TrackBar3, "saturation");
    controls_.bind(CheckBox12, "invert");
    controls_.bind(NaturalLight, "natural-light");
    controls_.bindAction(Button2, "effects-reset");
}

void MainWindow::buildSidePanels(QWidget* parent) {
    Panel2 = panel(parent, "Panel2", Qt::black, false);
    QPalette white = Panel2->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    Panel2->setPalette(white);
    auto* heading = new QLabel("Current Selections", Panel2);
    heading->setWordWrap(true);
    box(Panel2)->addWidget(heading);
    addLabel(Panel2, "Tool");
    Image1 = new QLabel(Panel2);
    Image1->setObjectName("Image1");
    // The glyphs are drawn for the silver tool bar: on the black panel their
    // dark strokes would vanish, so the picture keeps the bar's ground.
    Image1->setAutoFillBackground(true);
    QPalette ground = Image1->palette();
    ground.setColor(QPalette::Window, kSilver);
    Image1->setPalette(ground);
    Image1->setFixedSize(28, 28);
    Image1->setAlignment(Qt::AlignCenter);
    box(Panel2)->addWidget(Image1);
    addLabel(Panel2, "Hue");
    Label24 = new QLabel("Skin: Fair", Panel2);
    Label24->setObjectName("Label24");
    Label24->setWordWrap(true);
    // Wide enough for every word of every palette's name, so that the panel
    // keeps its width whichever is chosen.
    QStringList names{QString::fromUtf8(kOriginalCaption.data(), qsizetype(kOriginalCaption.size()))};
    for (const PaletteMenuItem& item : paletteMenu())
        names << QString::fromUtf8(item.selectionCaption.data(), qsizetype(item.selectionCaption.size()));
    Label24->setMinimumWidth(widestWord(Label24->fontMetrics(), names));
    box(Panel2)->addWidget(Label24);
    box(Panel2)->addStretch();

    Panel20 = panel(parent, "Panel20", kSilver, false);
    auto* quick = new QLabel("Quick BRUSH Selector", Panel20);
    quick->setWordWrap(true);
    box(Panel20)->addWidget(quick);
    QToolButton** quickButtons[] = {&SpeedButton5, &SpeedButton6,  &SpeedButton7,  &SpeedButton8,
                                    &SpeedButton9, &SpeedButton10, &SpeedButton11, &SpeedButton12};
    static_assert(std::size(quickButtons) == std::size(kQuickBrushes));
    for (size_t i = 0; i < std::size(kQuickBrushes); ++i) {
        const QuickBrush& b = kQuickBrushes[i];
        const QString size = QString("%1 x %2").arg(b.width).arg(b.height);
        QToolButton* button = *quickButtons[i] = speedButton(Panel20, b.name, size, qPrintable(size));
        QPixmap pm(22, 22);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setBrush(Qt::black);
        p.drawRect(11 - b.width / 2, 11 - b.height / 2, b.width, b.height);
        button->setIcon(QIcon(pm));
        box(Panel20)->addWidget(button);
        controls_.bindAction(button, "quick-brush", quickBrushName(b), ControlBindings::Caption::Own);
    }
    CheckBox13 = checkBox(Panel20, "CheckBox13", "Round");
    controls_.bind(CheckBox13, "rounded");
    box(Panel20)->addStretch();
    // The designed widths, unless a heading's word or a control needs more.
    for (auto [side, designed] : {std::pair{Panel2, 57}, {Panel20, 55}})
        side->setFixedWidth(std::max(designed, side->layout()->minimumSize().width()));
}

} // namespace cw
