#include "ui/print_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <tuple>

namespace cw {

namespace {
constexpr int kClientWidth = 481, kClientHeight = 136;

// Digits, with blanks for the missing ones: a sign or a letter would put
// the picture off the page or make a number the fields cannot show.
QLineEdit* field(QWidget* parent, const char* name, const char* text, int digits) {
    auto* e = new QLineEdit(text, parent);
    e->setObjectName(name);
    e->setMaxLength(digits);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression("[ 0-9]*"), e));
    e->setFixedWidth(12 * digits + 12);
    return e;
}

QCheckBox* box(QWidget* parent, const char* name, const char* caption) {
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(name);
    return c;
}
} // namespace

PrintWindow::PrintWindow(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName("Form3");
    setWindowTitle("Print Options");
    setMinimumSize(kClientWidth, kClientHeight);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(pal);
    setAutoFillBackground(true);

    auto* position = new QGroupBox("Position", this);
    auto* pg = new QGridLayout(position);
    centreHorizontallyBox = box(position, "CheckBox1", "Center Horizontally");
    centreVerticallyBox = box(position, "CheckBox2", "Center Vertically");
    leftMarginField = field(position, "MaskEdit1", "   0", 4);
    topMarginField = field(position, "MaskEdit2", "   0", 4);
    pg->addWidget(centreHorizontallyBox, 0, 0);
    pg->addWidget(new QLabel("Left Margin", position), 0, 1);
    pg->addWidget(leftMarginField, 0, 2);
    pg->addWidget(new QLabel(">>| pixels", position), 0, 3);
    pg->addWidget(centreVerticallyBox, 1, 0);
    pg->addWidget(new QLabel("Top Margin", position), 1, 1);
    pg->addWidget(topMarginField, 1, 2);
    pg->addWidget(new QLabel("__ pixels", position), 1, 3);

    auto* scale = new QGroupBox("Scale", this);
    auto* sg = new QGridLayout(scale);
    fitPageBox = box(scale, "CheckBox3", "Scale Proportionally to Fit Page");
    sg->addWidget(fitPageBox, 0, 0, 1, 5);
    enlargeHorizontallyBox = box(scale, "CheckBox4", "Enlarge");
    reduceHorizontallyBox = box(scale, "CheckBox5", "Reduce");
    horizontalFactorField = field(scale, "MaskEdit3", " 0", 2);
    enlargeVerticallyBox = box(scale, "CheckBox6", "Enlarge");
    reduceVerticallyBox = box(scale, "CheckBox7", "Reduce");
    verticalFactorField = field(scale, "MaskEdit4", " 0", 2);
    horizontalFactorField->setEnabled(false);
    verticalFactorField->setEnabled(false);
    sg->addWidget(new QLabel("Horizontally", scale), 1, 0);
    sg->addWidget(enlargeHorizontallyBox, 1, 1);
    sg->addWidget(reduceHorizontallyBox, 1, 2);
    sg->addWidget(horizontalFactorField, 1, 3);
    sg->addWidget(new QLabel("X", scale), 1, 4);
    sg->addWidget(new QLabel("Vertically", scale), 2, 0);
    sg->addWidget(enlargeVerticallyBox, 2, 1);
    sg->addWidget(reduceVerticallyBox, 2, 2);
    sg->addWidget(verticalFactorField, 2, 3);
    sg->addWidget(new QLabel("X", scale), 2, 4);

    auto* buttons = new QVBoxLayout;
    printerSettingsButton = new QPushButton("Printer &Settings", this);
    printerSettingsButton->setObjectName("Button1");
    printNowButton = new QPushButton("&Print Now", this);
    printNowButton->setObjectName("Button2");
    printNowButton->setDefault(true);
    abortButton = new QPushButton("&Abort", this);
    abortButton->setObjectName("Button3");
    for (QPushButton* b : {printerSettingsButton, printNowButton, abortButton}) buttons->addWidget(b);
    auto* row = new QHBoxLayout(this);
    row->addWidget(position);
    row->addWidget(scale);
    row->addLayout(buttons);

    for (auto [centre, margin] : {std::pair{centreHorizontallyBox, leftMarginField}, {centreVerticallyBox, topMarginField}})
        connect(centre, &QCheckBox::clicked, this, [this, centre, margin] { centreClicked(centre, margin); });
    connect(fitPageBox, &QCheckBox::clicked, this, [this] { fitPageClicked(); });
    const std::tuple<QCheckBox*, QCheckBox*, QLineEdit*> directions[] = {
        {enlargeHorizontallyBox, reduceHorizontallyBox, horizontalFactorField},
        {reduceHorizontallyBox, enlargeHorizontallyBox, horizontalFactorField},
        {enlargeVerticallyBox, reduceVerticallyBox, verticalFactorField},
        {reduceVerticallyBox, enlargeVerticallyBox, verticalFactorField}};
    for (auto [clicked, other, factor] : directions)
        connect(clicked, &QCheckBox::clicked, this,
                [this, clicked, other, factor] { scaleDirectionClicked(clicked, other, factor); });
    connect(printerSettingsButton, &QPushButton::clicked, this, [this] { choosePrinter(); });
    connect(printNowButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(abortButton, &QPushButton::clicked, this, &QDialog::reject);
}

PrintWindow::~PrintWindow() = default;

void PrintWindow::centreClicked(QCheckBox* centre, QLineEdit* margin) {
    if (centre->isChecked()) margin->setText("0");
    margin->setEnabled(!centre->isChecked());
}

void PrintWindow::fitPageClicked() {
    const bool fit = fitPageBox->isChecked();
    if (fit) {
        for (QCheckBox* c : {enlargeHorizontallyBox, reduceHorizontallyBox, enlargeVerticallyBox, reduceVerticallyBox}) c->setChecked(false);
        horizontalFactorField->setText("0");
        verticalFactorField->setText("0");
        horizontalFactorField->setEnabled(false);
        verticalFactorField->setEnabled(false);
    }
    for (QCheckBox* c : {enlargeHorizontallyBox, reduceHorizontallyBox, enlargeVerticallyBox, reduceVerticallyBox}) c->setEnabled(!fit);
}

void PrintWindow::scaleDirectionClicked(QCheckBox* clicked, QCheckBox* other, QLineEdit* factor) {
    if (clicked->isChecked()) other->setChecked(false);
    factor->setEnabled(clicked->isChecked() || other->isChecked());
}

void PrintWindow::choosePrinter() {
    QPrintDialog dialog(printer_.get(), this);
    dialog.exec();
}

PrintOptions PrintWindow::options() const {
    PrintOptions o;
    o.centreHorizontally = centreHorizontallyBox->isChecked();
    o.centreVertically = centreVerticallyBox->isChecked();
    o.leftMargin = leftMarginField->text().toStdString();
    o.topMargin = topMarginField->text().toStdString();
    o.fitPage = fitPageBox->isChecked();
    o.enlargeHorizontally = enlargeHorizontallyBox->isChecked();
    o.reduceHorizontally = reduceHorizontallyBox->isChecked();
    o.horizontalFactor = horizontalFactorField->text().toStdString();
    o.enlargeVertically = enlargeVerticallyBox->isChecked();
    o.reduceVertically = reduceVerticallyBox->isChecked();
    o.verticalFactor = verticalFactorField->text().toStdString();
    return o;
}

} // namespace cw
