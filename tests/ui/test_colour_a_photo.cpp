// A user's picture through the real windows: load it, choose a palette from
// the menu the catalogue builds, pick a tool, Touch-paint the sky, undo and
// redo, save and read back what was written; the pointer's gestures on the
// image window and the zoomed view; damaged files, Clear Image, closing.
#include "actions/picture_files.h"
#include "codecs/bmp_reader.h"
#include "codecs/jpeg_decoder.h"
#include "core/catalogue.h"
#include "core/palette_networks.h"
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

class TestColourAPhoto : public QObject {
    Q_OBJECT
    QTemporaryDir home;

    static int subWindows(TForm1& f) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return int(f.MdiArea->subWindowList().size());
    }
    static QString str(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
    // The gesture tests' window: its paint routines only record where they were sent.
    std::unique_ptr<uitest::App> app;
    Recorder* recorder = nullptr;
    PictureView* view = nullptr;
    TForm1& f() { return app->f; }
    Session& session() { return app->s(); }
    void paintingWindow() {
        app = std::make_unique<uitest::App>("photos/camera-24.bmp");
        session().routines = std::make_unique<Recorder>();
        recorder = static_cast<Recorder*>(session().routines.get());
        view = f().Form2()->Image1;
        QVERIFY(QTest::qWaitForWindowExposed(f().Form2()));
    }

private slots:
    void initTestCase() { uitest::privateHome(home); }
    void cleanup() { app.reset(); }

    void skyBlueTouchPaintUndoAndSave() {
        uitest::App a;
        TForm1& f = a.f;
        const std::string photo = cwtest::testdata("photos/camera.jpg");
        a.dialogs.opens.push_back({photo});
        QTest::mouseClick(f.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(subWindows(f), 1);
        TForm2* image = f.Form2();
        QCOMPARE(image->windowTitle(), home.path() + "/chromawell/temp/wkf.bmp");
        QCOMPARE(f.Label2->text(), QString(" w:512  h:512 "));
        QVERIFY(f.Panel1->isEnabled() && f.isEnabled() && !f.Form7()->isVisible());
        // The set-up offers the palette menu; S&ky opens its submenu, whose
        // first item, "Sky Blue", is taken with Return.
        QMenu* menu = image->PopupMenu2;
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(menu->pos(), QPoint(256, 256));
        QTest::keyClick(menu, Qt::Key_Y);
        QMenu* sky = nullptr;
        for (QMenu* m : menu->findChildren<QMenu*>()) sky = QString(m->title()).remove('&') == "Sky" ? m : sky;
        QVERIFY(sky);
        QTRY_VERIFY(sky->isVisible());
        QTest::keyClick(sky, Qt::Key_Return);
        QTRY_VERIFY(!menu->isVisible());
        QVERIFY(a.s().palette.paletteCode == 6 && f.Label24->text() == "Sky: Blue");
        QTest::mouseClick(f.SpeedButton2, Qt::LeftButton);  // Magic Touch-paint, image-wide, layered
        QVERIFY(f.ScopeGlobal->isChecked() && a.s().tools.layered);
        QVERIFY(QTest::qWaitForWindowExposed(image));
        const QPoint seed(100, 30);  // open sky above the skyline
        // The pointer reaches the seed before the click, as a real mouse's does.
        QTest::mouseMove(image->Image1, seed);
        QTRY_COMPARE(a.ws().pointerX, seed.x());
        QTest::mouseClick(image->Image1, Qt::LeftButton, {}, seed);
        // What the window paints is the displayed picture.
        const QImage shown = image->Image1->grab(QRect(0, 0, 128, 64)).toImage();
        for (int y = 0; y < 64; y += 9)
            for (int x = 0; x < 128; x += 7) QCOMPARE(shown.pixel(x, y) | 0xff000000u, a.ws().display.at(x, y));

        // Un-do swaps the painting out and back in.
        const Bitmap painted = a.ws().display.clone(), source = decodeJpegFile(photo);
        QVERIFY(image->Button4->isEnabled());
        QTest::mouseClick(image->Button4, Qt::LeftButton);
        QVERIFY(cwtest::samePixels(a.ws().display, source));
        QTest::mouseClick(image->Button4, Qt::LeftButton);
        QVERIFY(cwtest::samePixels(a.ws().display, painted));
        QTemporaryDir out;
        const std::string target = (out.path() + "/sky.bmp").toStdString();
        a.dialogs.saves.push_back(target);
        QTest::mouseClick(f.ExplorerButton5, Qt::LeftButton);
        QCOMPARE(a.dialogs.asked.back().title, std::string(kSaveTitle));
        // The tone band around the seed's bucket, at the default Complexity 16
        // and Integration 52: buckets within 52 of the seed's, whole buckets,
        // the palette colour mixed with weight 1 against the strength.
        const Bitmap saved = readBmp(target);
        QVERIFY(saved.width() == source.width() && saved.height() == source.height());
        auto grayAt = [&](size_t i) { return int32_t(grayOf(channelsOf(source.data()[i]))); };
        const int32_t q = grayAt(size_t(seed.y()) * size_t(source.width()) + size_t(seed.x())) / 16 * 16;
        const int32_t lo = std::max(0, q - 48), hi = std::min(255, q + 63), k = a.s().palette.blendStrength;
        size_t blue = 0;
        for (size_t i = 0; i < saved.pixelCount(); ++i) {
            const uint32_t was = source.data()[i];
            uint32_t expect = was;
            if (grayAt(i) >= lo && grayAt(i) <= hi) {
                const Rgb c = paletteColourDirect(6, was, was, 0).value().rgb, p = channelsOf(was);
                auto mix = [k](int32_t v, int32_t w) { return uint32_t((w * k + std::clamp(v, 0, 255)) / (k + 1)); };
                expect = rgb(mix(c.r, p.r), mix(c.g, p.g), mix(c.b, p.b));
                ++blue;
            }
            if (saved.data()[i] != expect)
                QFAIL(qPrintable(QString("pixel %1 of gray %2 is %3 not %4").arg(i).arg(grayAt(i)).arg(saved.data()[i], 0, 16).arg(expect, 0, 16)));
        }
        QVERIFY2(blue > saved.pixelCount() / 10 && blue < saved.pixelCount(), "the band holds the sky, not the coat");
        // Clear Image closes the picture; Restore and Save then do nothing.
        QTest::mouseClick(f.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(subWindows(f), 0);
        QVERIFY(f.ExplorerButton1->text() == "Load Image" && !f.Panel1->isEnabled() && !a.s().ws);
        const size_t asked = a.dialogs.asked.size();
        QTest::mouseClick(f.ExplorerButton3, Qt::LeftButton);
        QTest::mouseClick(f.ExplorerButton5, Qt::LeftButton);
        QCOMPARE(a.dialogs.asked.size(), asked);
    }

    void menuFollowsTheCatalogueAndSetsTheSelection() {
        uitest::App a("photos/camera-24.bmp");
        TForm2* image = a.f.Form2();
        QMenu* menu = image->PopupMenu2;
        QStringList want, got;  // the menu as the catalogue lays it out: submenus, items, defaults in bold
        for (const PaletteSubmenu& sub : paletteSubmenus()) {
            if (!sub.caption.empty()) want << str(sub.caption) + " >";
            for (const PaletteMenuItem& item : sub.items) want << str(item.caption) + (item.isDefault ? " (bold)" : "");
        }
        std::function<void(QMenu*)> walk = [&](QMenu* m) {
            for (QAction* act : m->actions())
                if (act->menu()) got << act->text() + " >", walk(act->menu());
                else got << act->text() + (act->font().bold() ? " (bold)" : "");
        };
        walk(menu);
        QCOMPARE(got, want);
        // A cancelled colour dialog changes nothing; a confirmed one selects Custom.
        const Session& s = a.s();
        menu->findChild<QAction*>("SkyBlue1")->trigger();
        QCOMPARE((std::pair{s.palette.paletteCode, s.palette.markerColour}), (std::pair{6, 0x808000}));
        menu->findChild<QAction*>("PickColour1")->trigger();
        QVERIFY(a.dialogs.colourAsked == 1 && a.f.Label24->text() == "Sky: Blue");
        a.dialogs.colour = 0x123456;
        menu->findChild<QAction*>("PickColour1")->trigger();
        QCOMPARE((std::pair{s.palette.paletteCode, s.palette.markerColour}), (std::pair{88, 0x123456}));
        QCOMPARE(a.f.Label24->text(), QString("Custom"));

        // Clear is offered only with the object panel; the hint goes once the menu opens.
        for (bool panel : {true, false}) {
            image->PopupMenu1->actions().front()->trigger();
            QCOMPARE(image->Panel3->isVisible(), panel);
            image->popupPaletteMenu(QPoint(10, 10));
            QCOMPARE(image->Clear2->isVisible(), panel);
            QVERIFY(image->Image1->toolTip().isEmpty());
            menu->hide();
        }
    }

    // A damaged file leaves no window and a usable program.
    void damagedFiles_data() {
        QTest::addColumn<QString>("file");
        for (const char* f : {"bad/truncated-half.bmp", "bad/huge-both.bmp", "bad/corrupt-huffman.jpg",
                              "bad/png-named.jpg", "bad/rle8-overrun.bmp", "bad/empty.bmp"})
            QTest::newRow(f) << QString(f);
    }
    void damagedFiles() {
        QFETCH(QString, file);
        uitest::App a;
        a.dialogs.opens.push_back({cwtest::testdata(file.toStdString())});
        QTest::mouseClick(a.f.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(a.messages.shown, std::vector<std::string>{kInvalidImageMessage});
        QCOMPARE(subWindows(a.f), 0);
        QVERIFY(a.f.isEnabled() && !a.f.Form7()->isVisible() && a.f.ExplorerButton1->text() == "Load Image");
        a.f.loadPath(cwtest::testdata("bmp/rgb24.bmp"));
        QCOMPARE(subWindows(a.f), 1);
        a.f.MdiArea->subWindowList().front()->close();  // from its frame: the picture ends
        QCOMPARE(subWindows(a.f), 0);
        QVERIFY(!a.s().imageWindowOpen && a.f.ExplorerButton1->text() == "Load Image");
    }


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
        paintingWindow();
        QList<QToolButton*> bar;  // the tools in order, each with its hint
        for (QToolButton* b : f().Panel1->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly))
            if (b->isCheckable()) bar << b;
        std::sort(bar.begin(), bar.end(), [](QToolButton* a, QToolButton* b) { return a->x() < b->x(); });
        QCOMPARE(size_t(bar.size()), toolBar().size());
        for (size_t i = 0; i < toolBar().size(); ++i)
            QVERIFY(bar[qsizetype(i)] == button(f(), toolBar()[i]) && bar[qsizetype(i)]->toolTip() == toolBar()[i]->hint());
        // From a tool with another pointer shape, with the zoomed view open.
        button(f(), *std::find_if(toolBar().begin(), toolBar().end(), [&](const Tool* t) { return t->cursor() != tool->cursor(); }))->click();
        QTest::mouseClick(f().Form2()->Button1, Qt::LeftButton);
        QVERIFY(f().Form10()->isVisible());
        session().tools.overwrite = overwriteBefore, session().tools.layered = layeredBefore;
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QRect where = f().SpeedButton2->geometry();
        QTest::mouseClick(button(f(), tool), Qt::LeftButton);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(f().SpeedButton2->geometry(), where);  // the buttons stay under the pointer
        QVERIFY(button(f(), tool)->isChecked() && session().tools.currentTool == tool->id());
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
        QCOMPARE((std::pair{f().CheckBox8->isChecked(), f().CheckBox10->isChecked()}), (std::pair{overwrite, layered}));
        QCOMPARE(f().Image1->toolTip(), QString(tool->hint()));
        QCOMPARE(f().Image1->pixmap().toImage(), toolIcon(tool->glyph()).pixmap(24, 24).toImage());
        QVERIFY(view->cursor().shape() == toolCursorShape(tool->cursor()));
        QVERIFY(f().Form10()->Image1->cursor().shape() == toolCursorShape(tool->cursor()));
    }

    // A selection only from its top left, shown as a band; the brush; the
    // read-outs; a right click; Touch-paint.
    void gesturesReachTheRoutines() {
        paintingWindow();
        f().SpeedButton4->click();
        drag(view, {QPoint(50, 40), QPoint(10, 90)});
        QVERIFY(!session().ws->selectionActive && f().Form2()->Button2->text() == "Zer&o-set");
        drag(view, {QPoint(10, 40), QPoint(30, 60), QPoint(50, 90)});
        QVERIFY(session().ws->selectionActive && f().Form2()->Button2->text() == "Cr&op");
        QCOMPARE(session().pointer.paintLimitRect, (Rect{10, 40, 50, 90}));
        // The widget paints the complemented outline.
        const QImage shown = view->grab(QRect(0, 0, 100, 100)).toImage();
        QCOMPARE(shown.pixel(10, 60) & 0xffffffu, (session().ws->colour.at(10, 60) ^ 0xffffffu) & 0xffffffu);

        f().SpeedButton1->click();
        // (QTest takes the point (0, 0) for "the widget's centre", so start one in.)
        drag(view, {QPoint(1, 1), QPoint(2, 1)});
        QCOMPARE(recorder->calls, (QStringList{"ColourWinI 0,0,11,11", "ColourWinI 0,0,12,11"}));
        QTest::mouseMove(view, QPoint(120, 7));
        QCOMPARE(f().Form2()->Label1->text(), QString(" x:120  y:7 "));
        const uint32_t c = session().ws->display.at(120, 7);
        QCOMPARE(f().Form2()->Label3->text(), QString(" R:%1 G:%2 B:%3 ").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c)));

        recorder->calls.clear();  // a right click picks the code under the pointer and asks for the menu
        session().ws->codes[20 * 512 + 30] = 6;
        QSignalSpy menu(f().Form2(), &TForm2::paletteMenuRequested);
        QTest::mouseMove(view, QPoint(30, 20));
        QTest::mouseClick(view, Qt::RightButton, {}, QPoint(30, 20));
        QVERIFY(session().palette.paletteCode == 6 && menu.count() == 1 && recorder->calls.isEmpty());
        f().Form2()->PopupMenu2->hide();

        f().SpeedButton2->click();  // Touch-paint only when released over the 512-wide picture
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
        paintingWindow();
        f().SpeedButton4->click();
        drag(view, {QPoint(10, 10), QPoint(50, 30)});
        f().Form2()->SpinEdit7->setValue(3);
        QTest::mouseClick(f().Form2()->Button1, Qt::LeftButton);
        TForm10* zoomed = f().Form10();
        QVERIFY(zoomed->isVisible() && zoomed->windowTitle() == "\"3X\" Zoom`ed View");
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
            f().Form2()->PopupMenu2->hide();
        }
        // Without a selection the next Zoom shows the whole 512 x 512 picture.
        QTest::mouseClick(f().Form2()->Button1, Qt::LeftButton);
        QVERIFY(zoomed->isVisible() && session().zoom.autoSync && zoomed->AutoSyncOn->isChecked());
        QVERIFY(zoomed->Label1->text().isEmpty());
        QCOMPARE(session().zoom.sourceRect, (Rect{1, 1, 510, 510}));
    }
};

QTEST_MAIN(TestColourAPhoto)
#include "test_colour_a_photo.moc"
