// Abort pressed on the progress meter's button while a long operation runs on
// a 6000 x 4000 picture: mark-up, auto finish-up, image-wide and connected Touch-paint
// stop early, leave sound state, and the windows come back.
#include <QElapsedTimer>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <algorithm>

#include "codecs/bmp_writer.h"
#include "test_support.h"
#include "tools/touch_paint.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform2.h"
#include "ui/tform7.h"

using namespace cw;

namespace {

// Watches the meter from the application. After the meter's `showNumber`-th
// show, the operation's first processing of events asks for a repaint and
// `delayMs` later a later one clicks Abort: these timers can only fire from
// the running operation's own polls. Counts the paints of the meter and its
// parts until the click.
class AbortClicker : public QObject {
public:
    AbortClicker(TForm7* meter, int delayMs, int showNumber = 1)
        : delayMs(delayMs), meter_(meter), showsLeft_(showNumber) {
        qApp->installEventFilter(this);
    }
    ~AbortClicker() override { qApp->removeEventFilter(this); }

    bool clicked = false;
    int paintsBeforeClick = 0;
    const int delayMs;
    QElapsedTimer sinceArmed;
    qint64 clickedAt = 0;  // ms after the first events; a user's click lands at delayMs

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (clicked || !o->isWidgetType() || !(o == meter_ || meter_->isAncestorOf(static_cast<QWidget*>(o))))
            return false;
        if (e->type() == QEvent::Paint && watching_) ++paints_;
        if (o == meter_ && e->type() == QEvent::Show && --showsLeft_ == 0) {
            watching_ = true;
            QTimer::singleShot(0, this, [this] {
                meter_->update();
                sinceArmed.start();
                QTimer::singleShot(delayMs, this, [this] {
                    if (!meter_->isVisible()) return;  // the operation was over already
                    paintsBeforeClick = paints_;
                    clicked = true;
                    clickedAt = sinceArmed.elapsed();
                    QTest::mouseClick(meter_->Button1, Qt::LeftButton);
                });
            });
        }
        return false;
    }

private:
    TForm7* meter_;
    int showsLeft_, paints_ = 0;
    bool watching_ = false;
};

} // namespace

class TestAbort : public QObject {
    Q_OBJECT
    QTemporaryDir home, pictures;
    cwtest::ScriptedDialogs dialogs;
    std::unique_ptr<Chromawell> app;
    static constexpr int kW = 6000, kH = 4000;

    TForm1& f() { return app->form1(); }
    Workspace& ws() { return *f().session().ws; }
    size_t countCodes(int8_t code, size_t from = 0, size_t n = size_t(kW) * kH) {
        return size_t(std::count(ws().codes.get() + from, ws().codes.get() + from + n, code));
    }
    // After an aborted operation: no meter, both windows usable again.
    void verifySoundWindows(const AbortClicker& clicker, const char* what) {
        QVERIFY2(clicker.clicked, what);
        qInfo("%s: returned %lld ms after the Abort click, which its events took in after %lld ms", what,
              clicker.sinceArmed.elapsed() - clicker.delayMs, clicker.clickedAt - clicker.delayMs);
        QVERIFY2(clicker.paintsBeforeClick > 0, "the meter repaints while the operation runs");
        QVERIFY(!f().Form7()->isVisible());
        QVERIFY(!f().Form7()->locked());
        QVERIFY(f().isEnabled());
        QVERIFY(f().Form2()->isEnabled());
    }
    // The tool reads the position the last move reported, as a real pointer
    // reports one before it is pressed.
    void click(QPoint at) {
        QWidget* view = f().Form2()->Image1;
        QTest::mousePress(view, Qt::LeftButton, {}, at);
        QTest::mouseMove(view, at);
        QTest::mouseRelease(view, Qt::LeftButton, {}, at);
    }

private slots:
    void initTestCase() {
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        recordAgreementAccepted();
        // Gray ramps repeated across the picture, with strong grain: many
        // small regions, and every tone near the top left corner.
        Bitmap picture(kW, kH);
        uint32_t seed = 12345;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int g = std::clamp(x * 256 / 1500 % 256 + int(seed >> 24) / 3 - 42, 0, 255);
                picture.at(x, y) = rgb(g, g, g);
            }
        writeBmp24(picture, (pictures.path() + "/grain.bmp").toStdString());

        app = std::make_unique<Chromawell>(
            ChromawellOptions{.services = {nullptr, &dialogs, [] { return QSize(1280, 1024); }}, .splash = false});
        QSignalSpy started(&f(), &TForm1::started);
        f().resize(1200, 900);
        f().show();
        QVERIFY(started.wait(5000));
        f().loadPath((pictures.path() + "/grain.bmp").toStdString());
        QVERIFY(f().Form2());
        QCOMPARE(ws().width, kW);
        QMenu* menu = f().Form2()->PopupMenu2;
        QTRY_VERIFY(menu->isVisible());
        menu->findChild<QAction*>("SkyBlue1")->trigger();
        menu->hide();
        QVERIFY(QTest::qWaitForWindowExposed(f().Form2()));
    }
    void cleanupTestCase() { app.reset(); }

    void markUpStopsEarly() {
        QCOMPARE(f().SpinEdit6->value(), 100);  // full resolution
        QTest::mouseClick(f().ExplorerButton2, Qt::LeftButton);
        const size_t whole = ws().anchors.size();

        AbortClicker clicker(f().Form7(), 150);
        QTest::mouseClick(f().ExplorerButton2, Qt::LeftButton);
        verifySoundWindows(clicker, "mark-up");
        if (QTest::currentTestFailed()) return;
        QVERIFY(!ws().anchors.empty());
        QVERIFY2(ws().anchors.size() < whole, "an aborted mark-up records fewer regions");
        QCOMPARE(countCodes(int8_t(kCodeOriginal)), size_t(0));  // no visiting marks are left behind
    }

    void touchPaintStopsEarly() {
        QTest::mouseClick(f().SpeedButton2, Qt::LeftButton);
        QVERIFY(f().ScopeGlobal->isChecked());
        const int8_t code = int8_t(f().session().palette.paletteCode);
        const QPoint at(750, 200);
        // A whole run paints exactly the seed's tone band.
        const ToneBand band = toneBand(int32_t(grayOf(ws().source.at(at.x(), at.y()))),
                                       f().session().settings.grayStep, f().session().settings.integrationTolerance);
        size_t inBand = 0;
        for (int l = band.lo; l <= band.hi; ++l) inBand += ws().bucketSize(l);
        QCOMPARE(countCodes(code), size_t(0));

        AbortClicker clicker(f().Form7(), 50);
        click(at);
        verifySoundWindows(clicker, "touch-paint");
        if (QTest::currentTestFailed()) return;
        const size_t aborted = countCodes(code);
        QVERIFY2(aborted > 0 && aborted < inBand, qPrintable(QString("%1 of %2").arg(aborted).arg(inBand)));

        click(at);  // again without Abort: the colouring the finish-up fills from
        QCOMPARE(countCodes(code), inBand);
    }

    void finishUpStopsEarly() {
        const int8_t code = int8_t(f().session().palette.paletteCode);
        const size_t lastRow = size_t(kH - 1) * kW;
        QVERIFY(countCodes(code, lastRow, kW) > 0);  // every row has colouring to fill from
        QVERIFY(countCodes(kCodeUncoloured, 0, kW) > 0);
        // The fill is the button's second pass, under the meter's second show.
        AbortClicker clicker(f().Form7(), 100, 2);
        QTest::mouseClick(f().ExplorerButton13, Qt::LeftButton);
        verifySoundWindows(clicker, "auto finish-up");
        if (QTest::currentTestFailed()) return;
        const int8_t* codes = ws().codes.get();
        QVERIFY2(std::none_of(codes, codes + ws().pixelCount(), [](int8_t c) { return c < 0; }),
                 "the fill's own codes are made ordinary");
        QCOMPARE(countCodes(kCodeUncoloured, 0, kW), size_t(0));  // the fill did the first row
        QVERIFY2(countCodes(kCodeUncoloured, lastRow, kW) > 0, "the fill stopped before the last row");
    }

    // Large enough for the fill to paint on its second thread while the
    // image window repaints from the display it writes.
    void connectedTouchPaintStopsEarly() {
        Workspace& w = ws();
        std::fill(w.codes.get(), w.codes.get() + w.pixelCount(), int8_t(0));
        w.colour.copyFrom(w.source);
        w.display.copyFrom(w.source);
        f().ScopeLocal->click();
        f().SpinEdit2->setValue(256);  // every tone passes: the whole picture is one region
        const int8_t code = int8_t(f().session().palette.paletteCode);

        AbortClicker clicker(f().Form7(), 60);
        click(QPoint(10, 10));
        verifySoundWindows(clicker, "connected touch-paint");
        if (QTest::currentTestFailed()) return;
        const size_t aborted = countCodes(code);
        QVERIFY2(aborted > 0 && aborted < w.pixelCount(), qPrintable(QString::number(aborted)));
        // What is painted is whole: coloured, shown, and a block around the seed.
        for (size_t i = 0; i < w.pixelCount(); ++i) {
            const bool painted = w.codes[i] == code;
            QCOMPARE(w.display.data()[i], painted ? w.colour.data()[i] : w.source.data()[i]);
        }
        QCOMPARE(w.codes[size_t(1) * kW + 1], code);

        // From an unpainted pixel, again without Abort: the rest, which
        // surrounds the painted block and so is one region too.
        click(QPoint(kW - 10, kH - 10));
        QCOMPARE(countCodes(code), w.pixelCount());
    }
};

QTEST_MAIN(TestAbort)
#include "test_abort.moc"
