#include "ui/image_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QPushButton>
#include <QToolButton>
#include <cmath>
#include <QVBoxLayout>

#include "actions/action_table.h"
#include "actions/picture_setup.h"
#include "actions/session.h"
#include "core/catalogue.h"
#include "core/palette_networks.h"
#include "tools/interaction.h"
#include "tools/tool_registry.h"
#include "ui/designed_widget.h"
#include "ui/picture_view.h"
#include "ui/tools_qt.h"

namespace cw {

ImageWindow::ImageWindow(Session& s, QWidget* parent) : QWidget(parent), session_(s) {
    setObjectName("Form2");
    setAttribute(Qt::WA_DeleteOnClose);
    bottomBar = new QFrame(this);
    bottomBar->setObjectName("Panel1");
    auto* strip = new QHBoxLayout(bottomBar);
    strip->setContentsMargins(2, 1, 2, 1);
    auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, bottomBar);
        b->setObjectName(name);
        strip->addWidget(b);
        return b;
    };
    auto spin = [&](const char* name, const char* hint) {
        auto* sp = designedWidget<QSpinBox>(bottomBar, name, hint);
        sp->installEventFilter(this);
        strip->addWidget(sp);
        return sp;
    };
    controls_.attach(s);
    undoEnabledBox = new QCheckBox("Un-do Enabled", bottomBar);
    undoEnabledBox->setObjectName("CheckBox1");
    strip->addWidget(undoEnabledBox);
    undoButton = button("Button4", "");
    auto historyButton = [&](const char* name, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(bottomBar);
        b->setObjectName(name);
        b->setAutoRaise(true);
        b->setIcon(style()->standardIcon(icon));
        strip->addWidget(b);
        return b;
    };
    historyUndoButton = historyButton("HistoryUndoButton", QStyle::SP_ArrowBack);
    historyRedoButton = historyButton("HistoryRedoButton", QStyle::SP_ArrowForward);
    zoomButton = button("Button1", "");
    zoomFactorBox = spin("SpinEdit7", "Specify X factor to zoom into current selection [1 to 10 X]");
    resetButton = button("Button2", "");
    scaleButton = button("Button3", "&Scale");
    scaleFactorBox = spin("SpinEdit1", "Specify X factor to scale current image [-10 to +10 X]");
    if (auto* text = scaleFactorBox->findChild<QLineEdit*>()) text->setReadOnly(true);  // arrows only
    strip->addWidget(new QLabel("Pressure", bottomBar));
    pressureBox = spin("SpinEdit2", "Reduce the brush pressure to -1 through -5 to obtain softer tones");
    strip->addStretch();
    controls_.bind(undoEnabledBox, "undo-enabled");
    controls_.bindAction(undoButton, "undo");
    controls_.bindAction(historyUndoButton, "history-undo", {}, ControlBindings::Caption::Own);
    controls_.bindAction(historyRedoButton, "history-redo", {}, ControlBindings::Caption::Own);
    controls_.bindAction(zoomButton, "zoom");
    controls_.bindAction(resetButton, "reset");
    controls_.bindAction(scaleButton, "reset", {}, ControlBindings::Caption::Own);
    controls_.bind(scaleFactorBox, "scale-factor");
    controls_.bind(pressureBox, "pressure");
    controls_.bind(zoomFactorBox, "zoom-factor");
    for (QSpinBox* field : {zoomFactorBox, scaleFactorBox}) field->setStyleSheet("QSpinBox { background: black; color: white; }");
    positionLabel = new QLabel(bottomBar);
    positionLabel->setObjectName("Label1");
    strip->addWidget(positionLabel);
    colourLabel = new QLabel(bottomBar);
    colourLabel->setObjectName("Label3");
    strip->addWidget(colourLabel);
    colourSwatch = new QFrame(bottomBar);
    colourSwatch->setObjectName("Panel2");
    colourSwatch->setFixedSize(16, 16);
    colourSwatch->setAutoFillBackground(true);
    strip->addWidget(colourSwatch);

    // The view's scale: its steps, Fit and 100 %, and where it stands.
    auto viewButton = [&](const char* name, const char* action, const char* caption) {
        auto* b = new QToolButton(bottomBar);
        b->setObjectName(name);
        b->setAutoRaise(true);
        strip->addWidget(b);
        if (caption) b->setText(caption);
        // Its tip names the row and its keys.
        controls_.bindAction(b, action, {}, caption ? ControlBindings::Caption::Own : ControlBindings::Caption::FromRow);
        return b;
    };
    zoomOutButton = viewButton("ZoomOutButton", "view-zoom-out", "\u2212");
    scaleLabel = new QLabel(bottomBar);
    scaleLabel->setObjectName("ScaleLabel");
    scaleLabel->setAlignment(Qt::AlignCenter);
    scaleLabel->setMinimumWidth(scaleLabel->fontMetrics().horizontalAdvance(" 3200% "));
    strip->addWidget(scaleLabel);
    zoomInButton = viewButton("ZoomInButton", "view-zoom-in", "+");
    fitButton = viewButton("FitButton", "view-fit", nullptr);
    actualSizeButton = viewButton("ActualSizeButton", "view-actual-size", nullptr);

    view = new PictureView(s, this, this);
    view->setToolTip("RIGHT-CLICK to Show Colour-palette Options");
    canvas = view->viewport();
    connect(view, &PictureView::scaleChanged, this, [this](double scale) { showScale(scale); });
    showScale(view->scale());
    objectPanel = new QFrame(this);
    objectPanel->setObjectName("Panel3");
    objectPanel->setFixedWidth(120);
    auto* objects = new QVBoxLayout(objectPanel);
    objects->addWidget(new QLabel("Objects", objectPanel));
    viewAllButton = new QPushButton("View All", objectPanel);
    viewAllButton->setObjectName("Button5");
    viewPendingButton = new QPushButton("View Pending", objectPanel);
    viewPendingButton->setObjectName("Button6");
    removeButton = new QPushButton("Remove", objectPanel);
    removeButton->setObjectName("Button7");
    for (QWidget* w : {viewAllButton, viewPendingButton, removeButton}) objects->addWidget(w);
    objects->addStretch();
    objectPanel->hide();

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    middle->addWidget(view, 1);
    middle->addWidget(objectPanel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(middle, 1);
    layout->addWidget(bottomBar);

    buildPaletteMenu();
    objectPanelMenu = new QMenu(this);
    objectPanelMenu->setObjectName("PopupMenu1");
    QAction* toggle = objectPanelMenu->addAction("Show/ Hide Object Panel");
    connect(toggle, &QAction::triggered, this, [this] { toggleObjectPanel(); });
    controls_.bindAction(viewAllButton, "view-all");
    controls_.bindAction(viewPendingButton, "view-pending");
    controls_.bindAction(removeButton, "remove");
    readBack();
    connect(this, &ImageWindow::paletteMenuRequested, this, [this](const QPoint& at) { popupPaletteMenu(at); });
}

void ImageWindow::setToolCursor(ToolCursor cursor) { canvas->setCursor(toolCursorShape(cursor)); }

void ImageWindow::showPicture() {
    canvas->setEnabled(true);
    resetButton->setEnabled(true);
    setToolCursor(currentTool(session_.tools).cursor());
    beginPictureSetup(session_);
    repaint();
}

void ImageWindow::buildPaletteMenu() {
    // Each palette shows what it makes of the gray levels, dark to light.
    constexpr int kSwatchWidth = 48, kSwatchHeight = 12;
    auto swatch = [](int32_t code) {
        const std::vector<uint32_t> ramp = paletteRamp(code, kSwatchWidth);
        if (ramp.empty()) return QIcon();
        QImage image(kSwatchWidth, kSwatchHeight, QImage::Format_RGB32);
        for (int y = 0; y < kSwatchHeight; ++y) std::copy(ramp.begin(), ramp.end(), reinterpret_cast<uint32_t*>(image.scanLine(y)));
        return QIcon(QPixmap::fromImage(image));
    };
    // A menu fits its icons in a square of the small icon size, which would
    // shrink the swatches to a sliver; the submenus make the square as wide
    // as a swatch.
    class SwatchStyle final : public QProxyStyle {
    public:
        int pixelMetric(PixelMetric m, const QStyleOption* o, const QWidget* w) const override {
            return m == PM_SmallIconSize ? kSwatchWidth : QProxyStyle::pixelMetric(m, o, w);
        }
    };
    paletteMenu = new QMenu(this);
    paletteMenu->setObjectName("PopupMenu2");
    auto* swatchStyle = new SwatchStyle;
    swatchStyle->setParent(paletteMenu);
    for (const PaletteSubmenu& sub : paletteSubmenus()) {
        QMenu* into = paletteMenu;
        if (!sub.caption.empty()) {
            into = paletteMenu->addMenu(QString::fromUtf8(sub.caption.data(), qsizetype(sub.caption.size())));
            into->setStyle(swatchStyle);
        }
        for (const PaletteMenuItem& item : sub.items) {
            QAction* a = into->addAction(QString::fromUtf8(item.caption.data(), qsizetype(item.caption.size())));
            a->setObjectName(QString::fromUtf8(item.name.data(), qsizetype(item.name.size())));
            if (item.isDefault) {
                QFont bold = a->font();
                bold.setBold(true);
                a->setFont(bold);
            }
            if (item.kind == PaletteItemKind::Palette) a->setIcon(swatch(item.code));
            if (item.kind == PaletteItemKind::Clear) clearItem = a;
            controls_.bindAction(a, "palette", std::string(item.selectionCaption));
        }
    }
    connect(paletteMenu, &QMenu::aboutToShow, this, [this] { paletteMenuOpening(); });
}

void ImageWindow::paletteMenuOpening() {
    if (clearItem) clearItem->setVisible(objectPanel->isVisible());
    view->setToolTip(QString());
    canvas->setToolTip(QString());
}

void ImageWindow::popupPaletteMenu(const QPoint& globalPos) { paletteMenu->popup(globalPos); }

void ImageWindow::popupPaletteMenuAt(int x, int y) {
    // The window has just been fitted to the frame: lay it out first, so
    // that the point is where the user will see it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    popupPaletteMenu(view->globalPositionOf(x, y));
}

void ImageWindow::toggleObjectPanel() {
    const bool show = !objectPanel->isVisible();
    for (QWidget* w : std::initializer_list<QWidget*>{objectPanel, viewAllButton, viewPendingButton, removeButton}) w->setVisible(show);
    if (show && width() < 410) {
        if (QWidget* frame = parentWidget()) frame->resize(frame->width() + 410 - width(), frame->height());
        else resize(410, height());
    }
}

void ImageWindow::contextMenuEvent(QContextMenuEvent* e) {
    // The picture has the palette menu; the rest of the window this one.
    if (!canvas->rect().contains(canvas->mapFrom(this, e->pos()))) objectPanelMenu->popup(e->globalPos());
}

void ImageWindow::readBack() {
    controls_.readBack();
    undoButton->setEnabled(session_.pointer.undoEnabled);
    // Each names the step it would take back or do again.
    const History& history = session_.history;
    const auto step = [](const char* verb, std::string_view name) {
        return name.empty() ? QString(verb) : QString("%1 %2").arg(verb, QString::fromUtf8(name.data(), qsizetype(name.size())));
    };
    historyUndoButton->setEnabled(history.canUndo());
    historyUndoButton->setToolTip(withKeys(step("Undo", history.undoName()), {&actionNamed("history-undo")}));
    historyRedoButton->setEnabled(history.canRedo());
    historyRedoButton->setToolTip(withKeys(step("Redo", history.redoName()), {&actionNamed("history-redo")}));
    scaleFactorBox->setSingleStep(session_.scale.step);
    scaleButton->setEnabled(session_.scale.scaleEnabled);
}

// The zoom and scale fields turn blue while they have the focus.
bool ImageWindow::eventFilter(QObject* watched, QEvent* e) {
    if ((watched == zoomFactorBox || watched == scaleFactorBox) &&
        (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)) {
        auto* field = static_cast<QWidget*>(watched);
        field->setStyleSheet(e->type() == QEvent::FocusIn ? "QSpinBox { background: blue; color: white; }"
                                                          : "QSpinBox { background: black; color: white; }");
    }
    return QWidget::eventFilter(watched, e);
}

void ImageWindow::pictureChanged() {
    view->pictureChanged();
    resetCaptionChanged();
}

void ImageWindow::displayChanged(const QRect& r) { view->displayChanged(r); }

void ImageWindow::readoutsChanged() {
    const GestureState& g = session_.gesture;
    const uint32_t c = g.pointedColour;
    positionLabel->setText(QString(" x:%1  y:%2 ").arg(g.pointerX).arg(g.pointerY));
    colourLabel->setText(QString(" R:%1 G:%2 B:%3 ").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c)));
    QPalette pal = colourSwatch->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(c));
    colourSwatch->setPalette(pal);
}

void ImageWindow::resetCaptionChanged() {
    resetButton->setText(session_.cropPending ? kCropCaption : kZeroSetCaption);
}

void ImageWindow::autoScroll(int x, int y) { view->autoScroll(x, y); }

void ImageWindow::scaleView(ViewScale step) {
    switch (step) {
    case ViewScale::ZoomIn: view->zoomBy(1); break;
    case ViewScale::ZoomOut: view->zoomBy(-1); break;
    case ViewScale::Fit: view->fit(); break;
    case ViewScale::Actual: view->setScale(1); break;
    }
}

void ImageWindow::showScale(double scale) {
    const double percent = scale * 100;
    scaleLabel->setText(QString::number(percent, 'f', percent < 10 && percent != std::floor(percent) ? 1 : 0) + "%");
}

void ImageWindow::closeEvent(QCloseEvent* e) {
    if (!closed_) {
        closed_ = true;
        closePicture(session_);
    }
    e->accept();
}

} // namespace cw
