#include "ui/tform2.h"

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
#include <QPushButton>
#include <QToolButton>
#include <cmath>
#include <QVBoxLayout>

#include "actions/action_table.h"
#include "actions/image_window.h"
#include "actions/session.h"
#include "core/catalogue.h"
#include "core/palette_networks.h"
#include "tools/interaction.h"
#include "tools/tool_registry.h"
#include "ui/picture_view.h"
#include "ui/tools_qt.h"

namespace cw {

TForm2::TForm2(Session& s, QWidget* parent) : QWidget(parent), session_(s) {
    setObjectName("Form2");
    setAttribute(Qt::WA_DeleteOnClose);
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    auto* strip = new QHBoxLayout(Panel1);
    strip->setContentsMargins(2, 1, 2, 1);
    auto button = [&](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, Panel1);
        b->setObjectName(name);
        strip->addWidget(b);
        return b;
    };
    auto spin = [&](const char* name, const char* hint) {
        auto* sp = new QSpinBox(Panel1);
        sp->setObjectName(name);
        sp->setToolTip(hint);
        sp->installEventFilter(this);
        strip->addWidget(sp);
        return sp;
    };
    controls_.attach(s);
    CheckBox1 = new QCheckBox("Un-do Enabled", Panel1);
    CheckBox1->setObjectName("CheckBox1");
    strip->addWidget(CheckBox1);
    Button4 = button("Button4", "");
    Button1 = button("Button1", "");
    SpinEdit7 = spin("SpinEdit7", "Specify X factor to zoom into current selection [1 to 10 X]");
    Button2 = button("Button2", "");
    Button3 = button("Button3", "&Scale");
    SpinEdit1 = spin("SpinEdit1", "Specify X factor to scale current image [-10 to +10 X]");
    if (auto* text = SpinEdit1->findChild<QLineEdit*>()) text->setReadOnly(true);  // arrows only
    strip->addWidget(new QLabel("Pressure", Panel1));
    SpinEdit2 = spin("SpinEdit2", "Reduce the brush pressure to -1 through -5 to obtain softer tones");
    strip->addStretch();
    controls_.bind(CheckBox1, "undo-enabled");
    controls_.bindAction(Button4, "undo");
    controls_.bindAction(Button1, "zoom");
    controls_.bindAction(Button2, "reset");
    controls_.bindAction(Button3, "reset", {}, ControlBindings::Caption::Own);
    controls_.bind(SpinEdit1, "scale-factor");
    controls_.bind(SpinEdit2, "pressure");
    controls_.bind(SpinEdit7, "zoom-factor");
    for (QSpinBox* field : {SpinEdit7, SpinEdit1}) field->setStyleSheet("QSpinBox { background: black; color: white; }");
    Label1 = new QLabel(Panel1);
    Label1->setObjectName("Label1");
    strip->addWidget(Label1);
    Label3 = new QLabel(Panel1);
    Label3->setObjectName("Label3");
    strip->addWidget(Label3);
    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedSize(16, 16);
    Panel2->setAutoFillBackground(true);
    strip->addWidget(Panel2);

    // The view's scale: its steps, Fit and 100 %, and where it stands.
    auto viewButton = [&](const char* name, const char* action, const char* caption) {
        auto* b = new QToolButton(Panel1);
        b->setObjectName(name);
        b->setAutoRaise(true);
        strip->addWidget(b);
        if (caption) b->setText(caption);
        // Its tip names the row and its keys.
        controls_.bindAction(b, action, {}, caption ? ControlBindings::Caption::Own : ControlBindings::Caption::FromRow);
        return b;
    };
    ZoomOutButton = viewButton("ZoomOutButton", "view-zoom-out", "\u2212");
    ScaleLabel = new QLabel(Panel1);
    ScaleLabel->setObjectName("ScaleLabel");
    ScaleLabel->setAlignment(Qt::AlignCenter);
    ScaleLabel->setMinimumWidth(ScaleLabel->fontMetrics().horizontalAdvance(" 3200% "));
    strip->addWidget(ScaleLabel);
    ZoomInButton = viewButton("ZoomInButton", "view-zoom-in", "+");
    FitButton = viewButton("FitButton", "view-fit", nullptr);
    ActualSizeButton = viewButton("ActualSizeButton", "view-actual-size", nullptr);

    ScrollBox1 = new PictureView(s, this, this);
    ScrollBox1->setToolTip("RIGHT-CLICK to Show Colour-palette Options");
    Image1 = ScrollBox1->viewport();
    connect(ScrollBox1, &PictureView::scaleChanged, this, [this](double scale) { showScale(scale); });
    showScale(ScrollBox1->scale());
    Panel3 = new QFrame(this);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedWidth(120);
    auto* objects = new QVBoxLayout(Panel3);
    objects->addWidget(new QLabel("Objects", Panel3));
    Button5 = new QPushButton("View All", Panel3);
    Button5->setObjectName("Button5");
    Button6 = new QPushButton("View Pending", Panel3);
    Button6->setObjectName("Button6");
    Button7 = new QPushButton("Remove", Panel3);
    Button7->setObjectName("Button7");
    for (QWidget* w : {Button5, Button6, Button7}) objects->addWidget(w);
    objects->addStretch();
    Panel3->hide();

    auto* middle = new QHBoxLayout;
    middle->setSpacing(0);
    middle->addWidget(ScrollBox1, 1);
    middle->addWidget(Panel3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(middle, 1);
    layout->addWidget(Panel1);

    buildPaletteMenu();
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    QAction* toggle = PopupMenu1->addAction("Show/ Hide Object Panel");
    connect(toggle, &QAction::triggered, this, [this] { ShowHideObjectPanelClick(); });
    controls_.bindAction(Button5, "view-all");
    controls_.bindAction(Button6, "view-pending");
    controls_.bindAction(Button7, "remove");
    readBack();
    connect(this, &TForm2::paletteMenuRequested, this, [this](const QPoint& at) { popupPaletteMenu(at); });
}

void TForm2::setToolCursor(ToolCursor cursor) { Image1->setCursor(toolCursorShape(cursor)); }

void TForm2::FormShow() {
    Image1->setEnabled(true);
    Button2->setEnabled(true);
    setToolCursor(currentTool(session_.tools).cursor());
    formShow(session_);
    repaint();
}

void TForm2::buildPaletteMenu() {
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
    PopupMenu2 = new QMenu(this);
    PopupMenu2->setObjectName("PopupMenu2");
    auto* swatchStyle = new SwatchStyle;
    swatchStyle->setParent(PopupMenu2);
    for (const PaletteSubmenu& sub : paletteSubmenus()) {
        QMenu* into = PopupMenu2;
        if (!sub.caption.empty()) {
            into = PopupMenu2->addMenu(QString::fromUtf8(sub.caption.data(), qsizetype(sub.caption.size())));
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
            if (item.kind == PaletteItemKind::Clear) Clear2 = a;
            controls_.bindAction(a, "palette", std::string(item.selectionCaption));
        }
    }
    connect(PopupMenu2, &QMenu::aboutToShow, this, [this] { PopupMenu2Popup(); });
}

void TForm2::PopupMenu2Popup() {
    if (Clear2) Clear2->setVisible(Panel3->isVisible());
    ScrollBox1->setToolTip(QString());
    Image1->setToolTip(QString());
}

void TForm2::popupPaletteMenu(const QPoint& globalPos) { PopupMenu2->popup(globalPos); }

void TForm2::popupPaletteMenuAt(int x, int y) {
    // The window has just been fitted to the frame: lay it out first, so
    // that the point is where the user will see it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    popupPaletteMenu(ScrollBox1->globalPositionOf(x, y));
}

void TForm2::ShowHideObjectPanelClick() {
    const bool show = !Panel3->isVisible();
    for (QWidget* w : std::initializer_list<QWidget*>{Panel3, Button5, Button6, Button7}) w->setVisible(show);
    if (show && width() < 410) {
        if (QWidget* frame = parentWidget()) frame->resize(frame->width() + 410 - width(), frame->height());
        else resize(410, height());
    }
}

void TForm2::contextMenuEvent(QContextMenuEvent* e) {
    // The picture has the palette menu; the rest of the window this one.
    if (!Image1->rect().contains(Image1->mapFrom(this, e->pos()))) PopupMenu1->popup(e->globalPos());
}

void TForm2::readBack() {
    controls_.readBack();
    Button4->setEnabled(session_.pointer.undoEnabled);
    SpinEdit1->setSingleStep(session_.scale.step);
    Button3->setEnabled(session_.scale.scaleEnabled);
}

// The zoom and scale fields turn blue while they have the focus.
bool TForm2::eventFilter(QObject* watched, QEvent* e) {
    if ((watched == SpinEdit7 || watched == SpinEdit1) &&
        (e->type() == QEvent::FocusIn || e->type() == QEvent::FocusOut)) {
        auto* field = static_cast<QWidget*>(watched);
        field->setStyleSheet(e->type() == QEvent::FocusIn ? "QSpinBox { background: blue; color: white; }"
                                                          : "QSpinBox { background: black; color: white; }");
    }
    return QWidget::eventFilter(watched, e);
}

void TForm2::pictureChanged() {
    ScrollBox1->pictureChanged();
    resetCaptionChanged();
}

void TForm2::displayChanged(const QRect& r) { ScrollBox1->displayChanged(r); }

void TForm2::readoutsChanged() {
    const GestureState& g = session_.gesture;
    const uint32_t c = g.pointedColour;
    Label1->setText(QString(" x:%1  y:%2 ").arg(g.pointerX).arg(g.pointerY));
    Label3->setText(QString(" R:%1 G:%2 B:%3 ").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c)));
    QPalette pal = Panel2->palette();
    pal.setColor(QPalette::Window, QColor::fromRgb(c));
    Panel2->setPalette(pal);
}

void TForm2::resetCaptionChanged() {
    Button2->setText(session_.cropPending ? kCropCaption : kZeroSetCaption);
}

void TForm2::autoScroll(int x, int y) { ScrollBox1->autoScroll(x, y); }

void TForm2::scaleView(ViewScale step) {
    switch (step) {
    case ViewScale::ZoomIn: ScrollBox1->zoomBy(1); break;
    case ViewScale::ZoomOut: ScrollBox1->zoomBy(-1); break;
    case ViewScale::Fit: ScrollBox1->fit(); break;
    case ViewScale::Actual: ScrollBox1->setScale(1); break;
    }
}

void TForm2::showScale(double scale) {
    const double percent = scale * 100;
    ScaleLabel->setText(QString::number(percent, 'f', percent < 10 && percent != std::floor(percent) ? 1 : 0) + "%");
}

void TForm2::closeEvent(QCloseEvent* e) {
    if (!closed_) {
        closed_ = true;
        formClose(session_);
    }
    e->accept();
}

} // namespace cw
