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
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <initializer_list>
#include <utility>
#include <variant>

#include "actions/action_table.h"
#include "core/catalogue.h"
#include "document/tool_settings.h"
#include "tools/tool_registry.h"
#include "ui/bar_area.h"
#include "ui/designed_widget.h"
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

// One of the main window's bars: a strip of fixed height that starts with its caption.
QFrame* bar(QWidget* parent, const char* name, const QColor& colour, int height, const char* caption) {
    QFrame* b = panel(parent, name, colour);
    b->setFixedHeight(height);
    addLabel(b, caption);
    return b;
}

// A control and the setting it shows and changes.
struct Setting {
    std::variant<QCheckBox*, QSpinBox*, QSlider*> control;
    const char* key;
};

void bindSettings(ControlBindings& c, std::initializer_list<Setting> settings) {
    for (const Setting& s : settings) std::visit([&](auto* control) { c.bind(control, s.key); }, s.control);
}

void bindActions(ControlBindings& c, std::initializer_list<std::pair<QAbstractButton*, const char*>> buttons) {
    for (const auto& [button, action] : buttons) c.bindAction(button, action);
}

QPushButton* explorerButton(QWidget* parent, const char* name, const char* hint = nullptr) {
    auto* b = designedWidget<QPushButton>(parent, name, hint);
    b->setFlat(true);
    box(parent)->addWidget(b);
    return b;
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr) {
    auto* c = designedWidget<QCheckBox>(parent, name, hint);
    c->setText(caption);
    box(parent)->addWidget(c);
    return c;
}

QSpinBox* spinBox(QWidget* parent, const SpinSetup& s) {
    if (s.caption) addLabel(parent, s.caption);
    auto* spin = designedWidget<QSpinBox>(parent, s.name, s.hint);
    spin->setSingleStep(s.step);
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
    auto* b = designedWidget<QToolButton>(parent, name, hint);
    b->setText(text);
    b->setAutoRaise(true);
    return b;
}

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
    for (QFrame* f : {operations_.bar, processing_.bar, tools_.bar, effects_.bar}) barColumn->addWidget(f);
    column->addWidget(new BarArea(bars, central));

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    mdiArea_ = new QMdiArea(central);
    mdiArea_->setObjectName("MdiArea");
    // The image window's frame gives its Close the desktop's Close keys,
    // which Clear Image has already: two actions on one key would cancel
    // each other out while the image window has the focus.
    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow* frame) {
        if (frame && frame->systemMenu())
            for (QAction* item : frame->systemMenu()->actions()) item->setShortcuts({});
    });
    buildSidePanels(central);
    middle->addWidget(selections_.panel);
    middle->addWidget(mdiArea_, 1);
    middle->addWidget(quickBrushes_.panel);
    column->addLayout(middle, 1);

    bottom_.strip = panel(central, "Panel9", kSilver);
    bottom_.strip->setFixedHeight(18);
    addLabel(bottom_.strip, "Chromawell 2.1 - colour for black-and-white photographs");
    box(bottom_.strip)->addStretch();
    bottom_.pictureSizeLabel = new QLabel(bottom_.strip);
    bottom_.pictureSizeLabel->setObjectName("Label2");
    box(bottom_.strip)->addWidget(bottom_.pictureSizeLabel);
    column->addWidget(bottom_.strip);
    setCentralWidget(central);

    extrasMenu_ = new QMenu(this);
    extrasMenu_->setObjectName("PopupMenu1");
    QAction* showHideExtras = extrasMenu_->addAction("Show/ Hide Extra Controls");
    showHideExtras->setObjectName("ShowHideExtraControls1");
    connect(showHideExtras, &QAction::triggered, this, [this] { toggleExtraControls(); });
    QAction* autosaveEvery = extrasMenu_->addAction("Autosave Interval...");
    autosaveEvery->setObjectName("AutosaveInterval1");
    connect(autosaveEvery, &QAction::triggered, this, [this] { chooseAutosaveInterval(); });
    controls_.bindKeys(this);

    // Extra controls start hidden.
    for (QWidget* w : extraControls()) w->hide();
}

std::array<QWidget*, 4> MainWindow::extraControls() const {
    return {tools_.extraGroup, effects_.bar, effects_.paintModeGroup, operations_.unmaskOnlyBox};
}

void MainWindow::buildOperationsBar(QWidget* parent) {
    OperationsBar& o = operations_;
    o.bar = bar(parent, "Panel7", Qt::white, 21, " Operations ");
    o.loadOrClearButton = explorerButton(o.bar, "ExplorerButton1");
    o.scanButton = explorerButton(o.bar, "ExplorerButton14",
                                  "Import an image via a scanning device such as a scanner/ digital camera");
    o.saveButton = explorerButton(o.bar, "ExplorerButton5");
    o.restoreButton = explorerButton(o.bar, "ExplorerButton3", "Restore Current Image from Original");
    o.autoFinishButton = explorerButton(o.bar, "ExplorerButton13", "Automatically Colour/ Finish-up rest of the Image");
    o.edgeAwareFinishBox = checkBox(o.bar, "EdgeAwareFinish", "Edge-aware",
                                    "Checked: AutoFinish grows each coloured region up to the picture's edges.\n"
                                    "Unchecked: each pixel takes the colour most of its eight straight lines meet first.");
    o.printButton = explorerButton(o.bar, "ExplorerButton4");
    o.helpButton = explorerButton(o.bar, "ExplorerButton15");
    box(o.bar)->addStretch();
    o.loadSwitches = panel(o.bar, "Panel6", Qt::white);
    box(o.bar)->addWidget(o.loadSwitches);
    o.forceGrayBox = checkBox(o.loadSwitches, "CheckBox1", "Force Gray", "Check to load colour images as Gray-scale");
    o.autoMarkUpBox = checkBox(o.loadSwitches, "CheckBox7", "Auto Mark-up",
                               "Check to automatically Mark-up the image after a Load or Process");
    o.unmaskOnlyBox = checkBox(o.loadSwitches, "CheckBox2", "Un-mask Only");

    // Load Image and Clear Image share a button, which gives whichever the
    // picture's state allows; readBack() shows its caption.
    connect(o.loadOrClearButton, &QPushButton::clicked, this, [this] { triggerAction(*session_, loadOrClear()); });
    bindActions(controls_, {{o.scanButton, "scan"}, {o.saveButton, "save"}, {o.restoreButton, "restore"},
                            {o.autoFinishButton, "autofinish"}, {o.printButton, "print"}, {o.helpButton, "help"}});
    bindSettings(controls_, {{o.forceGrayBox, "force-gray"}, {o.autoMarkUpBox, "auto-markup"},
                             {o.unmaskOnlyBox, "unmask-only"}, {o.edgeAwareFinishBox, "finish-mode"}});
}

void MainWindow::buildProcessingBar(QWidget* parent) {
    ProcessingBar& p = processing_;
    p.bar = bar(parent, "Panel3", Qt::white, 28, " Processing ");
    p.markUpButton = explorerButton(p.bar, "ExplorerButton2");
    p.processButton = explorerButton(p.bar, "ExplorerButton6", "Colour marked-up image");
    p.reMarkBox = checkBox(p.bar, "CheckBox11", "Re-mark");
    addLabel(p.bar, " Anchors ");
    p.viewAllButton = explorerButton(p.bar, "ExplorerButton7");
    p.viewPendingButton = explorerButton(p.bar, "ExplorerButton8");
    p.removeButton = explorerButton(p.bar, "ExplorerButton12");
    p.separationBox = spinBox(p.bar, {"SpinEdit5", "Separation", 1, nullptr});
    p.objectivityBox = spinBox(p.bar, {"SpinEdit3", "Objectivity", 1, nullptr});
    p.scalePercentBox = spinBox(p.bar, {"SpinEdit6", "Scale%", 1, nullptr});
    box(p.bar)->addStretch();
    bindActions(controls_, {{p.markUpButton, "markup"}, {p.processButton, "process"}, {p.viewAllButton, "view-all"},
                            {p.viewPendingButton, "view-pending"}, {p.removeButton, "remove"}});
    bindSettings(controls_, {{p.reMarkBox, "remark"}, {p.objectivityBox, "objectivity"},
                             {p.separationBox, "separation"}, {p.scalePercentBox, "scale-percent"}});
}

void MainWindow::buildToolsBar(QWidget* parent) {
    ToolsBar& t = tools_;
    t.bar = bar(parent, "Panel1", kSilver, 40, " Tools ");
    t.toolButtons = new QButtonGroup(this);
    // The buttons are numbered by the tools' ids, and give the rows named
    // after the tools.
    for (const Tool* tool : toolBar()) {
        const QByteArray name = "SpeedButton" + QByteArray::number(tool->id());
        QToolButton* button = speedButton(t.bar, name.constData(), "", tool->hint());
        button->setCheckable(true);
        button->setIcon(toolIcon(tool->glyph()));
        t.toolButtons->addButton(button, tool->id());
        box(t.bar)->addWidget(button);
        controls_.bindAction(button, "tool-" + std::string(tool->name()), {}, ControlBindings::Caption::Own);
    }
    t.toolButtons->button(kToolBrush)->setChecked(true);
    t.originalPaletteButton = speedButton(t.bar, "SpeedButton40", "",
                                          "Original Image Palette; use to selectively restore regions from Original Image");
    QPixmap eraser(24, 24);
    eraser.fill(QColor(128, 128, 128));
    t.originalPaletteButton->setIcon(QIcon(eraser));
    box(t.bar)->addWidget(t.originalPaletteButton);
    controls_.bindAction(t.originalPaletteButton, "palette", std::string(kOriginalPaletteName),
                         ControlBindings::Caption::Own);

    t.overwriteGroup = panel(t.bar, "OverwriteGroup", kSilver);
    box(t.bar)->addWidget(t.overwriteGroup);
    t.overwriteBox = checkBox(t.overwriteGroup, "CheckBox8", "Overwrite");
    t.layeredBox = checkBox(t.overwriteGroup, "CheckBox10", "Layered");

    // Mark-up and the image set-up read Complexity whatever the tool, so it
    // stays out of the groups that the tools hide.
    t.complexityBox = spinBox(t.bar, {"SpinEdit1", "Complexity", 4, nullptr});
    t.integrationGroup = panel(t.bar, "IntegrationGroup", kSilver);
    box(t.bar)->addWidget(t.integrationGroup);
    t.integrationBox =
        spinBox(t.integrationGroup, {"SpinEdit2", "Integration", 1, "Tolerence during Object Integration [1 - 256]"});
    if (auto* text = t.integrationBox->findChild<QLineEdit*>()) text->setReadOnly(true);  // arrows only
    t.scopeGroup = new QGroupBox("Scope", t.integrationGroup);
    t.scopeGroup->setObjectName("RadioGroup2");
    auto* scopeRow = new QHBoxLayout(t.scopeGroup);
    scopeRow->setContentsMargins(2, 0, 2, 0);
    t.scopeLocalButton = new QRadioButton("local  ", t.scopeGroup);
    t.scopeLocalButton->setToolTip("Connected");
    t.scopeGlobalButton = new QRadioButton("global  ", t.scopeGroup);
    t.scopeGlobalButton->setToolTip("Image-wide");
    scopeRow->addWidget(t.scopeLocalButton);
    scopeRow->addWidget(t.scopeGlobalButton);
    box(t.integrationGroup)->addWidget(t.scopeGroup);

    t.brushGroup = panel(t.bar, "Panel8", kSilver);
    box(t.bar)->addWidget(t.brushGroup);
    t.brushWidthBox = spinBox(t.brushGroup, {"MaskEdit2", "W", 1, "Select Brush-width"});
    t.brushHeightBox = spinBox(t.brushGroup, {"MaskEdit3", "H", 1, "Select Brush-height"});
    for (QSpinBox* size : {t.brushWidthBox, t.brushHeightBox})
        size->setToolTip(withKeys(size->toolTip(), {&actionNamed("brush-smaller"), &actionNamed("brush-larger")}));
    t.roundedBox = checkBox(t.brushGroup, "CheckBox6", "Rounded");
    t.selectivityBox = spinBox(t.brushGroup, {"SpinEdit4", "Selectivity", 15, "Over-write factor"});

    t.extraGroup = panel(t.bar, "Panel88", kSilver);
    box(t.bar)->addWidget(t.extraGroup, 1);
    // The room the hidden groups leave goes to the right end, so that the
    // tool buttons and fields stay where they are when the tool changes.
    box(t.bar)->addStretch(1);

    bindSettings(controls_, {{t.complexityBox, "complexity"}, {t.integrationBox, "integration"},
                             {t.overwriteBox, "overwrite"}, {t.layeredBox, "layered"}});
    controls_.bind(t.scopeLocalButton, "scope", kScopeConnected);
    controls_.bind(t.scopeGlobalButton, "scope", kScopeImageWide);
    bindSettings(controls_, {{t.brushWidthBox, "brush-width"}, {t.brushHeightBox, "brush-height"},
                             {t.roundedBox, "rounded"}, {t.selectivityBox, "selectivity"}});
}

void MainWindow::buildEffectsBar(QWidget* parent) {
    EffectsBar& e = effects_;
    e.bar = bar(parent, "Panel12", kSilver, 72, "Effects  and  Tuning ");
    e.ambientLightSlider = trackBar(e.bar, "TrackBar1", "Ambient Light",
                                   "Modifys the current palette by adding/ subtracting ambient light");
    const std::pair<const char*, QColor> lights[] = {{"white", Qt::white}, {"yellow", Qt::yellow},
                                                     {"red", Qt::red},     {"green", Qt::green},
                                                     {"blue", Qt::blue}};
    static_assert(std::size(lights) == std::tuple_size_v<decltype(e.lightSwitches)>);
    for (size_t i = 0; i < std::size(lights); ++i) {
        QFrame* swatch = panel(e.bar, "", lights[i].second);
        box(e.bar)->addWidget(swatch);
        e.lightSwitches[i] = checkBox(swatch, qPrintable(QString("RadioButton%1").arg(i + 1)), "",
                                      qPrintable(QString("Apply the light settings of %1 colour").arg(lights[i].first)));
        controls_.bind(e.lightSwitches[i], std::string("light-") + lights[i].first);
    }
    e.intensitySlider = trackBar(e.bar, "TrackBar2", "Intensity");
    e.saturationSlider = trackBar(e.bar, "TrackBar3", "Saturation");
    box(e.bar)->addStretch();
    e.paintModeGroup = new QGroupBox("Paint Mode", e.bar);
    e.paintModeGroup->setObjectName("RadioGroup1");
    auto* modes = new QVBoxLayout(e.paintModeGroup);
    modes->setContentsMargins(2, 0, 2, 0);
    e.interactivePaintButton = new QRadioButton("Interactive", e.paintModeGroup);
    e.maskedPaintButton = new QRadioButton("Mask'ed", e.paintModeGroup);
    modes->addWidget(e.interactivePaintButton);
    modes->addWidget(e.maskedPaintButton);
    box(e.bar)->addWidget(e.paintModeGroup);
    controls_.bind(e.interactivePaintButton, "paint-mode", kPaintInteractive);
    controls_.bind(e.maskedPaintButton, "paint-mode", kPaintMasked);
    e.invertBox = checkBox(e.bar, "CheckBox12", "Invert");
    e.naturalLightBox = checkBox(e.bar, "NaturalLight", "Natural light",
                                 "Every colour keeps the lightness of the photo: only hue and saturation are painted");
    e.resetButton = new QPushButton(e.bar);
    e.resetButton->setObjectName("Button2");
    box(e.bar)->addWidget(e.resetButton);
    bindSettings(controls_, {{e.ambientLightSlider, "ambient"}, {e.intensitySlider, "intensity"},
                             {e.saturationSlider, "saturation"}, {e.invertBox, "invert"},
                             {e.naturalLightBox, "natural-light"}});
    controls_.bindAction(e.resetButton, "effects-reset");
}

void MainWindow::buildSidePanels(QWidget* parent) {
    SelectionsPanel& s = selections_;
    s.panel = panel(parent, "Panel2", Qt::black, false);
    QPalette white = s.panel->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    s.panel->setPalette(white);
    auto* heading = new QLabel("Current Selections", s.panel);
    heading->setWordWrap(true);
    box(s.panel)->addWidget(heading);
    addLabel(s.panel, "Tool");
    s.toolPicture = new QLabel(s.panel);
    s.toolPicture->setObjectName("Image1");
    // The glyphs are drawn for the silver tool bar: on the black panel their
    // dark strokes would vanish, so the picture keeps the bar's ground.
    s.toolPicture->setAutoFillBackground(true);
    QPalette ground = s.toolPicture->palette();
    ground.setColor(QPalette::Window, kSilver);
    s.toolPicture->setPalette(ground);
    s.toolPicture->setFixedSize(28, 28);
    s.toolPicture->setAlignment(Qt::AlignCenter);
    box(s.panel)->addWidget(s.toolPicture);
    addLabel(s.panel, "Hue");
    s.paletteLabel = new QLabel("Skin: Fair", s.panel);
    s.paletteLabel->setObjectName("Label24");
    s.paletteLabel->setWordWrap(true);
    // Wide enough for every word of every palette's name, so that the panel
    // keeps its width whichever is chosen.
    QStringList names{QString::fromUtf8(kOriginalCaption.data(), qsizetype(kOriginalCaption.size()))};
    for (const PaletteMenuItem& item : paletteMenu())
        names << QString::fromUtf8(item.selectionCaption.data(), qsizetype(item.selectionCaption.size()));
    s.paletteLabel->setMinimumWidth(widestWord(s.paletteLabel->fontMetrics(), names));
    box(s.panel)->addWidget(s.paletteLabel);
    box(s.panel)->addStretch();

    QuickBrushPanel& q = quickBrushes_;
    q.panel = panel(parent, "Panel20", kSilver, false);
    auto* quick = new QLabel("Quick BRUSH Selector", q.panel);
    quick->setWordWrap(true);
    box(q.panel)->addWidget(quick);
    static_assert(std::size(kQuickBrushes) == std::tuple_size_v<decltype(q.brushButtons)>);
    for (size_t i = 0; i < std::size(kQuickBrushes); ++i) {
        const QuickBrush& b = kQuickBrushes[i];
        const QString size = QString("%1 x %2").arg(b.width).arg(b.height);
        QToolButton* button = q.brushButtons[i] = speedButton(q.panel, b.name, size, qPrintable(size));
        QPixmap pm(22, 22);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setBrush(Qt::black);
        p.drawRect(11 - b.width / 2, 11 - b.height / 2, b.width, b.height);
        button->setIcon(QIcon(pm));
        box(q.panel)->addWidget(button);
        controls_.bindAction(button, "quick-brush", quickBrushName(b), ControlBindings::Caption::Own);
    }
    q.roundBox = checkBox(q.panel, "CheckBox13", "Round");
    controls_.bind(q.roundBox, "rounded");
    box(q.panel)->addStretch();
    // The designed widths, unless a heading's word or a control needs more.
    for (auto [side, designed] : {std::pair{s.panel, 57}, {q.panel, 55}})
        side->setFixedWidth(std::max(designed, side->layout()->minimumSize().width()));
}

} // namespace cw
