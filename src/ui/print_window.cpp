#include "ui/print_window.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <variant>

#include "actions/session.h"

namespace cw {

namespace {
constexpr int kClientWidth = 481, kClientHeight = 136;
// printPage puts the whole picture on one page.
constexpr int kPagesPerJob = 1;

// The file a job goes to, or else the printer's name.
QString printTarget(const QPrinter& printer) {
    return printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
}

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
    CheckBox1 = box(position, "CheckBox1", "Center Horizontally");
    CheckBox2 = box(position, "CheckBox2", "Center Vertically");
    MaskEdit1 = field(position, "MaskEdit1", "   0", 4);
    MaskEdit2 = field(position, "MaskEdit2", "   0", 4);
    pg->addWidget(CheckBox1, 0, 0);
    pg->addWidget(new QLabel("Left Margin", position), 0, 1);
    pg->addWidget(MaskEdit1, 0, 2);
    pg->addWidget(new QLabel(">>| pixels", position), 0, 3);
    pg->addWidget(CheckBox2, 1, 0);
    pg->addWidget(new QLabel("Top Margin", position), 1, 1);
    pg->addWidget(MaskEdit2, 1, 2);
    pg->addWidget(new QLabel("__ pixels", position), 1, 3);

    auto* scale = new QGroupBox("Scale", this);
    auto* sg = new QGridLayout(scale);
    CheckBox3 = box(scale, "CheckBox3", "Scale Proportionally to Fit Page");
    sg->addWidget(CheckBox3, 0, 0, 1, 5);
    CheckBox4 = box(scale, "CheckBox4", "Enlarge");
    CheckBox5 = box(scale, "CheckBox5", "Reduce");
    MaskEdit3 = field(scale, "MaskEdit3", " 0", 2);
    CheckBox6 = box(scale, "CheckBox6", "Enlarge");
    CheckBox7 = box(scale, "CheckBox7", "Reduce");
    MaskEdit4 = field(scale, "MaskEdit4", " 0", 2);
    MaskEdit3->setEnabled(false);
    MaskEdit4->setEnabled(false);
    sg->addWidget(new QLabel("Horizontally", scale), 1, 0);
    sg->addWidget(CheckBox4, 1, 1);
    sg->addWidget(CheckBox5, 1, 2);
    sg->addWidget(MaskEdit3, 1, 3);
    sg->addWidget(new QLabel("X", scale), 1, 4);
    sg->addWidget(new QLabel("Vertically", scale), 2, 0);
    sg->addWidget(CheckBox6, 2, 1);
    sg->addWidget(CheckBox7, 2, 2);
    sg->addWidget(MaskEdit4, 2, 3);
    sg->addWidget(new QLabel("X", scale), 2, 4);

    auto* buttons = new QVBoxLayout;
    Button1 = new QPushButton("Printer &Settings", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("&Print Now", this);
    Button2->setObjectName("Button2");
    Button2->setDefault(true);
    Button3 = new QPushButton("&Abort", this);
    Button3->setObjectName("Button3");
    for (QPushButton* b : {Button1, Button2, Button3}) buttons->addWidget(b);
    auto* row = new QHBoxLayout(this);
    row->addWidget(position);
    row->addWidget(scale);
    row->addLayout(buttons);

    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
    connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
    connect(CheckBox4, &QCheckBox::clicked, this, [this] { pairClick(CheckBox4, CheckBox5, MaskEdit3); });
    connect(CheckBox5, &QCheckBox::clicked, this, [this] { pairClick(CheckBox5, CheckBox4, MaskEdit3); });
    connect(CheckBox6, &QCheckBox::clicked, this, [this] { pairClick(CheckBox6, CheckBox7, MaskEdit4); });
    connect(CheckBox7, &QCheckBox::clicked, this, [this] { pairClick(CheckBox7, CheckBox6, MaskEdit4); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);
}

PrintWindow::~PrintWindow() = default;

void PrintWindow::CheckBox1Click() {
    if (CheckBox1->isChecked()) MaskEdit1->setText("0");
    MaskEdit1->setEnabled(!CheckBox1->isChecked());
}

void PrintWindow::CheckBox2Click() {
    if (CheckBox2->isChecked()) MaskEdit2->setText("0");
    MaskEdit2->setEnabled(!CheckBox2->isChecked());
}

void PrintWindow::CheckBox3Click() {
    const bool fit = CheckBox3->isChecked();
    if (fit) {
        for (QCheckBox* c : {CheckBox4, CheckBox5, CheckBox6, CheckBox7}) c->setChecked(false);
        MaskEdit3->setText("0");
        MaskEdit4->setText("0");
        MaskEdit3->setEnabled(false);
        MaskEdit4->setEnabled(false);
    }
    for (QCheckBox* c : {CheckBox4, CheckBox5, CheckBox6, CheckBox7}) c->setEnabled(!fit);
}

void PrintWindow::pairClick(QCheckBox* clicked, QCheckBox* other, QLineEdit* factor) {
    if (clicked->isChecked()) other->setChecked(false);
    factor->setEnabled(clicked->isChecked() || other->isChecked());
}

void PrintWindow::Button1Click() {
    QPrintDialog dialog(printer_.get(), this);
    dialog.exec();
}

PrintOptions PrintWindow::options() const {
    PrintOptions o;
    o.centreHorizontally = CheckBox1->isChecked();
    o.centreVertically = CheckBox2->isChecked();
    o.leftMargin = MaskEdit1->text().toStdString();
    o.topMargin = MaskEdit2->text().toStdString();
    o.fitPage = CheckBox3->isChecked();
    o.enlargeHorizontally = CheckBox4->isChecked();
    o.reduceHorizontally = CheckBox5->isChecked();
    o.horizontalFactor = MaskEdit3->text().toStdString();
    o.enlargeVertically = CheckBox6->isChecked();
    o.reduceVertically = CheckBox7->isChecked();
    o.verticalFactor = MaskEdit4->text().toStdString();
    return o;
}

void printButtonClick(Session& s, PrintWindow& form, bool imageWindowVisible) {
    if (!s.imageWindowOpen || !s.ws || !imageWindowVisible) return;
    if (form.exec() != QDialog::Accepted) return;
    QPrinter& printer = form.printer();
    const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
    const Workspace& ws = *s.ws;
    const auto placed = placePicture(form.options(), ws.width, ws.height, page.width(), page.height());
    if (const auto* why = std::get_if<std::string>(&placed)) {
        s.messages.error(*why);
        return;
    }
    const PrintPlacement p = std::get<PrintPlacement>(placed);
    printer.setDocName(kPrintJobTitle);
    const QImage image(reinterpret_cast<const uchar*>(ws.display.data()), ws.width, ws.height,
                       qsizetype(ws.width) * 4, QImage::Format_RGB32);
    if (const auto failure = printPage(printer, image, QRect(p.x, p.y, p.width, p.height)))
        s.messages.error(failure->toStdString());
    else
        s.host.status(QString(kPrintedStatus).arg(kPagesPerJob).arg(printTarget(printer)).toStdString());
}

namespace {

// Qt tells only that the printer failed; a job that goes to a file can be
// told why by the file system.
QString printFailure(const QPrinter& printer) {
    const QString file = printer.outputFileName();
    QString why = printer.printerState() == QPrinter::Aborted ? "the job was cancelled"
                                                               : "the printer reported an error";
    if (!file.isEmpty()) {
        QFile probe(file);
        const bool existed = probe.exists();
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) why = probe.errorString();
        else if (!existed) probe.remove();
    }
    return QString(kPrintFailed).arg(printTarget(printer), why);
}

} // namespace

std::optional<QString> printPage(QPrinter& printer, const QImage& picture, const QRect& where) {
    QPainter painter;
    if (!painter.begin(&printer)) return printFailure(printer);
    painter.drawImage(where, picture);
    const bool ended = painter.end();
    // A spooler that turns the job down after it has been handed over shows
    // only in the printer's state.
    const QPrinter::PrinterState state = printer.printerState();
    if (!ended || state == QPrinter::Error || state == QPrinter::Aborted) return printFailure(printer);
    return std::nullopt;
}

} // namespace cw
