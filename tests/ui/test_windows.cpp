// A user's sessions through the real windows, offscreen: start-up, colouring a
// photo from load to save and print, the pointer's gestures, the controls
// reading the document back, and Abort on the progress meter.
#include <QtPrintSupport>
#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <map>

#include "actions/picture_files.h"
#include "codecs/bmp_reader.h"
#include "codecs/bmp_writer.h"
#include "codecs/jpeg_decoder.h"
#include "core/catalogue.h"
#include "core/palette_networks.h"
#include "test_support.h"
#include "tools/tool_registry.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/agreement_window.h"
#include "ui/main_window.h"
#include "ui/zoom_window.h"
#include "ui/picture_view.h"
#include "ui/image_window.h"
#include "ui/print_job.h"
#include "ui/print_window.h"
#include "ui/about_window.h"
#include "ui/progress_window.h"
#include "ui/tools_qt.h"

using namespace cw;

Q_DECLARE_METATYPE(const cw::Tool*)

namespace {

// A timer, not a wait: the modal window about to open runs its own event loop.
void whenModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* modal = QApplication::activeModalWidget()) timer->stop(), timer->deleteLater(), act(modal);
    });
    timer->start(10);
}

// The main window started on a later run, with `picture` open and its first palette menu dismissed.
struct App {
    cwtest::ScriptedMessages messages;
    cwtest::ScriptedDialogs dialogs;
    Chromawell app;
    MainWindow& f;
    explicit App(const std::string& picture = {}, bool answer = true)
        : app({.services = {&messages, &dialogs, [] { return QSize(1280, 1024); }}, .splash = false}), f(app.mainWindow()) {
        recordAgreementAccepted();
        messages.answer = answer;
        f.resize(1200, 900);
        QSignalSpy started(&f, &MainWindow::started);
        f.show();
        started.wait(5000);
        if (!picture.empty()) f.loadPath(picture[0] == '/' ? picture : cwtest::testdata(picture));
        if (f.imageWindow()) f.imageWindow()->paletteMenu->hide();
    }
};

void drag(QWidget* view, std::initializer_list<QPoint> path) {
    QTest::mouseMove(view, *path.begin());
    QTest::mousePress(view, Qt::LeftButton, {}, *path.begin());
    for (auto p = path.begin() + 1; p != path.end(); ++p) QTest::mouseMove(view, *p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, *(path.end() - 1));
}

// Where the image window opens.
QMdiArea* frames(MainWindow& f) { return f.findChild<QMdiArea*>("MdiArea"); }
// The main window's own control of that designed name: the image window and
// the zoomed view reuse some of the names.
template <typename W = QWidget> W* designed(MainWindow& f, const QString& name) {
    for (W* w : f.findChildren<W*>(name))
        if (w->window() == &f && !frames(f)->isAncestorOf(w)) return w;
    return nullptr;
}
// A button of a designed radio group, which has no designed name of its own.
QRadioButton* radio(MainWindow& f, const char* group, int i) { return designed(f, group)->findChildren<QRadioButton*>().value(i); }

QToolButton* button(MainWindow& f, const Tool* t) { return designed<QToolButton>(f, QString("SpeedButton%1").arg(t->id())); }

enum Input { Click, StepUp, StepDown };

// A control, the input a user gives it and, written out here rather than taken
// from the program's own tables, the document value it stands for. Controls
// that show one value share its name. Some need the Touch-paint tool or another
// control clicked first; some change one more value by a rule.
struct Control {
    const char* label;
    QWidget* (*widget)(MainWindow&);
    int (*holds)(const Session&);
    const char* value;
    Input input;
    bool touch = false;
    const char *first = nullptr, *also = nullptr;
};

#define MAIN(name) [](MainWindow& f) -> QWidget* { return designed(f, #name); }
#define RADIO(group, i) [](MainWindow& f) -> QWidget* { return radio(f, #group, i); }
#define IMAGE(name) [](MainWindow& f) -> QWidget* { return f.imageWindow()->findChild<QWidget*>(#name); }
#define HOLDS(e) [](const Session& s) -> int { return s.e; }

const Control kControls[] = {
    {"Force Gray", MAIN(CheckBox1), HOLDS(controls.forceGray), "forceGray", Click},
    {"Auto Mark-up", MAIN(CheckBox7), HOLDS(controls.autoMarkUp), "autoMarkUp", Click},
    {"Un-mask Only", MAIN(CheckBox2), HOLDS(controls.unmaskOnly), "unmaskOnly", Click},
    {"Re-mark", MAIN(CheckBox11), HOLDS(controls.reMark), "reMark", Click},
    {"Separation", MAIN(SpinEdit5), HOLDS(controls.separation), "separation", StepUp},
    {"Objectivity", MAIN(SpinEdit3), HOLDS(controls.objectivity), "objectivity", StepUp},
    {"Scale%", MAIN(SpinEdit6), HOLDS(controls.scalePercent), "scalePercent", StepDown},
    {"Overwrite", MAIN(CheckBox8), HOLDS(tools.overwrite), "overwrite", Click},
    {"Layered", MAIN(CheckBox10), HOLDS(tools.layered), "layered", Click},
    {"Complexity", MAIN(SpinEdit1), HOLDS(controls.complexity), "complexity", StepUp},
    {"Integration", MAIN(SpinEdit2), HOLDS(controls.integration), "integration", StepUp, true},
    {"Scope local", RADIO(RadioGroup2, 0), HOLDS(tools.scope == kScopeConnected), "scope", Click, true, nullptr, "overwrite"},
    {"Scope global", RADIO(RadioGroup2, 1), HOLDS(tools.scope == kScopeImageWide), "scope", Click, true, "Scope local"},
    {"Brush width", MAIN(MaskEdit2), HOLDS(tools.brushWidthField), "brushWidth", StepUp},
    {"Brush height", MAIN(MaskEdit3), HOLDS(tools.brushHeightField), "brushHeight", StepDown},
    {"Rounded", MAIN(CheckBox6), HOLDS(tools.rounded), "rounded", Click},
    {"Round", MAIN(CheckBox13), HOLDS(tools.rounded), "rounded", Click},
    {"Selectivity", MAIN(SpinEdit4), HOLDS(tools.overwriteFactor), "overwriteFactor", StepDown},
    {"Ambient Light", MAIN(TrackBar1), HOLDS(effects.ambient), "ambient", StepUp},
    {"Intensity", MAIN(TrackBar2), HOLDS(effects.intensity), "intensity", StepDown},
    {"Saturation", MAIN(TrackBar3), HOLDS(effects.saturation), "saturation", StepUp},
    {"white light", MAIN(RadioButton1), HOLDS(effects.lights[0]), "white", Click},
    {"yellow light", MAIN(RadioButton2), HOLDS(effects.lights[1]), "yellow", Click},
    {"red light", MAIN(RadioButton3), HOLDS(effects.lights[2]), "red", Click},
    {"green light", MAIN(RadioButton4), HOLDS(effects.lights[3]), "green", Click},
    {"blue light", MAIN(RadioButton5), HOLDS(effects.lights[4]), "blue", Click},
    {"Interactive", RADIO(RadioGroup1, 0), HOLDS(tools.paintMode == kPaintInteractive), "paintMode", Click, false, "Mask'ed"},
    {"Mask'ed", RADIO(RadioGroup1, 1), HOLDS(tools.paintMode == kPaintMasked), "paintMode", Click},
    {"Invert", MAIN(CheckBox12), HOLDS(effects.invertOn), "invert", Click},
    {"Un-do Enabled", IMAGE(CheckBox1), HOLDS(pointer.undoEnabled), "undoEnabled", Click},
    {"zoom factor", IMAGE(SpinEdit7), HOLDS(zoom.factorField), "zoomFactor", StepUp},
    {"scale factor", IMAGE(SpinEdit1), HOLDS(scale.value), "scaleFactor", StepUp},
    {"Pressure", IMAGE(SpinEdit2), HOLDS(palette.pressure), "pressure", StepDown},
};

const Control& control(const QString& label) {
    return *std::find_if(std::begin(kControls), std::end(kControls), [&](const Control& c) { return label == c.label; });
}

int shown(QWidget* w) { return w->property(w->inherits("QAbstractButton") ? "checked" : "value").toInt(); }

// Up and Down step a spin box and a slider alike.
void give(QWidget* w, Input input) {
    if (input == Click) QTest::mouseClick(w, Qt::LeftButton);
    else QTest::keyClick(w, input == StepUp ? Qt::Key_Up : Qt::Key_Down);
}

std::map<std::string, int> documentValues(const Session& s) {
    std::map<std::string, int> v;
    for (const Control& c : kControls) v[c.value] = c.holds(s);
    return v;
}

// The signal a control's change handler listens to; a control written back
// with its signals blocked emits none.
std::unique_ptr<QSignalSpy> changeSpy(QWidget* w) {
    const char* signal = qobject_cast<QRadioButton*>(w) ? SIGNAL(clicked(bool)) : qobject_cast<QCheckBox*>(w) ? SIGNAL(toggled(bool)) : SIGNAL(valueChanged(int));
    return std::make_unique<QSignalSpy>(w, signal);
}

// Controls given their inputs, then a button clicked (none: a palette from the
// menu), and the controls that must have changed; "Hue" is the palette's caption.
struct Scenario { const char* name; std::vector<const char*> prepare, changes; bool touch; QWidget* (*act)(MainWindow&); };

const Scenario kScenarios[] = {
    {"AutoFinish takes Layered off and Paint Mode back to Interactive", {"Layered", "Mask'ed"},
     {"Layered", "Interactive", "Mask'ed"}, false, MAIN(ExplorerButton13)},
    {"the effects Re-set", {"Ambient Light", "Intensity", "Saturation", "white light", "red light", "Invert", "Mask'ed"},
     {"Ambient Light", "Intensity", "Saturation", "white light", "red light", "Invert", "Interactive", "Mask'ed"}, false, MAIN(Button2)},
    {"a palette from the menu", {}, {"Hue"}, false, nullptr},
    {"the Original button", {}, {"Hue"}, false, MAIN(SpeedButton40)},
    {"a quick brush", {}, {"Brush width"}, false, MAIN(SpeedButton11)},
    {"Layered takes Overwrite off under the brush", {"Overwrite"}, {"Overwrite", "Layered"}, false, MAIN(CheckBox10)},
    {"the connected scope takes Overwrite off", {}, {"Overwrite", "Scope local", "Scope global"}, true, RADIO(RadioGroup2, 0)},
};

// A timer that only the running operation's own polls can fire: `delayMs` in,
// it tries to close the meter, then clicks Abort or presses `key` on it.
class AbortClicker : public QObject {
public:
    AbortClicker(MainWindow& f, int delayMs, Qt::Key key = Qt::Key_unknown) : meter_(f.progressWindow()) {
        QTimer::singleShot(0, this, [=, this, &f] {
            QTimer::singleShot(delayMs, this, [=, this, &f] {
                if (!meter_->isVisible()) return;  // the operation was over already
                clicked = true;
                windowsLocked = !f.isEnabled() && !f.imageWindow()->isEnabled();
                keptOpen = (meter_->close(), meter_->isVisible());
                if (key == Qt::Key_unknown) QTest::mouseClick(meter_->abortButton, Qt::LeftButton);
                else QTest::keyClick(meter_, key);
            });
        });
    }
    ProgressWindow* meter_;
    bool clicked = false, keptOpen = false, windowsLocked = false;
};

// A spooler that takes the finished job and then turns it down: once the
// job's file has been written, the printer's state is Error.
struct RefusingSpooler final : QPrintEngine {
    QPrinter pdf;
    void setProperty(PrintEnginePropertyKey k, const QVariant& v) override { pdf.printEngine()->setProperty(k, v); }
    QVariant property(PrintEnginePropertyKey k) const override { return pdf.printEngine()->property(k); }
    bool newPage() override { return pdf.printEngine()->newPage(); }
    bool abort() override { return pdf.printEngine()->abort(); }
    int metric(QPaintDevice::PaintDeviceMetric m) const override { return pdf.printEngine()->metric(m); }
    QPrinter::PrinterState printerState() const override {
        return QFileInfo::exists(pdf.outputFileName()) && pdf.printerState() == QPrinter::Idle ? QPrinter::Error : pdf.printerState();
    }
};
struct RefusingPrinter final : QPrinter {
    RefusingSpooler spooler;
    explicit RefusingPrinter(const QString& file) { spooler.pdf.setOutputFileName(file), setEngines(&spooler, spooler.pdf.paintEngine()); }
};

} // namespace

// Stands in for the desktop's browser.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened.push_back(url); }
};

class TestWindows : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> home;
    UrlCatcher browser;
    std::unique_ptr<App> app;
    QWidget* view = nullptr;

    static constexpr int kW = 6000, kH = 4000;  // the abort test's picture

    MainWindow& f() { return app->f; }
    Session& session() { return f().session(); }
    Workspace& ws() { return *session().ws; }
    size_t count(int8_t code) { return size_t(std::count(ws().codes.get(), ws().codes.get() + ws().pixelCount(), code)); }
    int subWindows() {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // a closed window goes on its next turn
        return int(frames(f())->subWindowList().size());
    }
    // Where picture pixel (x, y) shows in the image window.
    QPoint at(int x, int y) { return f().imageWindow()->view->pictureToView(QPointF(x, y)).toPoint(); }
    // The gesture tests' window.
    void paintingWindow() {
        app = std::make_unique<App>("photos/camera-24.bmp");
        view = f().imageWindow()->canvas;
        QVERIFY(QTest::qWaitForWindowExposed(f().imageWindow()));
    }

    // A small picture open, the extra controls shown and every panel usable.
    MainWindow& windowWithPicture() {
        app = std::make_unique<App>("bmp/rgb24.bmp");
        return f().findChild<QAction*>("ShowHideExtraControls1")->trigger(), f();
    }

    static void everyControlShowsTheDocument(MainWindow& f) {
        for (const Control& c : kControls)
            QVERIFY2(shown(c.widget(f)) == c.holds(f.session()), qPrintable(QString("%1 does not show the document").arg(c.label)));
        QCOMPARE(designed<QLabel>(f, "Label24")->text(), QString::fromStdString(f.session().palette.selectionCaption));
    }

    void verifySoundWindows(const AbortClicker& clicker) {
        QVERIFY2(clicker.clicked && clicker.keptOpen && clicker.windowsLocked, "a running operation's meter");
        QVERIFY(!f().progressWindow()->isVisible() && !f().progressWindow()->locked() && f().isEnabled() && f().imageWindow()->isEnabled());
    }

private slots:
    // The work a killed program autosaved is offered at the next start: Yes
    // opens it, unsaved, on the picture it was; No deletes it; a normal end
    // leaves nothing to offer.
    void autosaveAfterKill() {
        const QString folder = home->path() + "/chromawell/autosave";
        for (bool restore : {true, false}) {
            const QString colour = home->path() + "/colour.bmp";
            QProcess killed;
            killed.start(QCoreApplication::applicationFilePath(), {"--killed-after-autosave", colour});
            QVERIFY(killed.waitForFinished(60000));
            QCOMPARE(killed.exitStatus(), QProcess::CrashExit);
            QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);
            app = std::make_unique<App>(std::string(), restore);
            const std::string picture = cwtest::testdata("photos/camera-24.bmp");
            QCOMPARE(app->messages.shown.size(), size_t(1));
            QVERIFY2(QRegularExpression("^Restore the work of " + QRegularExpression::escape(QString::fromStdString(picture)) +
                                        " from \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\\?$")
                         .match(QString::fromStdString(app->messages.shown[0])).hasMatch(),
                     app->messages.shown[0].c_str());
            QCOMPARE(session().ws != nullptr, restore);
            if (restore) {
                QVERIFY(session().pictureName == picture && ws().imageModified);
                QVERIFY(cwtest::samePixels(readBmp(colour.toStdString()), ws().colour));
                QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 1);  // until it is saved
                ws().imageModified = false;
                app.reset();
            }
            QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 0);
        }
    }

    // Each test starts as a first run with an empty cache, away from the program's folder.
    void init() {
        home = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CACHE_HOME", home->path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home->path() + "/config").toUtf8());
        QDir::setCurrent(home->path());
        QDesktopServices::setUrlHandler("file", &browser, "open");
        browser.opened.clear();
    }
    void cleanup() { app.reset(), QDesktopServices::unsetUrlHandler("file"); }

    void startUp_data() {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("agreement");  // -1 agreed on an earlier run, 0 declined now, 1 accepted now
        QTest::addColumn<bool>("wantsHelp");
        QTest::newRow("640 x 480") << QSize(640, 480) << -1 << false;
        QTest::newRow("799 x 600") << QSize(799, 600) << -1 << false;
        QTest::newRow("800 x 599") << QSize(800, 599) << -1 << false;
        QTest::newRow("800 x 600") << QSize(800, 600) << -1 << false;
        QTest::newRow("first run, help now") << QSize(800, 600) << 1 << true;
        QTest::newRow("first run, help later") << QSize(1280, 1024) << 1 << false;
        QTest::newRow("first run, declined") << QSize(800, 600) << 0 << true;
    }
    void startUp() {
        QFETCH(QSize, screen);
        QFETCH(int, agreement);
        QFETCH(bool, wantsHelp);
        if (agreement < 0) recordAgreementAccepted();
        const bool tooSmall = screen.width() < 800 || screen.height() < 600;
        cwtest::ScriptedMessages messages;
        messages.answer = wantsHelp;
        Chromawell app({.services = {&messages, nullptr, [screen] { return screen; }}, .splash = false});
        QCOMPARE(app.creationOrder(), (std::vector<std::string>{"Form1", "Form3", "Form7", "Form10", "EULAFrm"}));
        if (agreement >= 0)
            whenModal([&](QWidget* modal) {
                AgreementWindow& eula = app.agreementWindow();
                QCOMPARE(modal, static_cast<QWidget*>(&eula));
                QVERIFY(eula.agreeButton->isVisible() && eula.disagreeButton->isVisible() && !eula.okButton->isVisible());
                if (agreement) QTest::mouseClick(eula.agreeButton, Qt::LeftButton);
                else QTest::keyClick(&eula, Qt::Key_Escape);
            });
        MainWindow& f = app.mainWindow();
        QSignalSpy started(&f, &MainWindow::started);
        app.showMain();
        QTRY_VERIFY(f.terminateRequested() || started.count() == 1);
        QCOMPARE(f.terminateRequested(), tooSmall || agreement == 0);
        QCOMPARE(agreementAccepted(), agreement != 0);
        using Said = std::vector<std::string>;
        QCOMPARE(messages.shown, tooSmall ? Said{kDisplayTooSmall} : agreement == 1 ? Said{kFirstRunHelpQuestion} : Said{});
        QCOMPARE(browser.opened.size(), agreement == 1 && wantsHelp ? 1 : 0);
        for (const QUrl& page : browser.opened) QVERIFY(page.fileName() == "cwdoc21.html" && QFileInfo::exists(page.toLocalFile()));
        if (agreement == 0) return;
        // A small display still lets the rest of the start-up run.
        const Session& s = f.session();
        QTRY_VERIFY(QFileInfo(QString::fromStdString(s.scratchFolder)).isDir());
        // Maximised, and un-maximising puts it at the top, against the screen's right edge.
        QVERIFY(f.isMaximized());
        QCOMPARE(f.normalGeometry().topLeft(), QPoint(std::max(0, screen.width() - f.normalGeometry().width()), 0));
        QCOMPARE((std::vector<int>{s.tools.currentTool, s.palette.paletteCode, s.palette.markerColour,
                                   designed<QSpinBox>(f, "SpinEdit2")->singleStep(), s.imageSpan}),
                 (std::vector<int>{1, 1, 16776960, 16 + 1, 1}));
        QVERIFY(designed<QLabel>(f, "Label24")->text() == "Skin: Fair" && !designed(f, "Panel1")->isEnabled() && !designed(f, "Panel12")->isEnabled());
        QVERIFY(designed<QToolButton>(f, "SpeedButton1")->isChecked() && radio(f, "RadioGroup1", 0)->isChecked() && designed<QCheckBox>(f, "CheckBox10")->isVisible() && designed<QCheckBox>(f, "CheckBox10")->isEnabledTo(designed(f, "Panel1")));
        QVERIFY(!app.progressWindow().isVisible() && !f.zoomWindow()->isVisible());
        for (bool shown : {false, true, false}) {  // the extra controls toggle
            for (QWidget* w : std::initializer_list<QWidget*>{designed(f, "Panel88"), designed(f, "Panel12"), designed(f, "RadioGroup1"), designed<QCheckBox>(f, "CheckBox2")})
                QCOMPARE(w->isVisibleTo(w->parentWidget()), shown);
            f.findChild<QAction*>("ShowHideExtraControls1")->trigger();
        }
    }

    // However the splash or the about window goes, its flag clears; the help
    // button opens no second one while one is up.
    void aboutWindowClearsItsFlagHoweverItGoes_data() {
        QTest::addColumn<bool>("splash");
        QTest::addColumn<int>("how");  // 0 Close, 1 Escape, 2 Read EULA, 3 its own timer, 4 restored (a second show) and Close
        QTest::newRow("about, Close") << false << 0;
        QTest::newRow("about, Escape") << false << 1;
        QTest::newRow("about, Read EULA") << false << 2;
        QTest::newRow("about restored, Close") << false << 4;
        QTest::newRow("splash, Escape") << true << 1;
        QTest::newRow("splash, its timer") << true << 3;
    }
    void aboutWindowClearsItsFlagHoweverItGoes() {
        QFETCH(bool, splash);
        QFETCH(int, how);
        recordAgreementAccepted();
        Chromawell app({.services = {nullptr, nullptr, [] { return QSize(1024, 768); }}, .splash = splash});
        MainWindow& f = app.mainWindow();
        QSignalSpy started(&f, &MainWindow::started);
        app.showMain();
        QVERIFY(started.wait(5000) && AboutWindow::showing() == splash);
        bool went = false;
        auto goAway = [&](AboutWindow* about) {
            went = about != nullptr;
            if (QShowEvent again; how == 4) QCoreApplication::sendEvent(about, &again);
            QTest::mouseClick(designed<QPushButton>(f, "ExplorerButton15"), Qt::LeftButton);  // a second one is refused
            QCOMPARE(QApplication::activeModalWidget(), splash ? nullptr : static_cast<QWidget*>(about));
            QTest::mouseClick(about->helpLink, Qt::LeftButton);  // the help page beside the program
            const QString page = browser.opened.value(0).toLocalFile();
            QVERIFY(page == QCoreApplication::applicationDirPath() + "/doc/cwdoc0.html" && QFileInfo::exists(page));
            if (how == 1) QTest::keyClick(about, Qt::Key_Escape);
            else if (how != 3) QTest::mouseClick(how == 2 ? about->readAgreementButton : about->closeButton, Qt::LeftButton);
        };
        if (splash) goAway(app.splash());
        else {
            whenModal([&](QWidget* modal) { goAway(qobject_cast<AboutWindow*>(modal)); });
            QTest::mouseClick(designed<QPushButton>(f, "ExplorerButton15"), Qt::LeftButton);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!AboutWindow::showing(), 4000);
        AgreementWindow& eula = app.agreementWindow();
        QCOMPARE(eula.isVisible(), how == 2);  // Read EULA shows it for reading, not modal
        if (how == 2) QVERIFY(!eula.isModal() && eula.okButton->isVisible() && !eula.agreeButton->isVisible());
        QTest::mouseClick(eula.okButton, Qt::LeftButton);
        QVERIFY(!eula.isVisible());
        QVERIFY(went);
    }

    void skyBlueTouchPaintUndoAndSave() {
        app = std::make_unique<App>();
        const std::string photo = cwtest::testdata("photos/camera.jpg");
        app->dialogs.opens.push_back({photo});
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton1"), Qt::LeftButton);
        QCOMPARE(subWindows(), 1);
        ImageWindow* image = f().imageWindow();
        QVERIFY(image->windowTitle() == QString::fromStdString(photo) && designed<QLabel>(f(), "Label2")->text() == " w:512  h:512 ");
        QVERIFY(designed(f(), "Panel1")->isEnabled() && f().isEnabled() && !f().progressWindow()->isVisible());
        // The set-up offers the palette menu over the picture's middle.
        QMenu* menu = image->paletteMenu;
        // (moved only as far as it takes to keep it on the screen)
        QTRY_VERIFY(menu->isVisible() && menu->geometry().contains(image->canvas->mapToGlobal(at(256, 256))));
        menu->findChild<QAction*>("SkyBlue1")->trigger();
        menu->hide();
        QVERIFY(session().palette.paletteCode == 6 && designed<QLabel>(f(), "Label24")->text() == "Sky: Blue");
        QTest::mouseClick(designed<QToolButton>(f(), "SpeedButton2"), Qt::LeftButton);  // Magic Touch-paint, image-wide, layered
        QVERIFY(radio(f(), "RadioGroup2", 1)->isChecked() && session().tools.layered);
        QVERIFY(QTest::qWaitForWindowExposed(image));
        const QPoint seed(100, 30);  // open sky above the skyline
        // The pointer reaches the seed before the click, as a real mouse's does.
        QTest::mouseMove(image->canvas, at(seed.x(), seed.y()));
        QTRY_COMPARE(session().gesture.pointerX, seed.x());
        QTest::mouseClick(image->canvas, Qt::LeftButton, {}, at(seed.x(), seed.y()));
        const QImage shown = image->canvas->grab(QRect(at(0, 0), QSize(128, 64))).toImage();
        for (int y = 0; y < 64; y += 9)
            for (int x = 0; x < 128; x += 7) QCOMPARE(shown.pixel(x, y) | 0xff000000u, ws().display.at(x, y));
        // Un-do swaps the painting out and back in.
        const Bitmap painted = ws().display.clone(), source = decodeJpegFile(photo);
        for (const Bitmap* want : {&source, &painted}) {
            QTest::mouseClick(image->undoButton, Qt::LeftButton);
            QVERIFY(cwtest::samePixels(ws().display, *want));
        }
        QTemporaryDir out;
        app->dialogs.saves.push_back((out.path() + "/sky.bmp").toStdString());
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton5"), Qt::LeftButton);
        QCOMPARE(app->dialogs.asked.back().title, std::string(kSaveTitle));
        QCOMPARE(f().statusBar()->currentMessage(), "Saved " + out.path() + "/sky.bmp");
        // The tone band around the seed's bucket, at the default Complexity 16
        // and Integration 52: buckets within 52 of the seed's, whole buckets,
        // the palette colour mixed with weight 1 against the strength.
        const Bitmap saved = readBmp((out.path() + "/sky.bmp").toStdString());
        QVERIFY(saved.width() == source.width() && saved.height() == source.height());
        auto grayAt = [&](size_t i) { return int32_t(grayOf(channelsOf(source.data()[i]))); };
        const int32_t q = grayAt(size_t(seed.y()) * size_t(source.width()) + size_t(seed.x())) / 16 * 16;
        const int32_t lo = std::max(0, q - 48), hi = std::min(255, q + 63), k = session().palette.blendStrength;
        size_t blue = 0;
        for (size_t i = 0; i < saved.pixelCount(); ++i) {
            const uint32_t was = source.data()[i];
            uint32_t expect = was;
            if (grayAt(i) >= lo && grayAt(i) <= hi) {
                const Rgb c = paletteColourDirect(6, was, was, 0).value().rgb, p = channelsOf(was);
                auto mix = [k](int32_t v, int32_t w) { return uint32_t((w * k + std::clamp(v, 0, 255)) / (k + 1)); };
                expect = rgb(mix(c.r, p.r), mix(c.g, p.g), mix(c.b, p.b)), ++blue;
            }
            if (saved.data()[i] != expect)
                QFAIL(qPrintable(QString("pixel %1 of gray %2 is %3 not %4").arg(i).arg(grayAt(i)).arg(saved.data()[i], 0, 16).arg(expect, 0, 16)));
        }
        QVERIFY2(blue > saved.pixelCount() / 10 && blue < saved.pixelCount(), "the band holds the sky, not the coat");
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton3"), Qt::LeftButton);  // Restore: this program's own scratch copy, under the photo's name
        QVERIFY(cwtest::samePixels(ws().display, source) && image->windowTitle() == QString::fromStdString(photo));
        menu->hide();
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton1"), Qt::LeftButton);  // Clear Image
        QVERIFY(subWindows() == 0 && designed<QPushButton>(f(), "ExplorerButton1")->text() == "Load Image" && !designed(f(), "Panel1")->isEnabled() && !session().ws);
    }

    void menuFollowsTheCatalogueAndSetsTheSelection() {
        app = std::make_unique<App>("photos/camera-24.bmp");
        ImageWindow* image = f().imageWindow();
        QMenu* menu = image->paletteMenu;
        auto str = [](std::string_view s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); };
        QStringList want, got;  // the menu as the catalogue lays it out: submenus, items, defaults in bold
        for (const PaletteSubmenu& sub : paletteSubmenus()) {
            if (!sub.caption.empty()) want << str(sub.caption) + " >";
            for (const PaletteMenuItem& item : sub.items)
                want << str(item.caption) + (item.isDefault ? " (bold)" : "") + (item.kind == PaletteItemKind::Palette ? " (swatch)" : "");
        }
        std::function<void(QMenu*)> walk = [&](QMenu* m) {
            for (QAction* act : m->actions())
                if (act->menu()) got << act->text() + " >", walk(act->menu());
                else got << act->text() + (act->font().bold() ? " (bold)" : "") + (act->icon().isNull() ? "" : " (swatch)");
        };
        walk(menu);
        QCOMPARE(got, want);
        const QImage swatch = menu->findChild<QAction*>("SkyBlue1")->icon().pixmap(48, 12).toImage();  // black to white
        QCOMPARE((QList<QRgb>{swatch.pixel(0, 6), swatch.pixel(47, 6)}), (QList<QRgb>{cwtest::networkColour(6, cwtest::gray(0)), cwtest::networkColour(6, cwtest::gray(255))}));
        // A cancelled colour dialog changes nothing; a confirmed one selects Custom.
        const Session& s = session();
        menu->findChild<QAction*>("SkyBlue1")->trigger();
        QCOMPARE((std::pair{s.palette.paletteCode, s.palette.markerColour}), (std::pair{6, 0x808000}));
        menu->findChild<QAction*>("PickColour1")->trigger();
        QVERIFY(app->dialogs.colourAsked == 1 && designed<QLabel>(f(), "Label24")->text() == "Sky: Blue");
        app->dialogs.colour = 0x123456;
        menu->findChild<QAction*>("PickColour1")->trigger();
        QCOMPARE((std::pair{s.palette.paletteCode, s.palette.markerColour}), (std::pair{88, 0x123456}));
        QCOMPARE(designed<QLabel>(f(), "Label24")->text(), QString("Custom"));
        // Clear is offered only with the object panel; the hint goes once the menu opens.
        for (bool panel : {true, false}) {
            image->objectPanelMenu->actions().front()->trigger();
            image->popupPaletteMenu(QPoint(10, 10));
            QVERIFY(image->objectPanel->isVisible() == panel && image->clearItem->isVisible() == panel);
            QVERIFY(image->canvas->toolTip().isEmpty());
            menu->hide();
        }
    }

    // A damaged file leaves no window and a usable program (every kind of
    // damage is refused below the windows); a window closed from its frame
    // ends its picture.
    void damagedFileThenClosingFromTheFrame() {
        app = std::make_unique<App>();
        app->dialogs.opens.push_back({cwtest::testdata("bad/truncated-half.bmp")});
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton1"), Qt::LeftButton);
        QCOMPARE(app->messages.shown, std::vector<std::string>{kInvalidImageMessage});
        QCOMPARE(subWindows(), 0);
        QVERIFY(f().isEnabled() && !f().progressWindow()->isVisible() && designed<QPushButton>(f(), "ExplorerButton1")->text() == "Load Image");
        f().loadPath(cwtest::testdata("bmp/rgb24.bmp"));
        QCOMPARE(subWindows(), 1);
        frames(f())->subWindowList().front()->close();  // from its frame: the picture ends
        QCOMPARE(subWindows(), 0);
        QVERIFY(!session().imageWindowOpen && designed<QPushButton>(f(), "ExplorerButton1")->text() == "Load Image");
    }

    // A crop pending on a picture ends with it: Restore, or Clear Image and a
    // load (named as on the command line), leave Re-set zero-setting.
    void noCropOutlivesItsPicture_data() {
        QTest::addColumn<bool>("restore");
        QTest::newRow("Restore") << true;
        QTest::newRow("Clear Image, load") << false;
    }
    void noCropOutlivesItsPicture() {
        QFETCH(bool, restore);
        QVERIFY(QFile::copy(QString::fromStdString(cwtest::testdata("bmp/rgb24.bmp")), "picture.bmp"));
        app = std::make_unique<App>();
        f().loadPath("./picture.bmp");
        designed<QToolButton>(f(), "SpeedButton4")->click();
        QVERIFY(QTest::qWaitForWindowExposed(f().imageWindow()));
        drag(f().imageWindow()->canvas, {at(2, 2), at(20, 15)});
        QCOMPARE(f().imageWindow()->resetButton->text(), QString("Cr&op"));
        if (restore) QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton3"), Qt::LeftButton);
        else QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton1"), Qt::LeftButton), f().loadPath("picture.bmp");
        f().imageWindow()->paletteMenu->hide();
        QVERIFY(f().imageWindow()->resetButton->text() == "Zer&o-set" && f().imageWindow()->windowTitle() == home->path() + "/picture.bmp");
    }

    // Closing the main window ends the program whichever other window is up:
    // a modal one ends its own loop, and none stays open.
    void closingTheMainWindowClosesEveryOther_data() {
        QTest::addColumn<QString>("other");
        for (const char* row : {"agreement being read", "about", "print options", "zoomed view"}) QTest::newRow(row) << QString(row);
    }
    void closingTheMainWindowClosesEveryOther() {
        QFETCH(QString, other);
        app = std::make_unique<App>("bmp/rgb24.bmp");
        bool modalLeft = false;
        auto closeOver = [&](QPushButton* opener) {
            whenModal([&](QWidget* modal) {
                f().close();
                if ((modalLeft = modal->isVisible() || QApplication::activeModalWidget() == modal)) static_cast<QDialog*>(modal)->reject();
            });
            QTest::mouseClick(opener, Qt::LeftButton);
        };
        if (other == "about") closeOver(designed<QPushButton>(f(), "ExplorerButton15"));
        else if (other == "print options") closeOver(designed<QPushButton>(f(), "ExplorerButton4"));
        else {
            if (other == "zoomed view") QTest::mouseClick(f().imageWindow()->zoomButton, Qt::LeftButton);
            else app->app.agreementWindow().showForReading();
            QVERIFY(f().zoomWindow()->isVisible() || app->app.agreementWindow().isVisible());
            f().close();
        }
        QVERIFY(!modalLeft);
        for (QWidget* w : QApplication::topLevelWidgets()) QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    }
    // Each key gives its row from the main window and from inside the image window, and the control that gives the
    // row names the key in its tip. The desktop's keys are those of the platform the tests run on.
    void keysGiveTheirRows() {
        app = std::make_unique<App>("bmp/rgb24.bmp");
        const Session& s = session();
        QWidget *main = &f(), *image = f().imageWindow()->undoButton;
        const Bitmap loaded = ws().colour.clone();
        pointerTap(session(), MouseButton::Left, false, 2, 2);  // a brush stroke for the history's keys
        const Bitmap painted = ws().colour.clone();
        QVERIFY(!cwtest::samePixels(loaded, painted));
        // The step is recorded on the recorder's thread; its notice to the main window alone brings the Undo button up.
        QToolButton* undoStepButton = f().imageWindow()->historyUndoButton;
        QDeadlineTimer noticed(5000);
        while (!undoStepButton->isEnabled() && !noticed.hasExpired()) {
            QCoreApplication::sendPostedEvents(&f(), QEvent::MetaCall);
            QThread::msleep(1);
        }
        QVERIFY(undoStepButton->toolTip().startsWith("Undo Brush"));
        auto shows = [&](const Bitmap& b) { return [&] { return cwtest::samePixels(ws().colour, b); }; };
        ImageWindow* pictureWindow = f().imageWindow();
        auto tool = [&](int32_t id) { return [&s, id, b = designed<QToolButton>(f(), QString("SpeedButton%1").arg(id))] { return s.tools.currentTool == id && b->isChecked(); }; };
        auto brush = [&s](int32_t size) { return [&s, size] { return s.tools.brushWidthField == size && s.tools.brushHeightField == size; }; };
        auto named = [&](const char* name) { return designed(f(), name); };
        const struct { const char* key; QWidget *to, *tip; const char* modal; std::function<bool()> ran; } steps[] = {
            {"[", main, named("MaskEdit2"), nullptr, brush(9)}, {"]", image, named("MaskEdit3"), nullptr, brush(10)},
            {"M", image, named("SpeedButton4"), nullptr, tool(kToolRectangle)},
            {"S", main, named("SpeedButton3"), nullptr, tool(kToolSelectionPaint)},
            {"F", image, named("SpeedButton2"), nullptr, tool(kToolTouch)},
            {"B", main, named("SpeedButton1"), nullptr, tool(kToolBrush)},
            {"Ctrl+Z", image, pictureWindow->historyUndoButton, nullptr, shows(loaded)},
            {"Ctrl+Shift+Z", main, pictureWindow->historyRedoButton, nullptr, shows(painted)},
            {"Ctrl+Z", main, nullptr, nullptr, shows(loaded)},
            {"Ctrl+Y", image, nullptr, nullptr, shows(painted)},
            {"Ctrl+Shift+S", image, named("ExplorerButton5"), nullptr, [&] { return app->dialogs.asked.size() == 1 && app->dialogs.asked[0].title == kSaveTitle; }},
            {"Ctrl+P", main, named("ExplorerButton4"), "Form3", [] { return true; }},
            {"F1", image, named("ExplorerButton15"), "Form5", [] { return true; }},
            {"Ctrl+W", image, named("ExplorerButton1"), nullptr, [&] { return !s.imageWindowOpen; }},
            {"Ctrl+O", main, named("ExplorerButton1"), nullptr, [&] { return s.imageWindowOpen; }},
            {"Ctrl+Q", main, nullptr, nullptr, [&] { return !f().isVisible(); }},
        };
        app->dialogs.opens.push_back({cwtest::testdata("bmp/rgb24.bmp")});
        for (const auto& step : steps) {
            const QString tip = step.tip ? step.tip->toolTip() : QString();  // "Print (Ctrl+P)", "Select Brush-width ([, ])"
            if (step.tip) QVERIFY2(tip.endsWith(')') && tip.mid(tip.lastIndexOf(" (") + 2).chopped(1).split(", ").contains(step.key), qPrintable(tip));
            QString opened;
            if (step.modal) whenModal([&opened](QWidget* modal) { opened = modal->objectName(), static_cast<QDialog*>(modal)->reject(); });
            f().activateWindow();  // as the desktop does again when a dialog closes
            QVERIFY(QTest::qWaitForWindowActive(&f()));
            step.to->setFocus();
            QTest::keySequence(step.to, QKeySequence(step.key));
            QVERIFY2(step.ran() && opened == (step.modal ? step.modal : ""), step.key);
            if (f().imageWindow()) f().imageWindow()->paletteMenu->hide();  // a load offers it
        }
    }

    // A picture file dropped on the window loads as Load Image does, in place of the open one; anything else dropped
    // is turned away without a word.
    void droppedPicturesLoad() {
        app = std::make_unique<App>();
        QTemporaryDir dir;
        QFile(dir.filePath("notes.txt")).open(QIODevice::WriteOnly);
        QDir(dir.path()).mkdir("folder.bmp");
        QFile::copy(QString::fromStdString(cwtest::testdata("photos/camera.jpg")), dir.filePath("CAMERA.JPG"));
        const struct { QStringList files; const char* text; int width; } drops[] = {
            {{dir.filePath("notes.txt"), dir.filePath("folder.bmp")}, nullptr, 0}, {{}, "bmp/rgb24.bmp", 0},
            {{dir.filePath("notes.txt"), QString::fromStdString(cwtest::testdata("bmp/rgb24.bmp"))}, nullptr, 37},
            {{dir.filePath("CAMERA.JPG")}, nullptr, 512},
            {{QString::fromStdString(cwtest::testdata("tiff/orientation-6.tif"))}, nullptr, 37},  // stored turned: 23 wide
        };
        for (const auto& d : drops) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& file : d.files) urls << QUrl::fromLocalFile(file);
            data.setUrls(urls);
            if (d.text) data.setText(d.text);
            // To the window, which hands them to the widget under the point that takes drops.
            QDragEnterEvent enter(QPoint(600, 400), Qt::CopyAction, &data, Qt::LeftButton, {});
            QDropEvent drop(QPointF(600, 400), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(f().windowHandle(), &enter), QCoreApplication::sendEvent(f().windowHandle(), &drop);
            QCOMPARE((std::tuple{enter.isAccepted(), subWindows(), session().ws ? session().ws->width : 0}), (std::tuple{d.width > 0, d.width > 0, d.width}));
        }
        QVERIFY(app->messages.shown.empty() && app->dialogs.asked.empty());
    }

    // Unsaved colouring goes only when the user says so, whichever way its picture would go: Save saves it first
    // (and the picture stays when that save does not happen), Discard lets it go, Cancel keeps everything as it was.
    // Scan Image leaves an open picture alone.
    void unsavedChangesAreOfferedForSaving_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<int>("answer");  // a SaveChoice; -1: Save, and the save dialog cancelled
        const std::pair<const char*, int> answers[] = {{"Save", int(SaveChoice::Save)}, {"Save, not saved", -1},
                                                       {"Discard", int(SaveChoice::Discard)}, {"Cancel", int(SaveChoice::Cancel)}};
        for (const char* trigger : {"Clear Image", "Restore", "Ctrl+O", "drop", "main window closed", "image window closed"})
            for (const auto& [name, answer] : answers) QTest::addRow("%s, %s", trigger, name) << QString(trigger) << answer;
        QTest::newRow("Scan Image") << QString("Scan Image") << int(SaveChoice::Discard);
    }
    void unsavedChangesAreOfferedForSaving() {
        QFETCH(QString, trigger);
        QFETCH(int, answer);
        app = std::make_unique<App>("bmp/rgb24.bmp");
        QVERIFY(QTest::qWaitForWindowExposed(f().imageWindow()));
        drag(f().imageWindow()->canvas, {at(5, 5), at(20, 12)});  // with the brush
        const Bitmap painted = ws().colour.clone();
        QVERIFY(ws().imageModified && !cwtest::samePixels(painted, ws().source));
        QTemporaryDir out;
        const std::string saved = (out.path() + "/saved.bmp").toStdString(), other = cwtest::testdata("photos/camera-24.bmp");
        app->messages.choice = answer < 0 ? SaveChoice::Save : SaveChoice(answer);
        app->dialogs.saves.push_back(answer < 0 ? std::nullopt : std::optional(saved));
        app->dialogs.opens.push_back({other});
        if (trigger == "Clear Image") QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton1"), Qt::LeftButton);
        else if (trigger == "Restore") QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton3"), Qt::LeftButton);
        else if (trigger == "Scan Image") QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton14"), Qt::LeftButton);
        else if (trigger == "main window closed") f().close();
        else if (trigger == "image window closed") frames(f())->subWindowList().front()->close();
        else if (trigger == "Ctrl+O") {
            for (QAction* key : f().actions())
                if (key->shortcuts().contains(QKeySequence("Ctrl+O"))) key->trigger();
        } else {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QString::fromStdString(other))});
            QDragEnterEvent enter(QPoint(600, 400), Qt::CopyAction, &data, Qt::LeftButton, {});
            QDropEvent drop(QPointF(600, 400), Qt::CopyAction, &data, Qt::LeftButton, {});
            QCoreApplication::sendEvent(f().windowHandle(), &enter), QCoreApplication::sendEvent(f().windowHandle(), &drop);
        }
        const bool asked = trigger != "Scan Image", goes = asked && answer >= 0 && answer != int(SaveChoice::Cancel);
        QCOMPARE(app->messages.shown, asked ? std::vector<std::string>{"Save the changes to " + cwtest::testdata("bmp/rgb24.bmp") + "?"}
                                            : std::vector<std::string>{});
        QCOMPARE(QFileInfo::exists(QString::fromStdString(saved)), answer == int(SaveChoice::Save));
        if (answer == int(SaveChoice::Save)) QVERIFY(cwtest::samePixels(readBmp(saved), painted));
        const bool open = session().imageWindowOpen && session().ws;
        QCOMPARE(open && cwtest::samePixels(ws().colour, painted) && ws().imageModified && f().isVisible(), !goes);
        if (!goes) return;
        if (trigger == "Restore") QVERIFY(open && cwtest::samePixels(ws().colour, ws().source) && !ws().imageModified);
        else if (trigger == "main window closed") QVERIFY(!f().isVisible());
        else QCOMPARE(open ? ws().width : subWindows(), trigger.contains("Clear") || trigger.contains("closed") ? 0 : 512);
    }

    // On the smallest display the program runs on, with every bar out and each tool's groups, the window fits and
    // every label and control of its bars and panels shows its whole text.
    void nothingIsCutOff() {
        MainWindow& f = windowWithPicture();
        for (const Tool* tool : toolBar()) {
            button(f, tool)->click();
            f.resize(800, 600);
            QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCOMPARE(f.size(), QSize(800, 600));
            for (QWidget* w : f.findChildren<QWidget*>())
                if (w->isVisible() && !frames(f)->isAncestorOf(w) && (w->inherits("QLabel") || w->inherits("QAbstractButton") || w->inherits("QGroupBox")))
                    QVERIFY2(w->width() >= w->minimumSizeHint().width() && w->height() >= w->fontMetrics().height(),
                             qPrintable(w->objectName() + " " + w->property("text").toString() + w->property("title").toString()));
        }
    }

    // Where the desktop has nothing that opens the help pages, a help window of ours shows them and follows their links.
    void helpPagesWithoutABrowser() {
        QDesktopServices::setUrlHandler("file", &browser, "missing");  // a handler that cannot be called
        app = std::make_unique<App>();
        QUrl first, next;
        whenModal([&](QWidget* about) {
            QTest::mouseClick(static_cast<AboutWindow*>(about)->helpLink, Qt::LeftButton);
            if (auto* help = f().findChild<QTextBrowser*>("HelpWindow"); help && help->isVisible()) {
                first = help->source();
                QTest::keyClick(help, Qt::Key_Tab), QTest::keyClick(help, Qt::Key_Return);  // its first link
                next = help->source();
                help->close();
            }
            static_cast<QDialog*>(about)->reject();
        });
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton15"), Qt::LeftButton);
        QCOMPARE(first.fileName(), QString(kHelpIndexPage));
        QVERIFY2(next.toLocalFile() != first.toLocalFile() && QFileInfo::exists(next.toLocalFile()), qPrintable(next.toString()));
    }

    void eachButtonShowsItsTool_data() {
        QTest::addColumn<const Tool*>("tool");
        QTest::addColumn<int>("before");  // Overwrite, then Layered, as bits
        // Over the picture: a cross to aim the brush, a hand pointing at a tone, an open hand to drag a band.
        QTest::addColumn<Qt::CursorShape>("pointer");
        const std::map<std::string_view, Qt::CursorShape> pointers{{"brush", Qt::CrossCursor}, {"touch", Qt::PointingHandCursor},
                                                                   {"rectangle", Qt::OpenHandCursor}, {"selection-paint", Qt::OpenHandCursor}};
        for (const Tool* tool : toolBar())
            for (int state = 0; state < 4; ++state)
                QTest::addRow("%s, overwrite %d, layered %d", std::string(tool->name()).c_str(), state & 1, state >> 1)
                    << tool << state << pointers.at(tool->name());
    }
    void eachButtonShowsItsTool() {
        QFETCH(const Tool*, tool);
        QFETCH(int, before);
        QFETCH(Qt::CursorShape, pointer);
        paintingWindow();
        // From a tool with another pointer shape, with the zoomed view open.
        button(f(), *std::find_if(toolBar().begin(), toolBar().end(), [&](const Tool* t) { return t->cursor() != tool->cursor(); }))->click();
        QTest::mouseClick(f().imageWindow()->zoomButton, Qt::LeftButton);
        QVERIFY(f().zoomWindow()->isVisible());
        session().tools.overwrite = before & 1, session().tools.layered = before & 2;
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        const QRect where = designed<QToolButton>(f(), "SpeedButton2")->geometry();
        QTest::mouseClick(button(f(), tool), Qt::LeftButton);
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCOMPARE(designed<QToolButton>(f(), "SpeedButton2")->geometry(), where);  // the buttons stay under the pointer
        QVERIFY(button(f(), tool)->isChecked() && session().tools.currentTool == tool->id());
        const ToolGroups g = tool->groups();
        QCOMPARE((QList<bool>{!designed(f(), "OverwriteGroup")->isHidden(), designed(f(), "OverwriteGroup")->isEnabled(), !designed(f(), "IntegrationGroup")->isHidden(),
                              designed(f(), "IntegrationGroup")->isEnabled(), !designed(f(), "Panel8")->isHidden(), designed(f(), "Panel8")->isEnabled()}),
                 (QList<bool>{g.overwriteShown, g.overwriteShown, g.integrationShown, g.integrationShown, g.brushShown, g.brushShown}));
        QVERIFY(designed<QSpinBox>(f(), "SpinEdit1")->isVisible() && designed<QSpinBox>(f(), "SpinEdit1")->isEnabled());  // Complexity stays
        const SwitchesOnSelect rule = tool->switchesOnSelect();
        const bool kept = rule == SwitchesOnSelect::Kept, on = rule == SwitchesOnSelect::Checked;
        QCOMPARE((std::pair{designed<QCheckBox>(f(), "CheckBox8")->isChecked(), designed<QCheckBox>(f(), "CheckBox10")->isChecked()}),
                 (std::pair{kept ? bool(before & 1) : on, kept ? bool(before & 2) : on}));
        QCOMPARE(designed<QLabel>(f(), "Image1")->toolTip(), QString(tool->hint()));
        const QImage picture = designed<QLabel>(f(), "Image1")->pixmap().toImage();
        for (const Tool* other : toolBar())  // each tool's picture is its own
            QCOMPARE(button(f(), other)->icon().pixmap(24, 24).toImage() == picture, other == tool);
        QCOMPARE(view->cursor().shape(), pointer);
        QCOMPARE(f().zoomWindow()->picture->cursor().shape(), pointer);
    }

    // A selection only from its top left, shown as a band; the brush; the
    // read-outs; a right click; Touch-paint; the zoomed view of a selection,
    // painting through it, and every later zoomed view starting fresh.
    void gesturesAndTheZoomedView_data() {
        QTest::addColumn<bool>("clearFirst");  // Clear Image and load again before the next Zoom
        QTest::newRow("another Zoom") << false;
        QTest::newRow("Clear Image, load, Zoom") << true;
    }
    void gesturesAndTheZoomedView() {
        QFETCH(bool, clearFirst);
        paintingWindow();
        designed<QToolButton>(f(), "SpeedButton4")->click();
        drag(view, {at(50, 40), at(10, 90)});
        QVERIFY(!session().ws->selectionActive && f().imageWindow()->resetButton->text() == "Zer&o-set");
        drag(view, {at(10, 40), at(30, 60), at(50, 90)});
        QVERIFY(session().ws->selectionActive && f().imageWindow()->resetButton->text() == "Cr&op");
        QCOMPARE(session().pointer.paintLimitRect, (Rect{10, 40, 50, 90}));
        const QImage shown = view->grab(QRect(at(0, 0), QSize(100, 100))).toImage();  // the band: the outline complemented
        QCOMPARE(shown.pixel(10, 60) & 0xffffffu, (session().ws->colour.at(10, 60) ^ 0xffffffu) & 0xffffffu);
        designed<QToolButton>(f(), "SpeedButton1")->click();
        // (QTest takes the point (0, 0) for "the widget's centre", so start one in.)
        drag(view, {at(1, 1), at(2, 1)});
        QCOMPARE(cwtest::codeBox(ws(), 1), (Rect{0, 0, 12, 11}));  // a disc around each point, within its window
        QTest::mouseMove(view, at(120, 7));
        QCOMPARE(f().imageWindow()->positionLabel->text(), QString(" x:120  y:7 "));
        const uint32_t c = session().ws->display.at(120, 7);
        QCOMPARE(f().imageWindow()->colourLabel->text(), QString(" R:%1 G:%2 B:%3 ").arg(redOf(c)).arg(greenOf(c)).arg(blueOf(c)));
        // A right click picks the code under the pointer and asks for the menu.
        session().history.settle();  // written here as a tool would: after the recorder
        session().ws->codes[20 * 512 + 30] = 6;
        const Bitmap painted = ws().colour.clone();
        QSignalSpy menu(f().imageWindow(), &ImageWindow::paletteMenuRequested);
        QTest::mouseMove(view, at(30, 20));
        QTest::mouseClick(view, Qt::RightButton, {}, at(30, 20));
        QVERIFY(session().palette.paletteCode == 6 && menu.count() == 1 && cwtest::samePixels(ws().colour, painted));
        f().imageWindow()->paletteMenu->hide();
        designed<QToolButton>(f(), "SpeedButton2")->click();  // Touch-paint only when released over the 512-wide picture
        QTest::mouseMove(view, at(40, 50));
        QTest::mousePress(view, Qt::LeftButton, {}, at(40, 50));
        QTest::mouseRelease(view, Qt::LeftButton, {}, at(512, 50));
        QVERIFY(cwtest::samePixels(ws().colour, painted));
        QTest::mouseClick(view, Qt::LeftButton, {}, at(40, 50));
        QVERIFY(ws().codes[50 * 512 + 40] == 6 && count(6) > 1);
        designed<QToolButton>(f(), "SpeedButton4")->click();
        drag(view, {at(10, 10), at(50, 30)});
        f().imageWindow()->zoomFactorBox->setValue(3);
        QTest::mouseClick(f().imageWindow()->zoomButton, Qt::LeftButton);
        ZoomWindow* zoomed = f().zoomWindow();
        QVERIFY(zoomed->isVisible() && zoomed->windowTitle() == "\"3X\" Zoom`ed View" && zoomed->picture->size() == QSize(117, 57));
        // Each picture pixel shows as a 3 x 3 block.
        QCOMPARE(zoomed->picture->grab().toImage().pixel(4, 7) | 0xff000000u, session().ws->display.at(12, 13));
        QTest::mouseClick(zoomed->autoSyncOffButton, Qt::LeftButton);
        QVERIFY(!session().zoom.autoSync);
        // The brush through the zoomed view: view (30, 12) is picture (21, 15).
        designed<QToolButton>(f(), "SpeedButton1")->click();
        f().imageWindow()->paletteMenu->findChild<QAction*>("Sapphire1")->trigger();  // a code nothing has yet
        drag(zoomed->picture, {QPoint(30, 12), QPoint(33, 12)});
        QCOMPARE(cwtest::codeBox(ws(), int8_t(session().palette.paletteCode)), (Rect{12, 5, 32, 25}));
        QCOMPARE(zoomed->positionLabel->text(), QString(" x:33  y:12 "));
        if (clearFirst) {
            QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton1"), Qt::LeftButton);
            QVERIFY(!session().imageWindowOpen && !zoomed->isVisible() && !session().zoom.exists && session().zoom.sourceRect == Rect{});
            f().loadPath(cwtest::testdata("photos/camera-24.bmp"));
            f().imageWindow()->paletteMenu->hide();
        }
        // Without a selection the next Zoom shows the whole 512 x 512 picture.
        QTest::mouseClick(f().imageWindow()->zoomButton, Qt::LeftButton);
        QVERIFY(zoomed->isVisible() && session().zoom.autoSync && zoomed->autoSyncOnButton->isChecked() && zoomed->positionLabel->text().isEmpty());
        QCOMPARE(session().zoom.sourceRect, (Rect{1, 1, 510, 510}));
    }

    // Each tool reaches the picture pixel under the pointer at every scale:
    // a brush stroke, a band that limits the next Touch-paint, and that
    // Touch-paint leave the same pixels and codes as at 100 %; the read-out
    // names the pixel under the pointer. The picture points are multiples of
    // 4, which a view at 25 % can point at.
    void toolsWorkInPicturePixelsAtEveryScale() {
        std::optional<std::pair<Bitmap, std::vector<int8_t>>> actual;
        for (const double scale : {1.0, 0.25, 4.0}) {
            app = std::make_unique<App>("photos/camera-24.bmp");
            QVERIFY(QTest::qWaitForWindowExposed(f().imageWindow()));
            f().imageWindow()->paletteMenu->findChild<QAction*>("SkyBlue1")->trigger();
            PictureView* v = f().imageWindow()->view;
            v->setScale(scale, QPointF(0, 0));
            // Into the middle of an enlarged pixel: a pointer rounded to the nearest pixel would miss it.
            const QPoint inside(int(scale / 2), int(scale / 2));
            auto path = [&](std::initializer_list<QPoint> picturePoints) {
                QList<QPoint> shown;
                for (QPoint p : picturePoints) shown << at(p.x(), p.y()) + inside;
                return shown;
            };
            auto gesture = [&](const QList<QPoint>& points) {
                QTest::mouseMove(view = f().imageWindow()->canvas, points.front());
                QTest::mousePress(view, Qt::LeftButton, {}, points.front());
                for (QPoint p : points.mid(1)) QTest::mouseMove(view, p);
                QTest::mouseRelease(view, Qt::LeftButton, {}, points.back());
            };
            gesture(path({{40, 40}, {60, 44}, {96, 60}}));
            designed<QToolButton>(f(), "SpeedButton4")->click();
            gesture(path({{100, 20}, {200, 100}, {300, 160}}));
            QCOMPARE(session().pointer.paintLimitRect, (Rect{100, 20, 300, 160}));
            designed<QToolButton>(f(), "SpeedButton2")->click();
            gesture(path({{200, 40}}));
            QTest::mouseMove(view, at(120, 8) + inside);
            QCOMPARE(f().imageWindow()->positionLabel->text(), QString(" x:120  y:8 "));
            // What shows is the painted picture: each view pixel the mean of the pixels it covers.
            const int block = std::max(1, int(1 / scale));
            const QImage shownImage = view->grab().toImage();
            for (int y = 20; y < 140; y += 20)
                for (int x = 100; x < 250; x += 28) {
                    std::array<int, 3> sum{};
                    for (int dy = 0; dy < block; ++dy)
                        for (int dx = 0; dx < block; ++dx) {
                            const uint32_t c = ws().display.at(x + dx, y + dy);
                            sum[0] += int(redOf(c)), sum[1] += int(greenOf(c)), sum[2] += int(blueOf(c));
                        }
                    const QRgb shown = shownImage.pixel(at(x, y) + inside);
                    for (auto [got, want] : {std::pair{qRed(shown), sum[0]}, {qGreen(shown), sum[1]}, {qBlue(shown), sum[2]}})
                        QVERIFY2(std::abs(got * block * block - want) <= 3 * block * block, qPrintable(QString("%1, %2 at %3 %").arg(x).arg(y).arg(scale * 100)));
                }
            QCOMPARE(f().imageWindow()->scaleLabel->text(), QString("%1%").arg(scale * 100));
            std::pair painted{ws().display.clone(), std::vector<int8_t>(ws().codes.get(), ws().codes.get() + ws().pixelCount())};
            if (!actual) actual = std::move(painted);
            else QVERIFY2(painted.second == actual->second && std::equal(painted.first.data(), painted.first.data() + ws().pixelCount(), actual->first.data()),
                          qPrintable(QString("at %1 %").arg(scale * 100)));
        }
        QVERIFY(std::count(actual->second.begin(), actual->second.end(), int8_t(6)) > 100);
    }

    // The view's keys and the wheel: Ctrl+wheel keeps the pixel under the
    // pointer where it is; the frame's size carries the image window.
    void viewScaleKeysWheelAndFrameSize_data() {
        QTest::addColumn<QKeySequence>("key");
        QTest::addColumn<double>("scale");  // 0 for Fit
        QTest::newRow("Ctrl+1") << QKeySequence("Ctrl+1") << 1.0;
        QTest::newRow("Ctrl++") << QKeySequence("Ctrl++") << 1.5;
        QTest::newRow("Ctrl+-") << QKeySequence("Ctrl+-") << 2.0 / 3;
        QTest::newRow("Ctrl+0") << QKeySequence("Ctrl+0") << 0.0;
    }
    void viewScaleKeysWheelAndFrameSize() {
        QFETCH(QKeySequence, key);
        QFETCH(double, scale);
        app = std::make_unique<App>("photos/camera-24.bmp");
        PictureView* v = f().imageWindow()->view;
        f().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f()) && v->scale() == 1 && !v->fitting());
        f().imageWindow()->view->setFocus();
        QTest::keySequence(f().imageWindow()->view, key);  // a button's key clicks it after a short show
        QTRY_VERIFY(scale ? v->scale() == scale : v->fitting());
        const QRectF shown = v->pictureRectInView(), room = v->viewport()->rect();
        QVERIFY(scale || (room.contains(shown) && (shown.width() == room.width() || shown.height() == room.height())));
        v->setScale(3);  // larger than the window: the wheel's point can stay put
        const QPoint pointer(300, 200), under = v->viewToPicture(pointer);
        const double twoUp = PictureView::nextScale(PictureView::nextScale(v->scale(), 1), 1);
        QWheelEvent wheel(pointer, v->viewport()->mapToGlobal(pointer), {}, QPoint(0, 240), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(v->viewport(), &wheel);
        QVERIFY(v->scale() == twoUp && !v->fitting());
        QCOMPARE(v->viewToPicture(pointer), under);
        // A middle-button drag, or a left one with Space held, pans and paints nothing.
        for (const bool space : {false, true}) {
            const QPoint to = pointer + QPoint(-60, -30), grabbed = v->viewToPicture(pointer);
            if (space) QTest::keyPress(v, Qt::Key_Space);
            QTest::mousePress(v->viewport(), space ? Qt::LeftButton : Qt::MiddleButton, {}, pointer);
            QTest::mouseMove(v->viewport(), to);
            QTest::mouseRelease(v->viewport(), space ? Qt::LeftButton : Qt::MiddleButton, {}, to);
            if (space) QTest::keyRelease(v, Qt::Key_Space);
            QCOMPARE(v->viewToPicture(to), grabbed);
        }
        QCOMPARE(count(0), ws().pixelCount());
        f().resize(f().width() - 150, f().height() - 120);
        QTRY_COMPARE(f().imageWindow()->parentWidget()->geometry(), frames(f())->viewport()->rect());
    }

    // The print options' rules, the jobs they refuse, and a print to PDF that
    // holds the picture where the options put it.
    void printsThePictureWhereTheOptionsPutIt() {
        app = std::make_unique<App>("photos/camera-24.bmp");
        QTemporaryDir out;
        const QString pdf = out.path() + "/print.pdf";
        PrintWindow& options = app->app.printWindow();  // the options' rules first
        QVERIFY(options.leftMarginField->text() == "   0" && !options.horizontalFactorField->isEnabled());
        options.leftMarginField->setText("  50");
        QTest::mouseClick(options.centreHorizontallyBox, Qt::LeftButton);
        QVERIFY(options.leftMarginField->text() == "0" && !options.leftMarginField->isEnabled());
        QTest::mouseClick(options.centreHorizontallyBox, Qt::LeftButton), QTest::mouseClick(options.enlargeHorizontallyBox, Qt::LeftButton);  // Enlarge
        QVERIFY(options.leftMarginField->isEnabled() && options.horizontalFactorField->isEnabled());
        QTest::mouseClick(options.reduceHorizontallyBox, Qt::LeftButton), QTest::mouseClick(options.reduceVerticallyBox, Qt::LeftButton);  // then Reduce
        QVERIFY(options.reduceHorizontallyBox->isChecked() && !options.enlargeHorizontallyBox->isChecked() && options.horizontalFactorField->isEnabled());
        for (auto [edit, typed, kept] : {std::tuple{options.leftMarginField, "-999", "999"}, {options.topMarginField, "1a2b", "12"},
                                         {options.topMarginField, "  7", "  7"}, {options.horizontalFactorField, "+7", "7"}}) {
            edit->clear();
            QTest::keyClicks(edit, typed);
            QCOMPARE(edit->text(), QString(kept));  // digits and blanks only
        }
        QTest::mouseClick(options.fitPageBox, Qt::LeftButton);  // fit
        for (QCheckBox* c : {options.enlargeHorizontallyBox, options.reduceHorizontallyBox, options.enlargeVerticallyBox, options.reduceVerticallyBox}) QVERIFY(!c->isChecked() && !c->isEnabled());
        QVERIFY(options.horizontalFactorField->text() == "0" && options.verticalFactorField->text() == "0");
        QTest::mouseClick(options.fitPageBox, Qt::LeftButton);
        QVERIFY(options.enlargeHorizontallyBox->isEnabled());
        QPrinter& printer = options.printer();
        printer.setOutputFormat(QPrinter::PdfFormat), printer.setOutputFileName(pdf), printer.setResolution(100), printer.setFullPage(true);
        options.leftMarginField->setText(" 100");
        // The print button with `margin` in the top field, the options answered with `button`.
        auto print = [&](const char* margin, QPushButton* button) {
            options.topMarginField->setText(margin);
            app->messages.shown.clear();
            whenModal([&](QWidget* modal) {
                QCOMPARE(modal, static_cast<QWidget*>(&options));
                QTest::mouseClick(button, Qt::LeftButton);
            });
            QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton4"), Qt::LeftButton);
        };
        // A field with no digits, and Abort in the options, start no job.
        print("    ", options.printNowButton);
        QCOMPARE(app->messages.shown, std::vector<std::string>{"'    ' is not a valid integer value"});
        print("0", options.abortButton);
        QVERIFY(app->messages.shown.empty() && !QFile::exists(pdf));
        // The printer's own failure reaches the error box, with the file system's reason.
        printer.setOutputFileName(out.filePath("missing/print.pdf"));
        print("0", options.printNowButton);
        const QString why = QString(kPrintFailed).arg(out.filePath("missing/print.pdf"), "No such file or directory");
        QCOMPARE(app->messages.shown, std::vector<std::string>{why.toStdString()});
        QCOMPARE(f().statusBar()->currentMessage(), QString());
        RefusingPrinter refusing(out.filePath("refused.pdf"));  // a refusal after the hand-over shows only in the state
        QCOMPARE(printPage(refusing, QImage(8, 8, QImage::Format_RGB32), QRect(10, 10, 8, 8)),
                 QString(kPrintFailed).arg(out.filePath("refused.pdf"), "the printer reported an error"));
        printer.setOutputFileName(pdf);
        print("  50", options.printNowButton);
        QCOMPARE(app->messages.shown, std::vector<std::string>{});
        QCOMPARE(f().statusBar()->currentMessage(), "Printed 1 page(s) to " + pdf);
        if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) QSKIP("pdftoppm (poppler-utils) is not installed");
        QCOMPARE(QProcess::execute("pdftoppm", {"-r", "100", "-png", "-singlefile", pdf, out.path() + "/page"}), 0);
        const QImage page(out.path() + "/page.png");
        // Paper is white outside the picture; inside it shows the photo.
        QVERIFY(QColor(page.pixel(60, 30)) == Qt::white && QColor(page.pixel(100 + 530, 50 + 200)) == Qt::white);
        int close = 0;
        for (int y = 20; y < 500; y += 37)
            for (int x = 20; x < 500; x += 41)
                close += std::abs(qGray(page.pixel(100 + x, 50 + y)) - int(blueOf(ws().display.at(x, y)))) <= 24;
        QVERIFY2(close >= 140, qPrintable(QString("only %1 of 156 samples match").arg(close)));
    }

    void aUserInputReachesItsValueOnly_data() {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < std::size(kControls); ++i) QTest::newRow(kControls[i].label) << int(i);
    }
    void aUserInputReachesItsValueOnly() {
        QFETCH(int, row);
        const Control& c = kControls[row];
        MainWindow& f = windowWithPicture();
        if (c.touch) give(designed<QToolButton>(f, "SpeedButton2"), Click);
        if (c.first) give(control(c.first).widget(f), Click);
        QWidget* w = c.widget(f);
        QVERIFY2(w->isVisible() && w->isEnabled(), "a user can reach it");
        const int before = shown(w);
        const auto values = documentValues(f.session());
        give(w, c.input);
        QVERIFY2(shown(w) != before && c.holds(f.session()) == shown(w), "the input changed the control and its value");
        const auto now = documentValues(f.session());
        for (const auto& [value, was] : values)
            if (value != c.value && (!c.also || value != c.also))
                QVERIFY2(now.at(value) == was, qPrintable(QString("%1 changed %2 as well").arg(c.label, value.c_str())));
        everyControlShowsTheDocument(f);
    }

    void actionsLeaveEveryControlShowingTheDocument_data() {
        QTest::addColumn<int>("scenario");
        for (size_t i = 0; i < std::size(kScenarios); ++i) QTest::newRow(kScenarios[i].name) << int(i);
    }
    void actionsLeaveEveryControlShowingTheDocument() {
        QFETCH(int, scenario);
        const Scenario& sc = kScenarios[scenario];
        MainWindow& f = windowWithPicture();
        if (sc.touch) give(designed<QToolButton>(f, "SpeedButton2"), Click);
        for (const char* label : sc.prepare) give(control(label).widget(f), control(label).input);
        everyControlShowsTheDocument(f);
        QWidget* clicked = sc.act ? sc.act(f) : nullptr;
        std::map<std::string, QString> before{{"Hue", designed<QLabel>(f, "Label24")->text()}};
        std::vector<std::pair<const char*, std::unique_ptr<QSignalSpy>>> spies;
        for (const Control& c : kControls) {
            before[c.label] = QString::number(shown(c.widget(f)));
            if (c.widget(f) != clicked) spies.emplace_back(c.label, changeSpy(c.widget(f)));
        }
        if (clicked) give(clicked, Click);
        else f.imageWindow()->paletteMenu->findChild<QAction*>("SkyBlue1")->trigger();
        everyControlShowsTheDocument(f);
        for (const auto& [label, spy] : spies)
            QVERIFY2(spy->isValid() && spy->isEmpty(), qPrintable(QString("%1 ran its change handler again").arg(label)));
        for (const char* label : sc.changes) {
            const QString now = std::string(label) == "Hue" ? designed<QLabel>(f, "Label24")->text() : QString::number(shown(control(label).widget(f)));
            QVERIFY2(now != before[label], qPrintable(QString("%1 did not change").arg(label)));
        }
    }

    // The meter shows what an operation asks for; Abort on it while a long
    // operation runs on a 6000 x 4000 picture (mark-up) stops it early,
    // leaves sound state, and the windows come back; a connected Touch-paint
    // over the whole picture needs no meter at all.
    void abortFromTheMeter() {
        ProgressWindow meter;
        meter.begin("Saving Image to disk....", {.hideGauge = true, .hideAbort = true});
        QVERIFY(meter.phaseLabel->text() == "Saving Image to disk...." && !meter.gauge->isVisible() && !meter.abortButton->isVisible());
        meter.end(), meter.begin("pre-processing....");
        QVERIFY(meter.gauge->isVisible() && meter.abortButton->isVisible());
        meter.report(420);
        const QImage full = meter.gauge->grab().toImage();
        meter.report(42);
        QVERIFY2(meter.gauge->value == 42 && meter.gauge->grab().toImage() != full, "the gauge draws its percentage");
        // Gray ramps repeated across the picture, with strong grain: many small regions.
        Bitmap picture(kW, kH);
        uint32_t seed = 12345;
        for (int y = 0; y < kH; ++y)
            for (int x = 0; x < kW; ++x) {
                seed = seed * 1664525u + 1013904223u;
                const int g = std::clamp(x * 256 / 1500 % 256 + int(seed >> 24) / 3 - 42, 0, 255);
                picture.at(x, y) = rgb(g, g, g);
            }
        writeBmp24(picture, (home->path() + "/grain.bmp").toStdString());
        app = std::make_unique<App>((home->path() + "/grain.bmp").toStdString());
        f().imageWindow()->paletteMenu->findChild<QAction*>("SkyBlue1")->trigger();
        QVERIFY(ws().width == kW && QTest::qWaitForWindowExposed(f().imageWindow()));
        const QRectF room = f().imageWindow()->view->viewport()->rect();  // larger than the window: opened in Fit
        QVERIFY(f().imageWindow()->view->fitting() && room.contains(f().imageWindow()->view->pictureRectInView()));
        QCOMPARE(designed<QSpinBox>(f(), "SpinEdit6")->value(), 100);  // full resolution
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton2"), Qt::LeftButton);
        const size_t whole = ws().anchors.size();
        AbortClicker clicker(f(), 150);
        QTest::mouseClick(designed<QPushButton>(f(), "ExplorerButton2"), Qt::LeftButton);
        verifySoundWindows(clicker);
        QVERIFY2(!ws().anchors.empty() && ws().anchors.size() < whole, "an aborted mark-up records fewer regions");
        QCOMPARE(count(int8_t(kCodeOriginal)), size_t(0));  // no visiting marks are left behind
        // Large enough for the fill to paint on its second thread while the
        // image window repaints from the display it writes.
        Workspace& w = ws();
        std::fill(w.codes.get(), w.codes.get() + w.pixelCount(), int8_t(0));  // the mark-up's outlines go
        w.colour.copyFrom(w.source), w.display.copyFrom(w.source);
        QTest::mouseClick(designed<QToolButton>(f(), "SpeedButton2"), Qt::LeftButton), radio(f(), "RadioGroup2", 0)->click();
        designed<QSpinBox>(f(), "SpinEdit2")->setValue(256);  // every tone passes: the whole picture is one region
        const int8_t code = int8_t(f().session().palette.paletteCode);
        // The tool reads the position the last move reported, as a real pointer reports one before it is pressed.
        auto click = [&](QPoint picturePoint) {
            // The picture opened in Fit: the point where that pixel shows.
            const QPoint there = at(picturePoint.x(), picturePoint.y()) + QPoint(1, 1);
            QTest::mousePress(f().imageWindow()->canvas, Qt::LeftButton, {}, there);
            QTest::mouseMove(f().imageWindow()->canvas, there);
            QTest::mouseRelease(f().imageWindow()->canvas, Qt::LeftButton, {}, there);
        };
        // One region, the whole picture: found and painted in one go, well
        // within the time an Abort must be answered in, so no meter shows.
        click(QPoint(10, 10));
        QCOMPARE(count(code), w.pixelCount());
        for (size_t i = 0; i < w.pixelCount(); ++i) QCOMPARE(w.display.data()[i], w.colour.data()[i]);
        QVERIFY(w.colour.data()[0] != w.source.data()[0]);
        QVERIFY(!f().progressWindow()->isVisible() && !f().progressWindow()->locked() && f().isEnabled());
    }
};

// The autosave test's other program: opens a picture, paints a stroke,
// writes its colour to `colourFile`, autosaves, and is killed before it can end.
int killedAfterAutosave(int argc, char** argv, const std::string& colourFile) {
    QApplication qapp(argc, argv);
    App a("photos/camera-24.bmp");
    drag(a.f.imageWindow()->canvas, {QPoint(40, 40), QPoint(120, 60)});
    // The first round makes the buffers; the round runs again once they are made.
    a.f.autosaveRound();
    for (int i = 0; i < 1000 && !QFile::exists(QString::fromStdString(a.f.autosave()->path())); ++i) QTest::qWait(20);
    a.f.autosave()->wait();
    writeBmp24(a.f.session().ws->colour, colourFile);
    ::raise(SIGKILL);
    return 1;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--killed-after-autosave") == 0) return killedAfterAutosave(1, argv, argv[2]);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestWindows test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_windows.moc"
