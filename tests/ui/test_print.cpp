// The print options dialog's rules, the printer's failures, and a print to a
// PDF file that holds the picture where the options put it.
#include <QtPrintSupport>

#include "ui/tform3.h"
#include "ui_rig.h"

using namespace cw;

namespace {

// A spooler that takes the finished job and then turns it down: once the
// job's file has been written, the printer's state is Error.
struct RefusingSpooler final : QPrintEngine {
    QPrinter& pdf;
    explicit RefusingSpooler(QPrinter& p) : pdf(p) {}
    void setProperty(PrintEnginePropertyKey k, const QVariant& v) override { pdf.printEngine()->setProperty(k, v); }
    QVariant property(PrintEnginePropertyKey k) const override { return pdf.printEngine()->property(k); }
    bool newPage() override { return pdf.printEngine()->newPage(); }
    bool abort() override { return pdf.printEngine()->abort(); }
    int metric(QPaintDevice::PaintDeviceMetric m) const override { return pdf.printEngine()->metric(m); }
    QPrinter::PrinterState printerState() const override {
        const QPrinter::PrinterState state = pdf.printEngine()->printerState();
        return state == QPrinter::Idle && QFileInfo::exists(pdf.outputFileName()) ? QPrinter::Error : state;
    }
};

// A PDF printer whose job, or else a refusing spooler's, goes to `file`.
struct PdfPrinter final : QPrinter {
    QPrinter pdf;
    RefusingSpooler spooler{pdf};
    PdfPrinter(const QString& file, bool refuses) {
        for (QPrinter* p : {&pdf, static_cast<QPrinter*>(this)}) p->setOutputFormat(QPrinter::PdfFormat), p->setOutputFileName(file);
        if (refuses) setEngines(&spooler, pdf.paintEngine());
    }
};

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
    QTemporaryDir home;

private slots:
    void initTestCase() { uitest::privateHome(home); }

    void dialogRules() {
        TForm3 f;
        f.show();
        QCOMPARE(f.MaskEdit1->text(), QString("   0"));
        QVERIFY(!f.MaskEdit3->isEnabled());
        f.MaskEdit1->setText("  50");
        QTest::mouseClick(f.CheckBox1, Qt::LeftButton);
        QVERIFY(f.MaskEdit1->text() == "0" && !f.MaskEdit1->isEnabled());
        QTest::mouseClick(f.CheckBox1, Qt::LeftButton);
        QVERIFY(f.MaskEdit1->isEnabled());
        QTest::mouseClick(f.CheckBox4, Qt::LeftButton);  // Enlarge
        QVERIFY(f.MaskEdit3->isEnabled());
        QTest::mouseClick(f.CheckBox5, Qt::LeftButton);  // then Reduce
        QVERIFY(f.CheckBox5->isChecked() && !f.CheckBox4->isChecked() && f.MaskEdit3->isEnabled());
        // The fields take digits and blanks only.
        for (auto [edit, typed, kept] : {std::tuple{f.MaskEdit1, "-999", "999"}, {f.MaskEdit2, "1a2b", "12"},
                                         {f.MaskEdit2, "  7", "  7"}, {f.MaskEdit3, "+7", "7"}}) {
            edit->clear();
            QTest::keyClicks(edit, typed);
            QCOMPARE(edit->text(), QString(kept));
        }
        QTest::mouseClick(f.CheckBox3, Qt::LeftButton);  // fit
        for (QCheckBox* c : {f.CheckBox4, f.CheckBox5, f.CheckBox6, f.CheckBox7})
            QVERIFY(!c->isChecked() && !c->isEnabled());
        QVERIFY(f.MaskEdit3->text() == "0" && f.MaskEdit4->text() == "0");
        QTest::mouseClick(f.CheckBox3, Qt::LeftButton);
        QVERIFY(f.CheckBox4->isEnabled());
    }

    // A folder where the file should go, or a spooler that turns the job down.
    void printerFailuresSayWhy_data() {
        QTest::addColumn<bool>("spoolerRefuses");
        QTest::addColumn<QString>("why");
        QTest::newRow("folder in the way") << false << "Is a directory";
        QTest::newRow("spooler refuses") << true << "the printer reported an error";
    }
    void printerFailuresSayWhy() {
        QFETCH(bool, spoolerRefuses);
        QFETCH(QString, why);
        QTemporaryDir out;
        const QString path = out.filePath("print.pdf");
        QVERIFY(spoolerRefuses || QDir(out.path()).mkdir("print.pdf"));
        PdfPrinter printer(path, spoolerRefuses);
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        QCOMPARE(printPage(printer, picture, QRect(10, 10, 8, 8)), QString(kPrintFailed).arg(path, why));
    }

    void printsThePictureWhereTheOptionsPutIt() {
        if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) QSKIP("pdftoppm (poppler-utils) is not installed");
        uitest::App a("photos/camera-24.bmp");
        QTemporaryDir out;
        const QString pdf = out.path() + "/print.pdf";
        QPrinter& printer = a.app.form3().printer();
        printer.setOutputFormat(QPrinter::PdfFormat), printer.setOutputFileName(pdf);
        printer.setResolution(100), printer.setFullPage(true);
        TForm3& options = a.app.form3();
        options.MaskEdit1->setText(" 100");
        // Runs the print button with `margin` in the top field, answering the options with `button`.
        auto print = [&](const char* margin, QPushButton* button) {
            options.MaskEdit2->setText(margin);
            a.messages.shown.clear();
            uitest::whenModal([&](QWidget* modal) {
                QCOMPARE(modal, static_cast<QWidget*>(&options));
                QTest::mouseClick(button, Qt::LeftButton);
            });
            QTest::mouseClick(a.f.ExplorerButton4, Qt::LeftButton);
        };
        print("  50", options.Button2);
        QVERIFY2(a.messages.shown.empty(), a.messages.shown.empty() ? "" : a.messages.shown[0].c_str());
        QCOMPARE(printer.docName(), QString("Tintcraft: Image# 1 of 1"));
        QCOMPARE(QProcess::execute("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, out.path() + "/page"}), 0);
        const QImage page(out.path() + "/page.png");
        // Paper is white outside the picture; inside it shows the photo.
        QCOMPARE(QColor(page.pixel(60, 30)), QColor(Qt::white));
        QCOMPARE(QColor(page.pixel(100 + 530, 50 + 200)), QColor(Qt::white));
        int close = 0;
        for (int y = 20; y < 500; y += 37)
            for (int x = 20; x < 500; x += 41)
                close += std::abs(qGray(page.pixel(100 + x, 50 + y)) - int(blueOf(a.ws().display.at(x, y)))) <= 24;
        QVERIFY2(close >= 140, qPrintable(QString("only %1 of 156 samples match").arg(close)));

        // A field with no digits, and Abort in the options, start no job.
        QFile::remove(pdf);
        print("    ", options.Button2);
        QCOMPARE(a.messages.shown, std::vector<std::string>{"'    ' is not a valid integer value"});
        print("0", options.Button3);
        QVERIFY(a.messages.shown.empty() && !QFile::exists(pdf));
        // The printer's own failure reaches the error box.
        printer.setOutputFileName(out.filePath("missing/print.pdf"));
        print("0", options.Button2);
        const QString why = QString(kPrintFailed).arg(out.filePath("missing/print.pdf"), "No such file or directory");
        QCOMPARE(a.messages.shown, std::vector<std::string>{why.toStdString()});
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
