// Every control of the main window and of the image window's bar shows the
// document's value: after a user's input, which must reach the value the
// control stands for and no other, and after an action that changes values
// behind the controls' backs.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <climits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "test_support.h"
#include "ui/chromawell_qt.h"
#include "ui/help_qt.h"
#include "ui/tform1.h"
#include "ui/tform2.h"

using namespace cw;

namespace {

// A control and, written out here rather than taken from the program's own
// tables, the document value it stands for. Controls that show one value
// share its name.
struct Control {
    const char* label;
    QWidget* (*widget)(TForm1&);
    int (*holds)(const Session&);
    const char* value;
};

#define MAIN(member) [](TForm1& f) -> QWidget* { return f.member; }
#define IMAGE(member) [](TForm1& f) -> QWidget* { return f.Form2()->member; }

const Control kControls[] = {
    {"Force Gray", MAIN(CheckBox1), [](const Session& s) -> int { return s.controls.forceGray; }, "forceGray"},
    {"Auto Mark-up", MAIN(CheckBox7), [](const Session& s) -> int { return s.controls.autoMarkUp; }, "autoMarkUp"},
    {"Un-mask Only", MAIN(CheckBox2), [](const Session& s) -> int { return s.controls.unmaskOnly; }, "unmaskOnly"},
    {"Re-mark", MAIN(CheckBox11), [](const Session& s) -> int { return s.controls.reMark; }, "reMark"},
    {"Separation", MAIN(SpinEdit5), [](const Session& s) { return s.controls.separation; }, "separation"},
    {"Objectivity", MAIN(SpinEdit3), [](const Session& s) { return s.controls.objectivity; }, "objectivity"},
    {"Scale%", MAIN(SpinEdit6), [](const Session& s) { return s.controls.scalePercent; }, "scalePercent"},
    {"Overwrite", MAIN(CheckBox8), [](const Session& s) -> int { return s.tools.overwrite; }, "overwrite"},
    {"Layered", MAIN(CheckBox10), [](const Session& s) -> int { return s.tools.layered; }, "layered"},
    {"Complexity", MAIN(SpinEdit1), [](const Session& s) { return s.controls.complexity; }, "complexity"},
    {"Integration", MAIN(SpinEdit2), [](const Session& s) { return s.controls.integration; }, "integration"},
    {"Scope local", MAIN(ScopeLocal), [](const Session& s) -> int { return s.tools.scope == kScopeConnected; },
     "scope"},
    {"Scope global", MAIN(ScopeGlobal), [](const Session& s) -> int { return s.tools.scope == kScopeImageWide; },
     "scope"},
    {"Brush width", MAIN(MaskEdit2), [](const Session& s) { return s.tools.brushWidthField; }, "brushWidth"},
    {"Brush height", MAIN(MaskEdit3), [](const Session& s) { return s.tools.brushHeightField; }, "brushHeight"},
    {"Rounded", MAIN(CheckBox6), [](const Session& s) -> int { return s.tools.rounded; }, "rounded"},
    {"Round", MAIN(CheckBox13), [](const Session& s) -> int { return s.tools.rounded; }, "rounded"},
    {"Selectivity", MAIN(SpinEdit4), [](const Session& s) { return s.tools.overwriteFactor; }, "overwriteFactor"},
    {"Ambient Light", MAIN(TrackBar1), [](const Session& s) { return s.effects.ambient; }, "ambient"},
    {"Intensity", MAIN(TrackBar2), [](const Session& s) { return s.effects.intensity; }, "intensity"},
    {"Saturation", MAIN(TrackBar3), [](const Session& s) { return s.effects.saturation; }, "saturation"},
    {"white light", MAIN(RadioButton1), [](const Session& s) -> int { return s.effects.lights[0]; }, "white"},
    {"yellow light", MAIN(RadioButton2), [](const Session& s) -> int { return s.effects.lights[1]; }, "yellow"},
    {"red light", MAIN(RadioButton3), [](const Session& s) -> int { return s.effects.lights[2]; }, "red"},
    {"green light", MAIN(RadioButton4), [](const Session& s) -> int { return s.effects.lights[3]; }, "green"},
    {"blue light", MAIN(RadioButton5), [](const Session& s) -> int { return s.effects.lights[4]; }, "blue"},
    {"Interactive", MAIN(PaintInteractive), [](const Session& s) -> int { return s.tools.paintMode == kPaintInteractive; },
     "paintMode"},
    {"Mask'ed", MAIN(PaintMasked), [](const Session& s) -> int { return s.tools.paintMode == kPaintMasked; },
     "paintMode"},
    {"Invert", MAIN(CheckBox12), [](const Session& s) -> int { return s.effects.invertOn; }, "invert"},
    {"Un-do Enabled", IMAGE(CheckBox1), [](const Session& s) -> int { return s.pointer.undoEnabled; }, "undoEnabled"},
    {"zoom factor", IMAGE(SpinEdit7), [](const Session& s) { return s.zoom.factorField; }, "zoomFactor"},
    {"scale factor", IMAGE(SpinEdit1), [](const Session& s) { return s.scale.value; }, "scaleFactor"},
    {"Pressure", IMAGE(SpinEdit2), [](const Session& s) { return s.palette.pressure; }, "pressure"},
};

const Control& control(const QString& label) {
    for (const Control& c : kControls)
        if (label == c.label) return c;
    qFatal("no control %s", qPrintable(label));
}

int shown(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->isChecked();
    if (auto* s = qobject_cast<QSpinBox*>(w)) return s->value();
    if (auto* s = qobject_cast<QSlider*>(w)) return s->value();
    return INT_MIN;
}

enum Input { Click, StepUp, StepDown };

void give(QWidget* w, Input input) {
    switch (input) {
    case Click: QTest::mouseClick(w, Qt::LeftButton); break;
    // Up and Right step a spin box and a horizontal slider alike.
    case StepUp: QTest::keyClick(w, qobject_cast<QSlider*>(w) ? Qt::Key_Right : Qt::Key_Up); break;
    case StepDown: QTest::keyClick(w, qobject_cast<QSlider*>(w) ? Qt::Key_Left : Qt::Key_Down); break;
    }
}

// What the document holds for each value, by the names above.
std::map<std::string, int> documentValues(const Session& s) {
    std::map<std::string, int> v;
    for (const Control& c : kControls) v[c.value] = c.holds(s);
    return v;
}

void clickMenuItem(TForm1& f, std::string_view selectionCaption) {
    const PaletteMenuItem* item = findPaletteItem(selectionCaption);
    QVERIFY(item);
    auto* a = f.Form2()->PopupMenu2->findChild<QAction*>(QString::fromUtf8(item->name.data(), item->name.size()));
    if (!a)
        for (QMenu* sub : f.Form2()->PopupMenu2->findChildren<QMenu*>())
            for (QAction* each : sub->actions())
                if (each->objectName() == QString::fromUtf8(item->name.data(), item->name.size())) a = each;
    QVERIFY(a);
    a->trigger();
}

// Something done to the window and the controls it must have changed.
struct Scenario {
    const char* name;
    void (*prepare)(TForm1&);
    void (*act)(TForm1&);
    std::vector<const char*> changes;  // labels of controls; "Hue" is the palette's caption
    const char* actsOn = nullptr;      // the control the act itself gives input to
};

// The signal a control's change handler listens to; a control written back
// with its signals blocked emits none.
std::unique_ptr<QSignalSpy> changeSpy(QWidget* w) {
    if (auto* r = qobject_cast<QRadioButton*>(w)) return std::make_unique<QSignalSpy>(r, &QRadioButton::clicked);
    if (auto* c = qobject_cast<QCheckBox*>(w)) return std::make_unique<QSignalSpy>(c, &QCheckBox::toggled);
    if (auto* s = qobject_cast<QSpinBox*>(w)) return std::make_unique<QSignalSpy>(s, &QSpinBox::valueChanged);
    if (auto* s = qobject_cast<QSlider*>(w)) return std::make_unique<QSignalSpy>(s, &QSlider::valueChanged);
    return nullptr;
}

const Scenario kScenarios[] = {
    {"AutoFinish takes Layered off and Paint Mode back to Interactive",
     [](TForm1& f) {
         give(f.CheckBox10, Click);
         give(f.PaintMasked, Click);
     },
     [](TForm1& f) { give(f.ExplorerButton13, Click); }, {"Layered", "Interactive", "Mask'ed"}},
    {"the effects Re-set",
     [](TForm1& f) {
         give(f.TrackBar1, StepUp);
         give(f.TrackBar2, StepDown);
         give(f.TrackBar3, StepUp);
         give(f.RadioButton1, Click);
         give(f.RadioButton3, Click);
         give(f.CheckBox12, Click);
         give(f.PaintMasked, Click);
     },
     [](TForm1& f) { give(f.Button2, Click); },
     {"Ambient Light", "Intensity", "Saturation", "white light", "red light", "Invert", "Interactive", "Mask'ed"}},
    {"a palette from the menu", nullptr, [](TForm1& f) { clickMenuItem(f, "Sky: Blue"); }, {"Hue"}},
    {"the Original button", nullptr, [](TForm1& f) { give(f.SpeedButton40, Click); }, {"Hue"}},
    {"a quick brush", nullptr, [](TForm1& f) { give(f.SpeedButton11, Click); }, {"Brush width"}},
    {"Layered takes Overwrite off under the brush", [](TForm1& f) { give(f.CheckBox8, Click); },
     [](TForm1& f) { give(f.CheckBox10, Click); }, {"Overwrite", "Layered"}, "Layered"},
    {"the connected scope takes Overwrite off", [](TForm1& f) { give(f.SpeedButton2, Click); },
     [](TForm1& f) { give(f.ScopeLocal, Click); }, {"Overwrite", "Scope local", "Scope global"}, "Scope local"},
};

} // namespace

class TestControlsReadBack : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    cwtest::ScriptedMessages messages;
    cwtest::ScriptedDialogs dialogs;
    std::unique_ptr<Chromawell> app;

    // A small picture open, its first palette menu dismissed, the extra
    // controls shown and every panel usable.
    TForm1& windowWithPicture() {
        app = std::make_unique<Chromawell>(
            ChromawellOptions{.services = {&messages, &dialogs, [] { return QSize(1280, 1024); }}, .splash = false});
        TForm1& f = app->form1();
        f.resize(1200, 900);
        QSignalSpy started(&f, &TForm1::started);
        f.show();
        started.wait(5000);
        f.loadPath(cwtest::testdata("bmp/rgb24.bmp"));
        if (f.Form2()) f.Form2()->PopupMenu2->hide();
        f.ShowHideExtraControls1->trigger();
        return f;
    }

    static void everyControlShowsTheDocument(TForm1& f) {
        const Session& s = f.session();
        for (const Control& c : kControls)
            QVERIFY2(shown(c.widget(f)) == c.holds(s),
                     qPrintable(QString("%1 shows %2, the document holds %3")
                                    .arg(c.label)
                                    .arg(shown(c.widget(f)))
                                    .arg(c.holds(s))));
        QCOMPARE(f.Label24->text(), QString::fromStdString(s.palette.selectionCaption));
    }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
        recordAgreementAccepted();
    }
    void cleanup() { app.reset(); }

    void aUserInputReachesItsValueOnly_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("input");
        QTest::addColumn<bool>("touchTool");  // Integration and Scope show under Touch-paint only
        QTest::addColumn<QString>("first");   // a control clicked first, so that the input changes something
        QTest::addColumn<QStringList>("alsoChanges");
        auto row = [](const char* label, Input in, bool touch = false, const char* first = "",
                      QStringList also = {}) {
            QTest::newRow(label) << QString(label) << int(in) << touch << QString(first) << also;
        };
        row("Force Gray", Click);
        row("Auto Mark-up", Click);
        row("Un-mask Only", Click);
        row("Re-mark", Click);
        row("Separation", StepUp);
        row("Objectivity", StepUp);
        row("Scale%", StepDown);
        row("Overwrite", Click);
        row("Layered", Click);
        row("Complexity", StepUp);
        row("Integration", StepUp, true);
        row("Scope local", Click, true, "", {"overwrite"});
        row("Scope global", Click, true, "Scope local");
        row("Brush width", StepUp);
        row("Brush height", StepDown);
        row("Rounded", Click);
        row("Round", Click);
        row("Selectivity", StepDown);
        row("Ambient Light", StepUp);
        row("Intensity", StepDown);
        row("Saturation", StepUp);
        row("white light", Click);
        row("yellow light", Click);
        row("red light", Click);
        row("green light", Click);
        row("blue light", Click);
        row("Mask'ed", Click);
        row("Interactive", Click, false, "Mask'ed");
        row("Invert", Click);
        row("Un-do Enabled", Click);
        row("zoom factor", StepUp);
        row("scale factor", StepUp);
        row("Pressure", StepDown);
    }
    void aUserInputReachesItsValueOnly() {
        QFETCH(QString, label);
        QFETCH(int, input);
        QFETCH(bool, touchTool);
        QFETCH(QString, first);
        QFETCH(QStringList, alsoChanges);
        TForm1& f = windowWithPicture();
        QVERIFY(f.Form2());
        if (touchTool) give(f.SpeedButton2, Click);
        if (!first.isEmpty()) give(control(first).widget(f), Click);
        const Control& c = control(label);
        QWidget* w = c.widget(f);
        QVERIFY2(w->isVisible() && w->isEnabled(), "a user can reach it");
        const int before = shown(w);
        const auto values = documentValues(f.session());

        give(w, Input(input));
        QVERIFY2(shown(w) != before, "the input changed the control");
        QCOMPARE(c.holds(f.session()), shown(w));
        const auto now = documentValues(f.session());
        for (const auto& [value, was] : values)
            if (value != c.value && !alsoChanges.contains(QString::fromStdString(value)))
                QVERIFY2(now.at(value) == was, qPrintable(QString("%1 changed %2 as well").arg(label).arg(value.c_str())));
        everyControlShowsTheDocument(f);
    }

    void actionsLeaveEveryControlShowingTheDocument_data() {
        QTest::addColumn<int>("scenario");
        for (size_t i = 0; i < std::size(kScenarios); ++i) QTest::newRow(kScenarios[i].name) << int(i);
    }
    void actionsLeaveEveryControlShowingTheDocument() {
        QFETCH(int, scenario);
        const Scenario& sc = kScenarios[scenario];
        TForm1& f = windowWithPicture();
        QVERIFY(f.Form2());
        if (sc.prepare) sc.prepare(f);
        everyControlShowsTheDocument(f);
        std::map<std::string, QString> before;
        for (const Control& c : kControls) before[c.label] = QString::number(shown(c.widget(f)));
        before["Hue"] = f.Label24->text();
        std::vector<std::pair<const char*, std::unique_ptr<QSignalSpy>>> spies;
        for (const Control& c : kControls)
            if (!sc.actsOn || std::string(sc.actsOn) != c.label) spies.emplace_back(c.label, changeSpy(c.widget(f)));

        sc.act(f);
        everyControlShowsTheDocument(f);
        for (const auto& [label, spy] : spies)
            QVERIFY2(spy && spy->isEmpty(), qPrintable(QString("%1 ran its change handler again").arg(label)));
        for (const char* label : sc.changes) {
            const QString now = std::string(label) == "Hue" ? f.Label24->text()
                                                            : QString::number(shown(control(label).widget(f)));
            QVERIFY2(now != before[label], qPrintable(QString("%1 did not change").arg(label)));
        }
    }
};

QTEST_MAIN(TestControlsReadBack)
#include "test_controls_read_back.moc"
