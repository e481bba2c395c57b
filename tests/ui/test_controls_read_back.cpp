// Every control of the main window and of the image window's bar shows the
// document's value: after a user's input, which must reach the value the
// control stands for and no other, and after an action that changes values
// behind the controls' backs.
#include <map>

#include "core/catalogue.h"
#include "ui_rig.h"

using namespace cw;

namespace {

enum Input { Click, StepUp, StepDown };

// A control, the input a user gives it and, written out here rather than taken
// from the program's own tables, the document value it stands for. Controls
// that show one value share its name. Some need the Touch-paint tool or another
// control clicked first; some change one more value by a rule.
struct Control {
    const char* label;
    QWidget* (*widget)(TForm1&);
    int (*holds)(const Session&);
    const char *value;
    Input input;
    bool touch = false;
    const char *first = nullptr, *also = nullptr;
};

#define MAIN(m) [](TForm1& f) -> QWidget* { return f.m; }
#define IMAGE(m) [](TForm1& f) -> QWidget* { return f.Form2()->m; }
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
    {"Scope local", MAIN(ScopeLocal), HOLDS(tools.scope == kScopeConnected), "scope", Click, true, nullptr, "overwrite"},
    {"Scope global", MAIN(ScopeGlobal), HOLDS(tools.scope == kScopeImageWide), "scope", Click, true, "Scope local"},
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
    {"Interactive", MAIN(PaintInteractive), HOLDS(tools.paintMode == kPaintInteractive), "paintMode", Click, false, "Mask'ed"},
    {"Mask'ed", MAIN(PaintMasked), HOLDS(tools.paintMode == kPaintMasked), "paintMode", Click},
    {"Invert", MAIN(CheckBox12), HOLDS(effects.invertOn), "invert", Click},
    {"Un-do Enabled", IMAGE(CheckBox1), HOLDS(pointer.undoEnabled), "undoEnabled", Click},
    {"zoom factor", IMAGE(SpinEdit7), HOLDS(zoom.factorField), "zoomFactor", StepUp},
    {"scale factor", IMAGE(SpinEdit1), HOLDS(scale.value), "scaleFactor", StepUp},
    {"Pressure", IMAGE(SpinEdit2), HOLDS(palette.pressure), "pressure", StepDown},
};

const Control& control(const QString& label) {
    for (const Control& c : kControls)
        if (label == c.label) return c;
    qFatal("no control %s", qPrintable(label));
}

int shown(QWidget* w) { return w->property(w->inherits("QAbstractButton") ? "checked" : "value").toInt(); }

// Up and Right step a spin box and a horizontal slider alike.
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
    return std::make_unique<QSignalSpy>(w, qobject_cast<QRadioButton*>(w) ? SIGNAL(clicked(bool))
                                           : qobject_cast<QCheckBox*>(w)  ? SIGNAL(toggled(bool))
                                                                          : SIGNAL(valueChanged(int)));
}

// Controls given their inputs, then a button clicked (none: a palette from the
// menu), and the controls that must have changed; "Hue" is the palette's caption.
struct Scenario {
    const char* name;
    std::vector<const char*> prepare;
    bool touch;
    QWidget* (*act)(TForm1&);
    std::vector<const char*> changes;
};

const Scenario kScenarios[] = {
    {"AutoFinish takes Layered off and Paint Mode back to Interactive", {"Layered", "Mask'ed"}, false,
     MAIN(ExplorerButton13), {"Layered", "Interactive", "Mask'ed"}},
    {"the effects Re-set", {"Ambient Light", "Intensity", "Saturation", "white light", "red light", "Invert", "Mask'ed"},
     false, MAIN(Button2),
     {"Ambient Light", "Intensity", "Saturation", "white light", "red light", "Invert", "Interactive", "Mask'ed"}},
    {"a palette from the menu", {}, false, nullptr, {"Hue"}},
    {"the Original button", {}, false, MAIN(SpeedButton40), {"Hue"}},
    {"a quick brush", {}, false, MAIN(SpeedButton11), {"Brush width"}},
    {"Layered takes Overwrite off under the brush", {"Overwrite"}, false, MAIN(CheckBox10), {"Overwrite", "Layered"}},
    {"the connected scope takes Overwrite off", {}, true, MAIN(ScopeLocal), {"Overwrite", "Scope local", "Scope global"}},
};

} // namespace

class TestControlsReadBack : public QObject {
    Q_OBJECT
    QTemporaryDir home;
    std::unique_ptr<uitest::App> app;

    // A small picture open, the extra controls shown and every panel usable.
    TForm1& windowWithPicture() {
        app = std::make_unique<uitest::App>("bmp/rgb24.bmp");
        app->f.ShowHideExtraControls1->trigger();
        return app->f;
    }

    static void everyControlShowsTheDocument(TForm1& f) {
        for (const Control& c : kControls)
            QVERIFY2(shown(c.widget(f)) == c.holds(f.session()), qPrintable(QString("%1 does not show the document").arg(c.label)));
        QCOMPARE(f.Label24->text(), QString::fromStdString(f.session().palette.selectionCaption));
    }

private slots:
    void initTestCase() { uitest::privateHome(home); }
    void cleanup() { app.reset(); }

    void aUserInputReachesItsValueOnly_data() {
        QTest::addColumn<int>("row");
        for (size_t i = 0; i < std::size(kControls); ++i) QTest::newRow(kControls[i].label) << int(i);
    }
    void aUserInputReachesItsValueOnly() {
        QFETCH(int, row);
        const Control& c = kControls[row];
        TForm1& f = windowWithPicture();
        if (c.touch) give(f.SpeedButton2, Click);
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
        TForm1& f = windowWithPicture();
        if (sc.touch) give(f.SpeedButton2, Click);
        for (const char* label : sc.prepare) give(control(label).widget(f), control(label).input);
        everyControlShowsTheDocument(f);
        QWidget* clicked = sc.act ? sc.act(f) : nullptr;
        std::map<std::string, QString> before{{"Hue", f.Label24->text()}};
        std::vector<std::pair<const char*, std::unique_ptr<QSignalSpy>>> spies;
        for (const Control& c : kControls) {
            before[c.label] = QString::number(shown(c.widget(f)));
            if (c.widget(f) != clicked) spies.emplace_back(c.label, changeSpy(c.widget(f)));
        }
        if (clicked) give(clicked, Click);
        else f.Form2()->PopupMenu2->findChild<QAction*>(QString::fromStdString(std::string(findPaletteItem("Sky: Blue")->name)))->trigger();
        everyControlShowsTheDocument(f);
        for (const auto& [label, spy] : spies)
            QVERIFY2(spy->isValid() && spy->isEmpty(), qPrintable(QString("%1 ran its change handler again").arg(label)));
        for (const char* label : sc.changes) {
            const QString now = std::string(label) == "Hue" ? f.Label24->text() : QString::number(shown(control(label).widget(f)));
            QVERIFY2(now != before[label], qPrintable(QString("%1 did not change").arg(label)));
        }
    }
};

QTEST_MAIN(TestControlsReadBack)
#include "test_controls_read_back.moc"
