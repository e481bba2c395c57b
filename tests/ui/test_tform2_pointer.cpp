// Real mouse events on the image window reach the core's gesture handlers in
// the order press, moves, click, release.
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform10.h"
#include "ui/tform2.h"

using namespace cw;

namespace {

class Recorder : public PaintRoutines {
public:
    QStringList calls;
    void colourWinI(Document& s) override { calls << QString("ColourWinI %1").arg(rect(s.ws->toolRect)); }
    void selPaint(Document& s) override { calls << QString("SelPaint %1").arg(rect(s.ws->selectionRect)); }
    void touchPaintIOY(Document&, int32_t x, int32_t y, int32_t c) override {
        calls << QString("TouchPaintIOY %1 %2 %3").arg(x).arg(y).arg(c);
    }
    static QString rect(const Rect& r) { return QString("%1,%2,%3,%4").arg(r.x1).arg(r.y1).arg(r.x2).arg(r.y2); }
};

} // namespace

class TestTForm2Pointer : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    std::unique_ptr<Chromawell> app;
    Recorder* recorder = nullptr;
    PictureView* view = nullptr;

    Session& session() { return app->form1().session(); }

private slots:
    void initTestCase() {
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        recordAgreementAccepted();
    }
    void init() {
        app = std::make_unique<Chromawell>(
            ChromawellOptions{.services = {nullptr, nullptr, [] { return QSize(1280, 1024); }}, .splash = false});
        TForm1& f = app->form1();
        f.resize(1200, 900);
        QSignalSpy started(&f, &TForm1::started);
        f.show();
        QVERIFY(started.wait(5000));
        f.loadPath(cwtest::testdata("photos/camera-24.bmp"));
        QVERIFY(f.Form2());
        // The set-up opens the palette menu for a first choice; dismiss it.
        QMenu* menu = f.Form2()->PopupMenu2;
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTRY_VERIFY(!menu->isVisible());
        auto r = std::make_unique<Recorder>();
        recorder = r.get();
        session().routines = std::move(r);
        view = f.Form2()->Image1;
        QVERIFY(QTest::qWaitForWindowExposed(f.Form2()));
    }
    void cleanup() { app.reset(); }

    void eachToolSetsBothCursorsAndKeepsComplexity_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<bool>("integration");
        QTest::newRow("rectangle") << "SpeedButton4" << int(Qt::OpenHandCursor) << false;
        QTest::newRow("brush") << "SpeedButton1" << int(Qt::CrossCursor) << false;
        QTest::newRow("selection-paint") << "SpeedButton3" << int(Qt::OpenHandCursor) << false;
        QTest::newRow("touch-paint") << "SpeedButton2" << int(Qt::PointingHandCursor) << true;
    }
    void eachToolSetsBothCursorsAndKeepsComplexity() {
        QFETCH(QString, button);
        QFETCH(int, cursor);
        QFETCH(bool, integration);
        TForm1& f = app->form1();
        // The zoomed view (of the whole picture) opens under a tool with
        // another cursor, so that every row changes both cursors.
        (cursor == Qt::CrossCursor ? f.SpeedButton2 : f.SpeedButton1)->click();
        QTest::mouseClick(f.Form2()->Button1, Qt::LeftButton);
        QVERIFY(f.Form10()->isVisible());
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QRect toolButton = f.SpeedButton2->geometry();
        f.findChild<QToolButton*>(button)->click();
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(f.SpeedButton2->geometry(), toolButton);  // the buttons stay under the pointer
        QCOMPARE(int(view->cursor().shape()), cursor);
        QCOMPARE(int(f.Form10()->Image1->cursor().shape()), cursor);
        QVERIFY(f.SpinEdit1->isVisible() && f.SpinEdit1->isEnabled());
        QCOMPARE(f.SpinEdit2->isVisible(), integration);
        QCOMPARE(f.RadioGroup2->isVisible(), integration);
    }

    void selectionDragDirections() {
        app->form1().SpeedButton4->click();
        QCOMPARE(session().tools.currentTool, 4);
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(50, 40));
        QTest::mouseMove(view, QPoint(10, 90));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(10, 90));
        QVERIFY(!session().ws->selectionActive);
        QCOMPARE(app->form1().Form2()->Button2->text(), QString("Zer&o-set"));

        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 40));
        QTest::mouseMove(view, QPoint(30, 60));
        QTest::mouseMove(view, QPoint(50, 90));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 90));
        QVERIFY(session().ws->selectionActive);
        QCOMPARE(session().pointer.paintLimitRect, (Rect{10, 40, 50, 90}));
        QCOMPARE(app->form1().Form2()->Button2->text(), QString("Cr&op"));
        // The band shows on screen: the widget paints the complemented outline.
        const QImage shown = view->grab(QRect(0, 0, 100, 100)).toImage();
        QCOMPARE(shown.pixel(10, 60) & 0xffffffu, (session().ws->colour.at(10, 60) ^ 0xffffffu) & 0xffffffu);
    }

    void brushAtTheBorderAndReadOuts() {
        app->form1().SpeedButton1->click();
        // (QTest takes the point (0, 0) for "the widget's centre", so start one in.)
        QTest::mouseMove(view, QPoint(1, 1));
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(1, 1));
        QTest::mouseMove(view, QPoint(2, 1));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(2, 1));
        QCOMPARE(recorder->calls, (QStringList{"ColourWinI 0,0,11,11", "ColourWinI 0,0,12,11"}));
        QTest::mouseMove(view, QPoint(120, 7));
        QCOMPARE(app->form1().Form2()->Label1->text(), QString(" x:120  y:7 "));
        const uint32_t c = session().ws->display.at(120, 7);
        QCOMPARE(app->form1().Form2()->Label3->text(),
                 QString(" R:%1 G:%2 B:%3 ").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c)));
    }

    void rightClickPicksTheCodeAndAskForTheMenu() {
        session().ws->codes[20 * 512 + 30] = 6;
        QSignalSpy menu(app->form1().Form2(), &TForm2::paletteMenuRequested);
        QTest::mouseMove(view, QPoint(30, 20));
        QTest::mouseClick(view, Qt::RightButton, {}, QPoint(30, 20));
        QCOMPARE(session().palette.paletteCode, 6);
        QCOMPARE(menu.count(), 1);
        QVERIFY(recorder->calls.isEmpty());
    }

    void touchPaintOnlyWhenReleasedOverThePicture() {
        app->form1().SpeedButton2->click();
        session().palette.paletteCode = 6;
        QTest::mouseMove(view, QPoint(40, 50));
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(40, 50));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(600, 50));  // outside the 512-wide picture
        QVERIFY(recorder->calls.isEmpty());
        QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(40, 50));
        QCOMPARE(recorder->calls, QStringList{"TouchPaintIOY 40 50 6"});
    }

    void everyZoomedViewStartsFresh_data() {
        QTest::addColumn<bool>("clearFirst");  // Clear Image and load again before the next Zoom
        QTest::newRow("another Zoom") << false;
        QTest::newRow("Clear Image, load, Zoom") << true;
    }
    void everyZoomedViewStartsFresh() {
        QFETCH(bool, clearFirst);
        TForm1& f = app->form1();
        f.SpeedButton4->click();
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(view, QPoint(50, 30));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 30));
        QTest::mouseClick(f.Form2()->Button1, Qt::LeftButton);
        TForm10* zoomed = f.Form10();
        QVERIFY(zoomed->isVisible());
        QTest::mouseClick(zoomed->AutoSyncOff, Qt::LeftButton);
        QVERIFY(!session().zoom.autoSync);
        // Two moves: one to the same place as the last would not be delivered.
        QTest::mouseMove(zoomed->Image1, QPoint(20, 8));
        QTest::mouseMove(zoomed->Image1, QPoint(30, 12));
        QCOMPARE(zoomed->Label1->text(), QString(" x:30  y:12 "));

        if (clearFirst) {
            QTest::mouseClick(f.ExplorerButton1, Qt::LeftButton);
            QVERIFY(!session().imageWindowOpen);
            QVERIFY(!zoomed->isVisible());
            QVERIFY(!session().zoom.exists);
            QCOMPARE(session().zoom.sourceRect, Rect{});
            f.loadPath(cwtest::testdata("photos/camera-24.bmp"));
            QVERIFY(f.Form2());
            f.Form2()->PopupMenu2->hide();
        }
        // Without a selection the next Zoom shows the whole 512 x 512 picture.
        QTest::mouseClick(f.Form2()->Button1, Qt::LeftButton);
        QVERIFY(zoomed->isVisible());
        QVERIFY(session().zoom.autoSync && zoomed->AutoSyncOn->isChecked());
        QCOMPARE(session().zoom.sourceRect, (Rect{1, 1, 510, 510}));
        QVERIFY(zoomed->Label1->text().isEmpty());
    }

    void paintingThroughTheZoomedView() {
        TForm1& f = app->form1();
        TForm2* image = f.Form2();
        f.SpeedButton4->click();
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(view, QPoint(50, 30));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(50, 30));
        image->SpinEdit7->setValue(3);
        QTest::mouseClick(image->Button1, Qt::LeftButton);
        TForm10* zoomed = f.Form10();
        QVERIFY(zoomed && zoomed->isVisible());
        QCOMPARE(zoomed->windowTitle(), QString("\"3X\" Zoom`ed View"));
        QCOMPARE(zoomed->Image1->size(), QSize(117, 57));
        QCOMPARE(zoomed->Label2->text(), QString(" w:117  h:57 "));
        // Each picture pixel shows as a 3 x 3 block.
        const QImage shown = zoomed->Image1->grab().toImage();
        QCOMPARE(shown.pixel(4, 7) | 0xff000000u, session().ws->display.at(11 + 1, 11 + 2));

        f.SpeedButton1->click();
        QTest::mouseMove(zoomed->Image1, QPoint(30, 12));
        QTest::mousePress(zoomed->Image1, Qt::LeftButton, {}, QPoint(30, 12));
        QTest::mouseMove(zoomed->Image1, QPoint(33, 12));
        QTest::mouseRelease(zoomed->Image1, Qt::LeftButton, {}, QPoint(33, 12));
        // View (30, 12) is picture (21, 15); the brush window is built around it.
        QCOMPARE(recorder->calls, (QStringList{"ColourWinI 12,6,31,25", "ColourWinI 12,5,32,25"}));
        QCOMPARE(zoomed->Label1->text(), QString(" x:33  y:12 "));

        zoomed->resize(100, 50);
        QVERIFY(zoomed->width() >= 170 && zoomed->height() >= 100);
    }
};

QTEST_MAIN(TestTForm2Pointer)
#include "test_tform2_pointer.moc"
