// A user's first picture, end to end through the real windows: load a photo,
// choose "Sky: Blue" in the palette menu by keyboard, Touch-paint the sky with
// a mouse click, save, and read back what was written.
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <algorithm>

#include "codecs/bmp_reader.h"
#include "codecs/jpeg_decoder.h"
#include "core/palette_networks.h"
#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform2.h"

using namespace cw;

namespace {

// A palette colour with no effects, mixed into the uncoloured (gray source)
// pixel with weight 1 against `strength`.
uint32_t painted(Rgb c, uint32_t source, int32_t strength) {
    const Rgb p = channelsOf(source);
    auto k = [&](int32_t v, int32_t was) {
        v = std::clamp(v, 0, 255);
        return uint32_t((was * strength + v) / (strength + 1));
    };
    return rgb(k(c.r, p.r), k(c.g, p.g), k(c.b, p.b));
}

} // namespace

class TestColourAPhoto : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    cwtest::ScriptedDialogs dialogs;

private slots:
    void initTestCase() {
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        recordAgreementAccepted();
    }

    void skyBlueTouchPaintIsSaved() {
        Chromawell app(
            ChromawellOptions{.services = {nullptr, &dialogs, [] { return QSize(1280, 1024); }}, .splash = false});
        TForm1& f = app.form1();
        f.resize(1200, 900);
        QSignalSpy started(&f, &TForm1::started);
        f.show();
        QVERIFY(started.wait(5000));
        const std::string photo = cwtest::testdata("photos/camera.jpg");
        f.loadPath(photo);
        TForm2* image = f.Form2();
        QVERIFY(image);

        // The set-up offers the palette menu; S&ky opens its submenu, whose
        // first item, "Sky Blue", is taken with Return.
        QMenu* menu = image->PopupMenu2;
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key_Y);
        QMenu* sky = nullptr;
        for (QAction* a : menu->actions())
            if (a->menu() && QString(a->text()).remove(QChar('&')) == "Sky") sky = a->menu();
        QVERIFY(sky);
        QTRY_VERIFY(sky->isVisible());
        QTest::keyClick(sky, Qt::Key_Return);
        QTRY_VERIFY(!menu->isVisible());
        const PaletteSelection& chosen = f.session().palette;
        QCOMPARE(chosen.paletteCode, 6);

        QTest::mouseClick(f.SpeedButton2, Qt::LeftButton);  // Magic Touch-paint
        QVERIFY(f.ScopeGlobal->isChecked());
        // The Touch-paint tool layers its colour over what the picture shows,
        // here the gray photo, with the palette's strength.
        QVERIFY(f.session().tools.layered);
        QVERIFY(QTest::qWaitForWindowExposed(image));
        const QPoint seed(100, 30);  // open sky above the skyline
        // The pointer reaches the seed before the click, as a real mouse's does.
        QTest::mouseMove(image->Image1, seed);
        QTRY_COMPARE(f.session().ws->pointerX, seed.x());
        QCOMPARE(f.session().ws->pointerY, seed.y());
        QTest::mouseClick(image->Image1, Qt::LeftButton, {}, seed);

        QTemporaryDir out;
        const std::string target = (out.path() + "/sky.bmp").toStdString();
        dialogs.saves.push_back(target);
        QTest::mouseClick(f.ExplorerButton5, Qt::LeftButton);

        // The tone band around the seed's bucket, at the default Complexity 16
        // and Integration 52: buckets within 52 of the seed's, whole buckets.
        const Bitmap source = decodeJpegFile(photo);
        const Bitmap saved = readBmp(target);
        QCOMPARE(saved.width(), source.width());
        QCOMPARE(saved.height(), source.height());
        auto grayAt = [&](size_t i) { return grayOf(channelsOf(source.data()[i])); };
        const int32_t q = grayAt(size_t(seed.y()) * size_t(source.width()) + size_t(seed.x())) / 16 * 16;
        const int32_t lo = std::max(0, q - 48), hi = std::min(255, q + 63);

        size_t blue = 0;
        for (size_t i = 0; i < saved.pixelCount(); ++i) {
            const int32_t g = grayAt(i);
            const uint32_t was = source.data()[i];
            if (g >= lo && g <= hi) {
                const auto want = paletteColourDirect(6, was, was, 0);
                QVERIFY(want);
                const uint32_t expect = painted(want->rgb, was, chosen.blendStrength);
                if (saved.data()[i] != expect)
                    QFAIL(qPrintable(QString("pixel %1 of gray %2 was not painted: %3 not %4").arg(i).arg(g).arg(saved.data()[i], 0, 16).arg(expect, 0, 16)));
                ++blue;
            } else if (saved.data()[i] != was) {
                QFAIL(qPrintable(QString("pixel %1 of gray %2 outside the band changed").arg(i).arg(g)));
            }
        }
        QVERIFY2(blue > saved.pixelCount() / 10, "the sky's band holds a good part of the photo");
        QVERIFY2(blue < saved.pixelCount(), "the dark coat lies outside it");
    }
};

QTEST_MAIN(TestColourAPhoto)
#include "test_colour_a_photo.moc"
