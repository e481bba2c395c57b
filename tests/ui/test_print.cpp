// The print options dialog's rules, and a print to a PDF file that holds the
// picture where the options put it.
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QPrintEngine>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform3.h"

using namespace cw;

namespace {

// A spooler that takes the finished job and then turns it down: once the
// job's file has been written, the printer's state is Error.
class RefusingSpooler final : public QPrintEngine {
public:
    explicit RefusingSpooler(QPrinter& pdf) : pdf_(pdf) {}
    void setProperty(PrintEnginePropertyKey key, const QVariant& value) override { real()->setProperty(key, value); }
    QVariant property(PrintEnginePropertyKey key) const override { return real()->property(key); }
    bool newPage() override { return real()->newPage(); }
    bool abort() override { return real()->abort(); }
    int metric(QPaintDevice::PaintDeviceMetric m) const override { return real()->metric(m); }
    QPrinter::PrinterState printerState() const override {
        const QPrinter::PrinterState state = real()->printerState();
        return state == QPrinter::Idle && QFileInfo::exists(pdf_.outputFileName()) ? QPrinter::Error : state;
    }

private:
    QPrintEngine* real() const { return pdf_.printEngine(); }
    QPrinter& pdf_;
};

class RefusingPrinter final : public QPrinter {
public:
    explicit RefusingPrinter(const QString& file) {
        pdf_.setOutputFormat(QPrinter::PdfFormat);
        pdf_.setOutputFileName(file);
        setEngines(&spooler_, pdf_.paintEngine());
    }

private:
    QPrinter pdf_;
    RefusingSpooler spooler_{pdf_};
};

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
    QTemporaryDir home;

    static void whenModal(std::function<void(QWidget*)> act) {
        auto* timer = new QTimer;
        QObject::connect(timer, &QTimer::timeout, [timer, act] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                timer->stop();
                timer->deleteLater();
                act(modal);
            }
        });
        timer->start(10);
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        recordAgreementAccepted();
    }

    void dialogRules() {
        TForm3 f;
        QCOMPARE(f.windowTitle(), QString("Print Options"));
        QCOMPARE(f.MaskEdit1->text(), QString("   0"));
        QVERIFY(!f.MaskEdit3->isEnabled());
        f.MaskEdit1->setText("  50");
        QTest::mouseClick(f.CheckBox1, Qt::LeftButton);
        QCOMPARE(f.MaskEdit1->text(), QString("0"));
        QVERIFY(!f.MaskEdit1->isEnabled());
        QTest::mouseClick(f.CheckBox1, Qt::LeftButton);
        QVERIFY(f.MaskEdit1->isEnabled());

        QTest::mouseClick(f.CheckBox4, Qt::LeftButton);  // Enlarge
        QVERIFY(f.MaskEdit3->isEnabled());
        QTest::mouseClick(f.CheckBox5, Qt::LeftButton);  // then Reduce
        QVERIFY(f.CheckBox5->isChecked() && !f.CheckBox4->isChecked());
        QVERIFY(f.MaskEdit3->isEnabled());
        f.MaskEdit3->setText(" 7");

        QTest::mouseClick(f.CheckBox3, Qt::LeftButton);  // fit
        for (QCheckBox* c : {f.CheckBox4, f.CheckBox5, f.CheckBox6, f.CheckBox7}) {
            QVERIFY(!c->isChecked());
            QVERIFY(!c->isEnabled());
        }
        QCOMPARE(f.MaskEdit3->text(), QString("0"));
        QCOMPARE(f.MaskEdit4->text(), QString("0"));
        QTest::mouseClick(f.CheckBox3, Qt::LeftButton);
        QVERIFY(f.CheckBox4->isEnabled());
    }

    void fieldsTakeDigitsOnly_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("negative margin") << "MaskEdit1" << "-999" << "999";
        QTest::newRow("letters in a margin") << "MaskEdit2" << "1a2b" << "12";
        QTest::newRow("blanks for missing digits") << "MaskEdit2" << "  7" << "  7";
        QTest::newRow("signed factor") << "MaskEdit3" << "+7" << "7";
    }
    void fieldsTakeDigitsOnly() {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        TForm3 f;
        f.show();
        QTest::mouseClick(f.CheckBox4, Qt::LeftButton);  // Enlarge enables the factor fields
        QTest::mouseClick(f.CheckBox6, Qt::LeftButton);
        auto* edit = f.findChild<QLineEdit*>(field);
        edit->clear();
        QTest::keyClicks(edit, typed);
        QCOMPARE(edit->text(), kept);
    }

    void printerFailuresSayWhy_data() {
        QTest::addColumn<bool>("folderInTheWay");  // a folder where the file should go
        QTest::addColumn<bool>("spoolerRefuses");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("why");
        QTest::newRow("missing folder") << false << false << "missing/print.pdf" << "No such file or directory";
        QTest::newRow("folder in the way") << true << false << "print.pdf" << "Is a directory";
        QTest::newRow("spooler refuses") << false << true << "print.pdf" << "the printer reported an error";
    }
    void printerFailuresSayWhy() {
        QFETCH(bool, folderInTheWay);
        QFETCH(bool, spoolerRefuses);
        QFETCH(QString, file);
        QFETCH(QString, why);
        QTemporaryDir out;
        const QString path = out.filePath(file);
        if (folderInTheWay) QVERIFY(QDir(out.path()).mkdir(file));
        std::unique_ptr<QPrinter> printer;
        if (spoolerRefuses) {
            printer = std::make_unique<RefusingPrinter>(path);
        } else {
            printer = std::make_unique<QPrinter>();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(path);
        }
        QImage picture(8, 8, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        QCOMPARE(printPage(*printer, picture, QRect(10, 10, 8, 8)), QString(kPrintFailed).arg(path, why));
    }

    void printsThePictureWhereTheOptionsPutIt() {
        if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) QSKIP("pdftoppm (poppler-utils) is not installed");
        cwtest::ScriptedMessages messages;
        Chromawell app({.services = {&messages, nullptr, [] { return QSize(1280, 1024); }}, .splash = false});
        TForm1& f = app.form1();
        QSignalSpy started(&f, &TForm1::started);
        f.show();
        QVERIFY(started.wait(5000));
        f.loadPath(cwtest::testdata("photos/camera-24.bmp"));
        QVERIFY(f.Form2());
        f.Form2()->PopupMenu2->hide();

        QTemporaryDir out;
        const QString pdf = out.path() + "/print.pdf";
        QPrinter& printer = app.form3().printer();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        printer.setResolution(100);
        printer.setFullPage(true);
        TForm3& options = app.form3();
        options.MaskEdit1->setText(" 100");
        options.MaskEdit2->setText("  50");

        whenModal([&](QWidget* modal) {
            QCOMPARE(modal, static_cast<QWidget*>(&options));
            QTest::mouseClick(options.Button2, Qt::LeftButton);
        });
        QTest::mouseClick(f.ExplorerButton4, Qt::LeftButton);
        QVERIFY2(messages.shown.empty(), messages.shown.empty() ? "" : messages.shown[0].c_str());
        QCOMPARE(printer.docName(), QString("Tintcraft: Image# 1 of 1"));
        QVERIFY(QFileInfo(pdf).size() > 1000);

        QProcess render;
        render.start("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, out.path() + "/page"});
        QVERIFY(render.waitForFinished(30000));
        QImage page(out.path() + "/page.png");
        QVERIFY(!page.isNull());
        // Paper is white outside the picture; inside it shows the photo.
        QCOMPARE(QColor(page.pixel(60, 30)), QColor(Qt::white));
        const Workspace& ws = *f.session().ws;
        int close = 0;
        for (int y = 20; y < 500; y += 37)
            for (int x = 20; x < 500; x += 41) {
                const int printed = qGray(page.pixel(100 + x, 50 + y));
                close += std::abs(printed - int(blueOf(ws.display.at(x, y)))) <= 24;
            }
        QVERIFY2(close >= 140, qPrintable(QString("only %1 of 156 samples match").arg(close)));
        QCOMPARE(QColor(page.pixel(100 + 530, 50 + 200)), QColor(Qt::white));

        // A field with no digits starts no job and says why.
        options.MaskEdit2->setText("    ");
        QFile::remove(pdf);
        whenModal([&](QWidget*) { QTest::mouseClick(options.Button2, Qt::LeftButton); });
        QTest::mouseClick(f.ExplorerButton4, Qt::LeftButton);
        QCOMPARE(messages.shown, std::vector<std::string>{"'    ' is not a valid integer value"});
        QVERIFY(!QFile::exists(pdf));

        // The printer's own failure reaches the error box.
        printer.setOutputFileName(out.filePath("missing/print.pdf"));
        options.MaskEdit2->setText("0");
        messages.shown.clear();
        whenModal([&](QWidget*) { QTest::mouseClick(options.Button2, Qt::LeftButton); });
        QTest::mouseClick(f.ExplorerButton4, Qt::LeftButton);
        QCOMPARE(messages.shown, std::vector<std::string>{QString(kPrintFailed)
                                                              .arg(out.filePath("missing/print.pdf"),
                                                                   "No such file or directory")
                                                              .toStdString()});
        printer.setOutputFileName(pdf);

        // Abort in the options prints nothing.
        options.MaskEdit2->setText("0");
        whenModal([&](QWidget*) { QTest::mouseClick(options.Button3, Qt::LeftButton); });
        QTest::mouseClick(f.ExplorerButton4, Qt::LeftButton);
        QVERIFY(!QFile::exists(pdf));
    }
};

QTEST_MAIN(TestPrint)
#include "test_print.moc"
