// Choosing a tool on the main window's bar, and real mouse events on the
// image window and the zoomed view reaching the paint routines where they
// point, in the order press, moves, click, release.

#include "tools/tool_registry.h"
#include "ui/tform10.h"
#include "ui/tools_qt.h"
#include "ui_rig.h"

using namespace cw;

Q_DECLARE_METATYPE(const cw::Tool*)

namespace {

struct Recorder : PaintRoutines {
    QStringList calls;
    void colourWinI(Document& s) override {
        const Rect& r = s.ws->toolRect;
        calls << QString("ColourWinI %1,%2,%3,%4").arg(r.x1).arg(r.y1).arg(r.x2).arg(r.y2);
    }
    void touchPaintIOY(Document&, int32_t x, int32_t y, int32_t c) override { calls << QString("TouchPaintIOY %1 %2 %3").arg(x).arg(y).arg(c); }
};

void drag(QWidget* view, std::initializer_list<QPoint> path) {
    QTest::mouseMove(view, *path.begin());
    QTest::mousePress(view, Qt::LeftButton, {}, *path.begin());
    for (auto p = path.begin() + 1; p != path.end(); ++p) QTest::mouseMove(view, *p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, *(path.end() - 1));
}

QToolButton* button(TForm1& f, const Tool* t) { return f.findChild<QToolButton*>(QString("SpeedButton%1").arg(t->id())); }

} // namespace

class TestToolsAndPointer : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    std::unique_ptr<uitest::App> app;
    Recorder* recorder = nullptr;
    PictureView* view = nullptr;

    TForm1& f() { return app->f; }
    Session& session() { return app->s(); }

private slots:
    void initTestCase() { uitest::privateHome(home); }
    void init() {
        app = std::make_unique<uitest::App>("photos/camera-24.bmp");
        session().routines = std::make_unique<Recorder>();
        recorder = static_cast<Recorder*>(session().routines.get());
        view = f().Form2()->Image1;
        QVERIFY(QTest::qWaitForWindowExposed(f().Form2()));
    }
    void cleanup() { app.reset(); }

    void eachButtonShowsItsTool_data() {
        QTest::addColumn<const Tool*>("tool");
        QTest::addColumn<bool>("overwriteBefore");
        QTest::addColumn<bool>("layeredBefore");
        for (const Tool* tool : toolBar())
            for (int state = 0; state < 4; ++state)
                QTest::addRow("%s, overwrite %d, layered %d", std::string(tool->name()).c_str(), state & 1, state >> 1)
                    << tool << bool(state & 1) << bool(state & 2);
    }
    void eachButtonShowsItsTool() {
        QFETCH(const Tool*, tool);
        QFETCH(bool, overwriteBefore);
        QFETCH(bool, layeredBefore);
        // The bar holds the tools in order, each with its hint.
        QList<QToolButton*> bar;
        for (QToolButton* b : f().Panel1->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
            if (b->isCheckable()) bar << b;
        std::sort(bar.begin(), bar.end(), [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
        QCOMPARE(size_t(bar.size()), toolBar().size());
        for (size_t i = 0; i < toolBar().size(); ++i) {
            QCOMPARE(bar[qsizetype(i)], button(f(), toolBar()[i]));
            QCOMPARE(bar[qsizetype(i)]->toolTip(), QString(toolBar()[i]->hint()));
        }
        // From a tool with another pointer shape, with the zoomed view open.
        for (const Tool* other : toolBar())
            if (other->cursor() != tool->cursor()) {
                button(f(), other)->click();
                break;
            }
        QTest::mouseClick(f().Form2()->Button1, Qt::LeftButton);
        QVERIFY(f().Form10()->isVisible());
        session().tools.overwrite = overwriteBefore, session().tools.layered = layeredBefore;
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QRect where = f().SpeedButton2->geometry();

        QTest::mouseClick(button(f(), tool), Qt::LeftButton);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(f().SpeedButton2->geometry(), where);  // the buttons stay under the pointer
        QVERIFY(button(f(), tool)->isChecked());
        QCOMPARE(session().tools.currentTool, tool->id());
        const ToolGroups g = tool->groups();
        QCOMPARE((QList<bool>{!f().OverwriteGroup->isHidden(), f().OverwriteGroup->isEnabled(),
                              !f().IntegrationGroup->isHidden(), f().IntegrationGroup->isEnabled(),
                              !f().Panel8->isHidden(), f().Panel8->isEnabled()}),
                 (QList<bool>{g.overwriteShown, g.overwriteShown, g.integrationShown, g.integrationShown,
                              g.brushShown, g.brushShown}));
        QVERIFY(f().SpinEdit1->isVisible() && f().SpinEdit1->isEnabled());  // Complexity stays
        bool overwrite = overwriteBefore, layered = layeredBefore;
        if (tool->switchesOnSelect() != SwitchesOnSelect::Kept)
            overwrite = layered = tool->switchesOnSelect() == SwitchesOnSelect::Checked;
        QCOMPARE(f().CheckBox8->isChecked(), overwrite);
        QCOMPARE(f().CheckBox10->isChecked(), layered);
        QCOMPARE(f().Image1->toolTip(), QString(tool->hint()));
        QCOMPARE(f().Image1->pixmap().toImage(), toolIcon(tool->glyph()).pixmap(24, 24).toImage());
        QCOMPARE(view->cursor().shape(), toolCursorShape(tool->cursor()));
        QCOMPARE(f().Form10()->Image1->cursor().shape(), toolCursorShape(tool->cursor()));
    }

    void selectionOnlyFromTopLeftShowsItsBand() {
        f().SpeedButton4->click();
        drag(view, {QPoint(50, 40), QPoint(10, 90)});
        QVERIFY(!session().ws->selectionActive);
        QCOMPARE(f().Form2()->Button2->text(), QString("Zer&o-set"));
        drag(view, {QPoint(10, 40), QPoint(30, 60), QPoint(50, 90)});
        QVERIFY(session().ws->selectionActive);
        QCOMPARE(session().pointer.paintLimitRect, (Rect{10, 40, 50, 90}));
        QCOMPARE(f().Form2()->Button2->text(), QString("Cr&op"));
        // The widget paints the complemented outline.
        const QImage shown = view->grab(QRect(0, 0, 100, 100)).toImage();
        QCOMPARE(shown.pixel(10, 60) & 0xffffffu, (session().ws->colour.at(10, 60) ^ 0xffffffu) & 0xffffffu);
    }

    void brushRightClickAndTouchPaintReachTheRoutines() {
        f().SpeedButton1->click();
        // (QTest takes the point (0, 0) for "the widget's centre", so start one in.)
        drag(view, {QPoint(1, 1), QPoint(2, 1)});
        QCOMPARE(recorder->calls, (QStringList{"ColourWinI 0,0,11,11", "ColourWinI 0,0,12,11"}));
        QTest::mouseMove(view, QPoint(120, 7));
        QCOMPARE(f().Form2()->Label1->text(), QString(" x:120  y:7 "));
        const uint32_t c = session().ws->display.at(120, 7);
        QCOMPARE(f().Form2()->Label3->text(), QString(" R:%1 G:%2 B:%3 ").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c)));

        // A right click picks the code under the pointer and asks for the menu, painting nothing.
        recorder->calls.clear();
        session().ws->codes[20 * 512 + 30] = 6;
        QSignalSpy menu(f().Form2(), &TForm2::paletteMenuRequested);
        QTest::mouseMove(view, QPoint(30, 20));
        QTest::mouseClick(view, Qt::RightButton, {}, QPoint(30, 20));
        QCOMPARE(session().palette.paletteCode, 6);
        QCOMPARE(menu.count(), 1);
        QVERIFY(recorder->calls.isEmpty());
        f().Form2()->PopupMenu2->hide();

        // Touch-paint only when released over the 512-wide picture.
        f().SpeedButton2->click();
        QTest::mouseMove(view, QPoint(40, 50));
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(40, 50));
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(512, 50));
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
        f().SpeedButton4->click();
        drag(view, {QPoint(10, 10), QPoint(50, 30)});
        f().Form2()->SpinEdit7->setValue(3);
        QTest::mouseClick(f().Form2()->Button1, Qt::LeftButton);
        TForm10* zoomed = f().Form10();
        QVERIFY(zoomed->isVisible());
        QCOMPARE(zoomed->windowTitle(), QString("\"3X\" Zoom`ed View"));
        QCOMPARE(zoomed->Image1->size(), QSize(117, 57));
        // Each picture pixel shows as a 3 x 3 block.
        QCOMPARE(zoomed->Image1->grab().toImage().pixel(4, 7) | 0xff000000u, session().ws->display.at(12, 13));
        QTest::mouseClick(zoomed->AutoSyncOff, Qt::LeftButton);
        QVERIFY(!session().zoom.autoSync);

        // The brush through the zoomed view: view (30, 12) is picture (21, 15).
        f().SpeedButton1->click();
        drag(zoomed->Image1, {QPoint(30, 12), QPoint(33, 12)});
        QCOMPARE(recorder->calls, (QStringList{"ColourWinI 12,6,31,25", "ColourWinI 12,5,32,25"}));
        QCOMPARE(zoomed->Label1->text(), QString(" x:33  y:12 "));
        zoomed->resize(100, 50);
        QVERIFY(zoomed->width() >= 170 && zoomed->height() >= 100);

        if (clearFirst) {
            QTest::mouseClick(f().ExplorerButton1, Qt::LeftButton);
            QVERIFY(!session().imageWindowOpen && !zoomed->isVisible() && !session().zoom.exists);
            QCOMPARE(session().zoom.sourceRect, Rect{});
            f().loadPath(cwtest::testdata("photos/camera-24.bmp"));
            QVERIFY(f().Form2());
            f().Form2()->PopupMenu2->hide();
        }
        // Without a selection the next Zoom shows the whole 512 x 512 picture.
        QTest::mouseClick(f().Form2()->Button1, Qt::LeftButton);
        QVERIFY(zoomed->isVisible());
        QVERIFY(session().zoom.autoSync && zoomed->AutoSyncOn->isChecked());
        QCOMPARE(session().zoom.sourceRect, (Rect{1, 1, 510, 510}));
        QVERIFY(zoomed->Label1->text().isEmpty());
    }
};

QTEST_MAIN(TestToolsAndPointer)
#include "test_tools_and_pointer.moc"
