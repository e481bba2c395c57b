// A user's picture through the real windows: load it, choose a palette from
// the menu the catalogue builds, Touch-paint the sky, undo and redo, save and
// read back what was written; damaged files, Clear Image and closing the window.

#include "codecs/bmp_reader.h"
#include "actions/picture_files.h"
#include "codecs/jpeg_decoder.h"
#include "core/catalogue.h"
#include "core/palette_networks.h"
#include "ui_rig.h"

using namespace cw;

class TestColourAPhoto : public QObject {
    Q_OBJECT
    QTemporaryDir home;

    static int subWindows(TForm1& f) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return int(f.MdiArea->subWindowList().size());
    }
    static QString str(std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

private slots:
    void initTestCase() { uitest::privateHome(home); }

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
        for (QAction* act : menu->actions())
            if (act->menu() && QString(act->text()).remove(QChar('&')) == "Sky") sky = act->menu();
        QVERIFY(sky);
        QTRY_VERIFY(sky->isVisible());
        QTest::keyClick(sky, Qt::Key_Return);
        QTRY_VERIFY(!menu->isVisible());
        QCOMPARE(a.s().palette.paletteCode, 6);
        QCOMPARE(f.Label24->text(), QString("Sky: Blue"));

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
        QCOMPARE(saved.width(), source.width());
        QCOMPARE(saved.height(), source.height());
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
        QCOMPARE(f.ExplorerButton1->text(), QString("Load Image"));
        QVERIFY(!f.Panel1->isEnabled() && !a.s().ws);
        const size_t asked = a.dialogs.asked.size();
        QTest::mouseClick(f.ExplorerButton3, Qt::LeftButton);
        QTest::mouseClick(f.ExplorerButton5, Qt::LeftButton);
        QCOMPARE(a.dialogs.asked.size(), asked);
    }

    void menuFollowsTheCatalogueAndSetsTheSelection() {
        uitest::App a("photos/camera-24.bmp");
        TForm2* image = a.f.Form2();
        QMenu* menu = image->PopupMenu2;
        const QList<QAction*> top = menu->actions();
        int at = 0, items = 0;
        for (const PaletteSubmenu& sub : paletteSubmenus()) {
            QList<QAction*> shown = sub.caption.empty() ? top.mid(at, qsizetype(sub.items.size())) : QList<QAction*>{};
            if (!sub.caption.empty()) {
                QCOMPARE(top.at(at)->text(), str(sub.caption));
                QVERIFY(top.at(at)->menu());
                shown = top.at(at++)->menu()->actions();
            } else at += int(sub.items.size());
            QCOMPARE(shown.size(), qsizetype(sub.items.size()));
            for (size_t i = 0; i < sub.items.size(); ++i, ++items) {
                QCOMPARE(shown[i]->text(), str(sub.items[i].caption));
                QCOMPARE(shown[i]->font().bold(), sub.items[i].isDefault);
            }
        }
        QCOMPARE(at, top.size());
        QCOMPARE(items, qsizetype(paletteMenu().size()));

        // A cancelled colour dialog changes nothing; a confirmed one selects Custom.
        const Session& s = a.s();
        menu->findChild<QAction*>("SkyBlue1")->trigger();
        QCOMPARE((std::pair{s.palette.paletteCode, s.palette.markerColour}), (std::pair{6, 0x808000}));
        menu->findChild<QAction*>("PickColour1")->trigger();
        QCOMPARE(a.dialogs.colourAsked, 1);
        QCOMPARE(a.f.Label24->text(), QString("Sky: Blue"));
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

    void damagedFilesLeaveNoWindowAndAUsableProgram_data() {
        QTest::addColumn<QString>("file");
        for (const char* f : {"bad/truncated-half.bmp", "bad/huge-both.bmp", "bad/corrupt-huffman.jpg",
                              "bad/png-named.jpg", "bad/rle8-overrun.bmp", "bad/empty.bmp"})
            QTest::newRow(f) << QString(f);
    }
    void damagedFilesLeaveNoWindowAndAUsableProgram() {
        QFETCH(QString, file);
        uitest::App a;
        a.dialogs.opens.push_back({cwtest::testdata(file.toStdString())});
        QTest::mouseClick(a.f.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(a.messages.shown, std::vector<std::string>{kInvalidImageMessage});
        QCOMPARE(subWindows(a.f), 0);
        QVERIFY(a.f.isEnabled() && !a.f.Form7()->isVisible());
        QCOMPARE(a.f.ExplorerButton1->text(), QString("Load Image"));
        a.dialogs.opens.push_back({cwtest::testdata("bmp/rgb24.bmp")});
        QTest::mouseClick(a.f.ExplorerButton1, Qt::LeftButton);
        QCOMPARE(subWindows(a.f), 1);
    }

    // Force Gray is a one-load switch; the window closed from its frame ends the picture.
    void forceGrayThenCloseFromTheFrame() {
        uitest::App a;
        QTest::mouseClick(a.f.CheckBox1, Qt::LeftButton);
        QVERIFY(a.s().controls.forceGray);
        a.f.loadPath(cwtest::testdata("photos/astronaut.jpg"));
        QVERIFY(!a.f.CheckBox1->isChecked() && !a.s().controls.forceGray);
        QVERIFY2(a.dialogs.asked.empty(), "a command-line picture needs no dialog");
        const Bitmap& b = a.ws().source;
        for (size_t i = 0; i < b.pixelCount(); i += 997)
            QVERIFY(redOf(b.data()[i]) == greenOf(b.data()[i]) && greenOf(b.data()[i]) == blueOf(b.data()[i]));
        a.f.MdiArea->subWindowList().front()->close();
        QCOMPARE(subWindows(a.f), 0);
        QCOMPARE(a.f.ExplorerButton1->text(), QString("Load Image"));
        QVERIFY(!a.s().imageWindowOpen);
    }
};

QTEST_MAIN(TestColourAPhoto)
#include "test_colour_a_photo.moc"
