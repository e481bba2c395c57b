// Load Image, Clear Image, Restore and SaveAs through the real main window.
#include <QCheckBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "actions/picture_files.h"
#include "codecs/bmp_reader.h"
#include "platform/scratch_location_qt.h"
#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform2.h"
#include "ui/tform7.h"

using namespace cw;

class TestTForm1Files : public QObject {
    Q_OBJECT
    QTemporaryDir home;

    struct Window {
        cwtest::ScriptedMessages messages;
        cwtest::ScriptedDialogs dialogs;
        Chromawell app{{.services = {&messages, &dialogs, [] { return QSize(1280, 800); }}, .splash = false}};
        TForm1& form = app.form1();
        Window() {
            form.resize(1024, 700);
            QSignalSpy started(&form, &TForm1::started);
            form.show();
            started.wait(5000);
        }
        int subWindows() {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return int(form.MdiArea->subWindowList().size());
        }
    };

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        setApplicationIdentity();
        recordAgreementAccepted();  // not the first run
    }

    void loadShowsThePictureAndClearCloses() {
        Window w;
        const std::string jpeg = cwtest::testdata("photos/coffee.jpg");
        w.dialogs.opens.push_back({jpeg});
        QTest::mouseClick(w.form.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(w.subWindows(), 1);
        QVERIFY(w.messages.shown.empty());
        const QString scratch = home.path() + "/chromawell/temp/wkf.bmp";
        QVERIFY(QFile::exists(scratch));
        QCOMPARE(w.form.Form2()->windowTitle(), scratch);
        QCOMPARE(w.form.ExplorerButton1->text(), QString("Clear Image"));
        QCOMPARE(w.form.Label2->text(), QString(" w:512  h:341 "));
        QVERIFY(w.form.Panel1->isEnabled());
        QVERIFY(w.form.isEnabled());
        QVERIFY(!w.form.Form7()->isVisible());
        QVERIFY(w.form.Form7()->Button1->isVisibleTo(w.form.Form7()));

        // What the window paints is the workspace's displayed picture.
        PictureView* view = w.form.Form2()->Image1;
        QCOMPARE(view->size(), QSize(512, 341));
        const QImage shown = view->grab(QRect(0, 0, 64, 64)).toImage();
        const Workspace& ws = *w.form.session().ws;
        for (int y = 0; y < 64; y += 9)
            for (int x = 0; x < 64; x += 7) QCOMPARE(shown.pixel(x, y) | 0xff000000u, ws.display.at(x, y));

        QTest::mouseClick(w.form.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(w.subWindows(), 0);
        QCOMPARE(w.form.ExplorerButton1->text(), QString("Load Image"));
        QVERIFY(!w.form.Panel1->isEnabled());
        QVERIFY(!w.form.session().ws);
        QCOMPARE(w.dialogs.asked.size(), size_t(1));
    }

    void closingTheImageWindowFromItsFrameEndsThePicture() {
        Window w;
        w.form.loadPath(cwtest::testdata("photos/camera.bmp"));
        QCOMPARE(w.subWindows(), 1);
        QVERIFY2(w.dialogs.asked.empty(), "a command-line picture needs no dialog");
        w.form.MdiArea->subWindowList().front()->close();
        QCOMPARE(w.subWindows(), 0);
        QCOMPARE(w.form.ExplorerButton1->text(), QString("Load Image"));
        QVERIFY(!w.form.session().imageWindowOpen);
        // Restore and SaveAs do nothing now.
        QTest::mouseClick(w.form.ExplorerButton3, Qt::LeftButton);
        QTest::mouseClick(w.form.ExplorerButton5, Qt::LeftButton);
        QVERIFY(w.dialogs.asked.empty());
    }

    void damagedFilesLeaveNoWindowAndAUsableProgram_data() {
        QTest::addColumn<QString>("file");
        for (const char* f : {"bad/truncated-half.bmp", "bad/huge-both.bmp", "bad/corrupt-huffman.jpg",
                              "bad/png-named.jpg", "bad/rle8-overrun.bmp", "bad/empty.bmp"})
            QTest::newRow(f) << QString(f);
    }
    void damagedFilesLeaveNoWindowAndAUsableProgram() {
        QFETCH(QString, file);
        Window w;
        w.dialogs.opens.push_back({cwtest::testdata(file.toStdString())});
        QTest::mouseClick(w.form.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QCOMPARE(QString::fromStdString(w.messages.shown[0]), QString(kInvalidImageMessage));
        QCOMPARE(w.subWindows(), 0);
        QVERIFY(w.form.isEnabled());
        QVERIFY(!w.form.Form7()->isVisible());
        QCOMPARE(w.form.ExplorerButton1->text(), QString("Load Image"));
        w.dialogs.opens.push_back({cwtest::testdata("bmp/rgb24.bmp")});
        QTest::mouseClick(w.form.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(w.subWindows(), 1);
    }

    void forceGrayAndSaveAs() {
        Window w;
        QTest::mouseClick(w.form.CheckBox1, Qt::LeftButton);
        QVERIFY(w.form.session().controls.forceGray);
        w.form.loadPath(cwtest::testdata("photos/astronaut.jpg"));
        QVERIFY(!w.form.CheckBox1->isChecked());
        QVERIFY(!w.form.session().controls.forceGray);

        QTemporaryDir out;
        const std::string target = (out.path() + "/saved.bmp").toStdString();
        w.dialogs.saves.push_back(target);
        QTest::mouseClick(w.form.ExplorerButton5, Qt::LeftButton);
        const Bitmap saved = readBmp(target);
        QCOMPARE(saved.width(), 512);
        for (size_t i = 0; i < saved.pixelCount(); i += 997) {
            const uint32_t c = saved.data()[i];
            QVERIFY(redOf(c) == greenOf(c) && greenOf(c) == blueOf(c));
        }
        QCOMPARE(w.dialogs.asked.back().title, std::string(kSaveTitle));
        QCOMPARE(w.subWindows(), 1);
    }
};

QTEST_MAIN(TestTForm1Files)
#include "test_tform1_files.moc"
