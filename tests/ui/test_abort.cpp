// The progress meter, and Abort pressed on it while a long operation runs on a
// 6000 x 4000 picture: the operation stops early, leaves sound state, and the
// windows come back.

#include "codecs/bmp_writer.h"
#include "ui_rig.h"

using namespace cw;

namespace {

// After the meter's first show, the operation's first processing of events
// asks for a repaint and `delayMs` later a later one tries to close the meter,
// then clicks Abort or presses `key` on it: these timers can only fire from the
// running operation's own polls. Counts the meter's paints until then.
class AbortClicker : public QObject {
public:
    AbortClicker(TForm1& f, int delayMs, Qt::Key key = Qt::Key_unknown)
        : main_(f), meter_(f.Form7()), delayMs_(delayMs), key_(key) { qApp->installEventFilter(this); }
    ~AbortClicker() override { qApp->removeEventFilter(this); }
    bool clicked = false, keptOpen = false, windowsLocked = false;
    int paints = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (clicked || !o->isWidgetType() || !(o == meter_ || meter_->isAncestorOf(static_cast<QWidget*>(o))))
            return false;
        paints += e->type() == QEvent::Paint && armed_;
        if (o == meter_ && e->type() == QEvent::Show && !armed_) {
            armed_ = true;
            QTimer::singleShot(0, this, [this] {
                meter_->update();
                QTimer::singleShot(delayMs_, this, [this] {
                    if (!meter_->isVisible()) return;  // the operation was over already
                    clicked = true;
                    windowsLocked = !main_.isEnabled() && !main_.Form2()->isEnabled();
                    keptOpen = (meter_->close(), meter_->isVisible());
                    if (key_ == Qt::Key_unknown) QTest::mouseClick(meter_->Button1, Qt::LeftButton);
                    else QTest::keyClick(meter_, key_);
                });
            });
        }
        return false;
    }
    TForm1& main_;
    TForm7* meter_;
    int delayMs_;
    Qt::Key key_;
    bool armed_ = false;
};

} // namespace

class TestAbort : public QObject {
    Q_OBJECT
    QTemporaryDir home, pictures;
    std::unique_ptr<uitest::App> app;
    static constexpr int kW = 6000, kH = 4000;

    TForm1& f() { return app->f; }
    Workspace& ws() { return app->ws(); }
    size_t count(int8_t code) { return size_t(std::count(ws().codes.get(), ws().codes.get() + ws().pixelCount(), code)); }
    // After an aborted operation: no meter, both windows usable again.
    void verifySoundWindows(const AbortClicker& clicker) {
        QVERIFY2(clicker.clicked && clicker.keptOpen && clicker.windowsLocked && clicker.paints > 0, "a running operation's meter");
        QVERIFY(!f().Form7()->isVisible() && !f().Form7()->locked() && f().isEnabled() && f().Form2()->isEnabled());
    }

private slots:
    void initTestCase() {
        uitest::privateHome(home);
        // Gray ramps repeated across the picture, with strong grain: many small regions.
        Bitmap picture(kW, kH);
        uint32_t seed = 12345;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int g = std::clamp(x * 256 / 1500 % 256 + int(seed >> 24) / 3 - 42, 0, 255);
                picture.at(x, y) = rgb(g, g, g);
            }
        writeBmp24(picture, (pictures.path() + "/grain.bmp").toStdString());
        app = std::make_unique<uitest::App>((pictures.path() + "/grain.bmp").toStdString());
        QCOMPARE(ws().width, kW);
        f().Form2()->PopupMenu2->findChild<QAction*>("SkyBlue1")->trigger();
        QVERIFY(QTest::qWaitForWindowExposed(f().Form2()));
    }

    void meterShowsWhatBeginAsks() {
        TForm7 meter;
        meter.begin("Saving Image to disk....", {.hideGauge = true, .hideAbort = true});
        QVERIFY(meter.BlinkLabel1->text() == "Saving Image to disk...." && !meter.Label1->isVisible() && !meter.Button1->isVisible());
        meter.end(), meter.begin("pre-processing....");
        QVERIFY(meter.Label1->isVisible() && meter.Button1->isVisible());
        meter.report(420);
        const QImage full = meter.Label1->grab().toImage();
        meter.report(42);
        QVERIFY2(meter.Label1->value == 42 && meter.Label1->grab().toImage() != full, "the gauge draws its percentage");
    }

    void markUpStopsEarly() {
        QCOMPARE(f().SpinEdit6->value(), 100);  // full resolution
        QTest::mouseClick(f().ExplorerButton2, Qt::LeftButton);
        const size_t whole = ws().anchors.size();
        AbortClicker clicker(f(), 150);
        QTest::mouseClick(f().ExplorerButton2, Qt::LeftButton);
        verifySoundWindows(clicker);
        QVERIFY2(!ws().anchors.empty() && ws().anchors.size() < whole, "an aborted mark-up records fewer regions");
        QCOMPARE(count(int8_t(kCodeOriginal)), size_t(0));  // no visiting marks are left behind
    }

    // Large enough for the fill to paint on its second thread while the
    // image window repaints from the display it writes.
    void connectedTouchPaintStopsEarly() {
        Workspace& w = ws();
        std::fill(w.codes.get(), w.codes.get() + w.pixelCount(), int8_t(0));  // the mark-up's outlines go
        w.colour.copyFrom(w.source), w.display.copyFrom(w.source);
        QTest::mouseClick(f().SpeedButton2, Qt::LeftButton), f().ScopeLocal->click();
        f().SpinEdit2->setValue(256);  // every tone passes: the whole picture is one region
        const int8_t code = int8_t(f().session().palette.paletteCode);
        // The tool reads the position the last move reported, as a real pointer reports one before it is pressed.
        auto click = [&](QPoint at) {
            QTest::mousePress(f().Form2()->Image1, Qt::LeftButton, {}, at);
            QTest::mouseMove(f().Form2()->Image1, at);
            QTest::mouseRelease(f().Form2()->Image1, Qt::LeftButton, {}, at);
        };
        AbortClicker clicker(f(), 60, Qt::Key_Escape);
        click(QPoint(10, 10));
        verifySoundWindows(clicker);
        const size_t aborted = count(code);
        QVERIFY2(aborted > 0 && aborted < w.pixelCount(), qPrintable(QString::number(aborted)));
        // What is painted is whole: coloured, shown, and a block around the seed.
        for (size_t i = 0; i < w.pixelCount(); ++i)
            QCOMPARE(w.display.data()[i], w.codes[i] == code ? w.colour.data()[i] : w.source.data()[i]);
        QCOMPARE(w.codes[size_t(1) * kW + 1], code);
        // From an unpainted pixel, again without Abort: the rest, which
        // surrounds the painted block and so is one region too.
        click(QPoint(kW - 10, kH - 10));
        QCOMPARE(count(code), w.pixelCount());
    }
};

QTEST_MAIN(TestAbort)
#include "test_abort.moc"
