// The action and setting tables through the script runner: each word a script gives reaches its row and leaves the
// document as the row's own trigger leaves it, each `set` key is its control, and each pointer word the image window's
// notification it names.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "actions/action_table.h"
#include "actions/setting_table.h"
#include "core/catalogue.h"
#include "core/effects.h"
#include "actions/script_run.h"
#include "actions/script_runner.h"
#include "actions/script_words.h"
#include "runner_rig.h"
#include "test_support.h"
#include "tools/interaction.h"
#include "tools/tool_registry.h"

#include <sys/resource.h>

using namespace cw;
using cwtest::RunnerRig;

static std::pair<int, std::string> run(const std::string& script) {
    cwtest::TempDir scratch;
    std::istringstream in(script);
    std::ostringstream out, err;
    return {runScript(in, out, err, scratch / "scratch"), err.str()};  // braces evaluate in order
}

const std::string kPrepared =
    "load \"" + cwtest::testdata("bmp/rgb24.bmp") + "\"\npalette \"Sky: Blue\"\ndrag 3 3 20 12\nset saturation 3\nmarkup\n";
// Strokes after a row show what it left for the next one: the brush, the effects, the palette.
const std::string kProbe = "tool brush\ndrag 2 15 30 4\ntool touch\ntap 30 18\n";

// What a script line gives each kind of row: the file its dialog would name, or the names the windows give: each
// quick brush's, and a palette menu item of each submenu.
static std::vector<std::string> inputsOf(const Action& a, const std::string& saved) {
    switch (a.input) {
    case ActionInput::None: return {""};
    case ActionInput::OpenDialog: return {cwtest::testdata("bmp/pal8.bmp")};
    case ActionInput::SaveDialog: return {saved};
    case ActionInput::Named: break;
    }
    std::vector<std::string> names = {std::string(kOriginalPaletteName), "nothing"};
    for (const PaletteSubmenu& menu : paletteSubmenus())
        if (menu.items.back().selectionCaption != kCustomCaption) names.emplace_back(menu.items.back().selectionCaption);
    for (const QuickBrush& b : kQuickBrushes) names.push_back(quickBrushName(b));
    return names;
}

// A word a script gives runs its row as a button or menu item triggers it, and fails where that trigger does; the
// rows only the windows run are unknown to scripts.
TEST(CommandTables, EveryScriptWordRunsItsRowAsItsTriggerDoes) {
    cwtest::TempDir out;
    for (const Action& a : actions()) {
        int done = 0;
        for (const std::string& input : inputsOf(a, out / "saved.bmp")) {
            RunnerRig script, windows;
            const std::string line = std::string(a.name) + (input.empty() ? "" : " \"" + input + "\"");
            ASSERT_EQ(script.lines(kPrepared) + windows.lines(kPrepared), "");
            const std::string said = script.lines(line);
            if (!a.scripted) {
                EXPECT_EQ(said, "unknown command " + std::string(a.name));
                continue;
            }
            if (a.input != ActionInput::Named) windows.r.dialogs.next = input;
            const bool ran = triggerAction(windows.r.session, a, a.input == ActionInput::Named ? input : "");
            EXPECT_EQ(said.empty(), ran) << line << ": " << said;
            if (ran) { EXPECT_TRUE(script.after(kProbe) == windows.after(kProbe)) << line; }
            done += ran;
        }
        EXPECT_TRUE(done > 0 || !a.scripted) << a.name;
    }
    // Custom's colour, given as #RRGGBB, is the colour dialog's answer (0x00BBGGRR).
    RunnerRig script, windows;
    ASSERT_EQ(windows.lines(kPrepared), "");
    windows.r.dialogs.nextColour = 0x302010;
    EXPECT_TRUE(triggerAction(windows.r.session, *findAction("palette"), kCustomCaption));
    EXPECT_TRUE(script.after(kPrepared + "palette Custom #102030\n" + kProbe) == windows.after(kProbe));
    // abort-after N is Abort pressed at the N-th poll of the next long operation.
    RunnerRig aborted, pressed;
    ASSERT_EQ(pressed.lines(kPrepared), "");
    pressed.r.progress.abortAt(2);
    EXPECT_TRUE(triggerAction(pressed.r.session, *findAction("markup")));
    EXPECT_TRUE(aborted.after(kPrepared + "abort-after 2\nmarkup\n") == pressed.after(""));
}

// The value a control shows after taking `v` in range: the scale factor's arrows step over 1 and -1.
static int32_t heldAs(const Setting& s, int32_t v) { return s.name == "scale-factor" && (v == 1 || v == -1) ? 0 : v; }

// Each `set` key takes every value of its control, each by its word, from either end of the range (so that a setter
// that ignores the value it starts from cannot pass), and holds what lies beyond it to its ends as the control does;
// a word the key does not take is refused.
TEST(CommandTables, EverySetKeyIsItsControl) {
    for (const Setting& s : settings()) {
        SCOPED_TRACE(s.name);
        RunnerRig script;
        auto word = [&](long v) {
            if (s.kind == SettingKind::Bool) return std::string(v ? "on" : "off");
            return s.kind == SettingKind::Int ? std::to_string(v) : std::string(s.choices[v - s.min]);
        };
        auto set = [&](long v) { return script.lines("set " + std::string(s.name) + " " + word(v)); };
        for (int32_t v = s.min; v <= s.max; ++v)
            for (int32_t start : {s.min, s.max}) {
                EXPECT_EQ(set(start), "");
                EXPECT_EQ(set(v), "");
                EXPECT_EQ(s.get(script.r.session), heldAs(s, v)) << v << " after " << start;
            }
        // Beyond the range: from a script's number, or from a control's arrows (the brush size keys step past it).
        const std::tuple<long, long, int32_t> beyond[] = {{s.max, long(s.min) - 1, s.min}, {s.max, long(INT32_MIN) - 1, s.min},
            {s.max, LONG_MIN, s.min}, {s.min, long(s.max) + 1, s.max}, {s.min, long(INT32_MAX) + 1, s.max}, {s.min, LONG_MAX, s.max}};
        for (const auto& [start, v, held] : beyond) {
            for (long each : {long(start), v})
                if (s.kind == SettingKind::Int) EXPECT_EQ(set(each), "");
                else setSetting(script.r.session, s, each);
            EXPECT_EQ(s.get(script.r.session), heldAs(s, held)) << v;
        }
        const std::string name(s.name), last = s.choices.empty() ? "" : std::string(s.choices.back());
        const std::string bad = s.kind == SettingKind::Bool ? "yes" : s.kind == SettingKind::Int ? "1.5" : "sideways";
        const std::string refusal = s.kind == SettingKind::Bool ? "expected on or off: yes" : s.kind == SettingKind::Int
            ? "not a number: 1.5" : name + " is " + std::string(s.choices.front()) + " or " + last;
        EXPECT_EQ(script.lines("set " + name + " " + bad), refusal);
    }
    // A choice's words name the values the tools and the finish-up read.
    RunnerRig words;
    ASSERT_EQ(words.lines("set scope image-wide\nset paint-mode masked\nset finish-mode edge-aware"), "");
    const Session& s = words.r.session;
    EXPECT_TRUE(s.tools.scope == kScopeImageWide && s.tools.paintMode == kPaintMasked && s.controls.finishMode == kFinishEdgeAware);
}

// Each pointer word is the image window's notification it names, with its point, button and Shift, under every tool.
TEST(CommandTables, PointerWordsAreTheImageWindowsNotifications) {
    using B = MouseButton;
    const struct { const char* lines; std::function<void(Document&)> notify; } rows[] = {
        {"press 4 3 left shift\nmove 20 12 shift\nclick\nrelease 20 12", [](Document& d) {
             pointerPress(d, B::Left, true, 4, 3), pointerMove(d, true, 20, 12), pointerClick(d), pointerUp(d, B::Left, false, 20, 12); }},
        {"press 4 3 right\nmove 9 20\nrelease 9 20 right shift", [](Document& d) {
             pointerPress(d, B::Right, false, 4, 3), pointerMove(d, false, 9, 20), pointerUp(d, B::Right, true, 9, 20); }},
        {"press 5 6 middle\nrelease 30 2 middle", [](Document& d) { pointerPress(d, B::Middle, false, 5, 6), pointerUp(d, B::Middle, false, 30, 2); }},
        {"tap 9 7", [](Document& d) { pointerTap(d, B::Left, false, 9, 7); }},
        {"tap 30 17 right shift", [](Document& d) { pointerTap(d, B::Right, true, 30, 17); }},
        {"drag 2 3 30 20 10 5 shift", [](Document& d) {
             pointerPress(d, B::Left, true, 2, 3), pointerMove(d, true, 30, 20), pointerMove(d, true, 10, 5);
             pointerRelease(d, B::Left, true, 10, 5, true); }},
        {"drag 6 4 60 40", [](Document& d) { pointerPress(d, B::Left, false, 6, 4), pointerMove(d, false, 60, 40), pointerRelease(d, B::Left, false, 60, 40, false); }},
        {"drag -5 -5 10 10", [](Document& d) { pointerPress(d, B::Left, false, -5, -5), pointerMove(d, false, 10, 10), pointerRelease(d, B::Left, false, 10, 10, true); }},
        // A coordinate beyond any picture stays beyond it.
        {"tap 4294967301 7", [](Document& d) { pointerTap(d, B::Left, false, INT32_MAX / 2, 7); }},
    };
    for (const Tool* tool : toolBar())
        for (const auto& row : rows) {
            RunnerRig script, windows;
            const std::string prepared = kPrepared + "tool " + std::string(tool->name()) + "\n";
            ASSERT_EQ(windows.lines(prepared), "");
            row.notify(windows.r.session);
            EXPECT_TRUE(script.after(prepared + row.lines) == windows.after("")) << tool->name() << ": " << row.lines;
        }
}

// The state dump reads the values the document holds, here those no picture's pixels show.
TEST(CommandTables, TheStateDumpReadsTheDocument) {
    RunnerRig script;
    const std::string a = script.dir / "a", b = script.dir / "b";
    ASSERT_EQ(script.lines(kPrepared + "set invert on\ntool rectangle\ndrag 30 20 5 4\ndump state " + a +
                           "\nset invert off\npress 10 8 left shift\ndump state " + b),
              "");
    const std::pair<std::string, const char*> lines[] = {{a, "\nShiftHeld=0\nInvertOn=1\n"}, {a, "\nSelectionRect=30,20,5,4\n"},
                                                         {b, "\nShiftHeld=1\nInvertOn=0\n"}, {b, "\nPaintLimitRect=0,0,36,22\n"}};
    for (const auto& [path, line] : lines) EXPECT_NE(cwtest::fileText(path).find(line), std::string::npos) << line;
}

TEST(CommandTables, ScriptsAreToldWhatIsWrong) {
    const std::string none = cwtest::testdata("none.bmp"), load = "load \"" + cwtest::testdata("bmp/rgb24.bmp") + "\"\n";
    const std::pair<std::string, std::string> rows[] = {
        {"markup\n", "line 1: no picture is open\n"}, {"restore\n", "line 1: no picture is open\n"}, {"markup now\n", "line 1: wrong number of arguments to markup\n"},
        {"save\n", "line 1: wrong number of arguments to save\n"}, {"save x.bmp\n", "line 1: no picture is open\n"},
        {"load " + none + "\n", "message: In-valid/ un-supported Image-type, or out of real memory!\nline 1: cannot load " + none + "\n"},
        {"palette\n", "line 1: usage: palette CAPTION\n"},
        {"palette Custom\n", "line 1: usage: palette Custom #RRGGBB\n"},
        {"palette Custom #12345G\n", "line 1: not a colour: #12345G\n"},
        {"palette Nowhere\n", "line 1: no palette Nowhere\n"},
        {"palette Original x\n", "line 1: usage: palette CAPTION\n"},
        {"quick-brush 3x3\n", "line 1: no quick brush 3x3\n"},
        {"quick-brush\n", "line 1: wrong number of arguments to quick-brush\n"},
        {"effects-reset x\n", "line 1: wrong number of arguments to effects-reset\n"},
        {load + "undo x\n", "line 2: wrong number of arguments to undo\n"},
        {"set lights on\n", "line 1: unknown setting lights\n"}, {"set complexity 3x\n", "line 1: not a number: 3x\n"},
        {"set complexity\n", "line 1: wrong number of arguments to set\n"},
        {"# a comment\n\nframble 1\n", "line 3: unknown command framble\n"}, {"print\n", "line 1: unknown command print\n"},
        {"brush-larger\n", "line 1: unknown command brush-larger\n"},
        {"tool pencil\n", "line 1: unknown tool pencil\n"}, {"tool\n", "line 1: wrong number of arguments to tool\n"},
        {"press 1 2\n", "line 1: no picture is open\n"}, {"release 1\n", "line 1: wrong number of arguments to release\n"},
        {load + "press 1 2 up\n", "line 2: not a button: up\n"}, {load + "move 1 2 left\n", "line 2: usage: move X Y [shift]\n"},
        {load + "move a b\n", "line 2: not a number: b\n"}, {load + "click 1\n", "line 2: wrong number of arguments to click\n"},
        {load + "tap 1 2 middle\n", "line 2: usage: tap X Y [left|right] [shift]\n"},
        {load + "drag 1 2 3\n", "line 2: usage: drag X1 Y1 X2 Y2 [X3 Y3 ...] [shift]\n"},
        {load + "drag 1 2 3 4 5 shift\n", "line 2: usage: drag X1 Y1 X2 Y2 [X3 Y3 ...] [shift]\n"},
        {"drag 1 2 3 4\n", "line 1: no picture is open\n"}, {"dump codes x\n", "line 1: no picture is open\n"},
        {"dump pixels x\n", "line 1: no picture is open\n"},
        {load + "dump pixels x\n", "line 2: unknown dump pixels\n"}, {"dump state\n", "line 1: wrong number of arguments to dump\n"},
        {"abort-after 0\n", "line 1: abort-after needs a poll count of 1 or more: 0\n"}, {"time\n", "line 1: wrong number of arguments to time\n"},
        {"palette \"Sky: Blue\n", "line 1: unterminated quote\n"},
    };
    for (const auto& [script, err] : rows) EXPECT_EQ(run(script), std::pair(2, err)) << script;
}

// A save or dump the disk refuses part way (here: past a file-size limit, which binds root too) lets the script go
// on, ends it with status 1, and leaves the file that was there whole, with no temporary file beside it.
TEST(CommandTables, OutputsTheDiskRefusesLeaveTheOldFiles) {
    cwtest::TempDir dir;
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"dump codes", "codes.bin"}, {"dump display", "display.bmp"}, {"dump source", "source.bmp"}, {"save", "saved.bmp"}};
    std::string script = "load \"" + cwtest::testdata("bmp/rgb24.bmp") + "\"\n";  // 37 x 23: 851 codes
    for (const auto& [command, name] : refused) {
        std::ofstream(dir / name) << "old " << name;
        script += command + " \"" + (dir / name) + "\"\n";
    }
    script += "dump state \"" + (dir / "state.txt") + "\"\n";  // small enough to be written
    std::pair<int, std::string> result;
    {
        struct rlimit was {};
        ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &was), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = was;
        small.rlim_cur = 600;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
        result = run(script);
        ::setrlimit(RLIMIT_FSIZE, &was);
        std::signal(SIGXFSZ, oldHandler);
    }
    EXPECT_EQ(result.first, 1) << result.second;
    for (const auto& [command, name] : refused) {
        const std::vector<uint8_t> old = cwtest::fileBytes(dir.path / name);
        EXPECT_EQ(std::string(old.begin(), old.end()), "old " + name);
        if (command != "save") { EXPECT_NE(result.second.find("cannot write " + (dir / name)), std::string::npos) << result.second; }
    }
    EXPECT_NE(cwtest::fileBytes(dir.path / "state.txt").size(), 0u);
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path)) ++files;
    EXPECT_EQ(files, refused.size() + 1) << "a temporary file was left";
}

// The engine takes Objectivity and Separation (as shares of the span W + H) only at a load and at a change of
// Complexity or Integration, and the gray step only at a load or a mark-up; the span outlives its picture.
TEST(CommandTables, TheEngineTakesTheControlsOnlyAtItsMoments) {
    const std::string load = "load \"" + cwtest::testdata("photos/camera.bmp") + "\"\n";  // 512 x 512
    const struct { std::string steps; std::vector<int> taken; } rows[] = {
        {"", {16, 52, 0, 0}},
        {load + "set objectivity 50\nset separation 40\nset complexity 64", {16, 52, 512, 409}},
        {load + "set objectivity 50\nset separation 40", {16, 52, 102, 102}},
        {load + "set separation 40\nset integration 9", {16, 9, 102, 409}},
        {load + "set separation 1\nset integration 9\nmarkup", {16, 9, 102, 15}},
        {load + "set separation 1\nset integration 9\nmarkup\nset complexity 8", {16, 9, 102, 10}},
        {load + "set separation 1\nset complexity 64\nset scale-percent 50\nmarkup", {4, 52, 102, 10}},
        {load + "set complexity 64\nrestore", {4, 52, 102, 102}},
        {load + "clear\nset objectivity 100\nset complexity 64", {16, 52, 1024, 102}},
    };
    cwtest::TempDir dir;
    const std::string state = dir / "state";
    for (const auto& row : rows) {
        ASSERT_EQ(run(row.steps + "\ndump state " + state + "\n"), std::pair(0, std::string())) << row.steps;
        const std::string text = cwtest::fileText(state);
        std::vector<int> taken;
        for (const char* key : {"\nGrayStep=", "\nIntegrationTolerance=", "\nMinObjectSize=", "\nMinAnchorSeparation="})
            taken.push_back(std::stoi(text.substr(text.find(key) + std::strlen(key))));
        EXPECT_EQ(taken, row.taken) << row.steps;
    }
}

// What a change does beside storing the value: Integration's arrow step, the exclusions and the values computed from it;
// the brush size keys step both fields within their range.
TEST(CommandTables, ChangesRunTheirControlsRules) {
    const struct { std::vector<std::pair<const char*, long>> steps; std::function<bool(const Session&)> holds; } rows[] = {
        {{{"complexity", 100}}, [](const Session& s) { return s.controls.integrationStep == 101; }},
        {{{"overwrite", 1}, {"layered", 1}}, [](const Session& s) { return s.tools.layered && !s.tools.overwrite; }},
        {{{"layered", 1}, {"overwrite", 1}}, [](const Session& s) { return s.tools.overwrite && !s.tools.layered; }},
        {{{"overwrite", 1}, {"scope", kScopeConnected}}, [](const Session& s) { return !s.tools.overwrite && !s.tools.groups.overwriteShown; }},
        {{{"brush-width", 7}, {"brush-height", 33}}, [](const Session& s) { return s.tools.brushWidth == 7 && s.tools.brushHeight == 33; }},
        {{{"pressure", -3}}, [](const Session& s) { return s.palette.blendStrength == blendStrengthFor(s.palette.strength, -3); }},
        {{{"scale-factor", 5}}, [](const Session& s) { return s.scale.scaleEnabled && s.scale.step == 1; }},
        {{{"light-red", 1}}, [](const Session& s) { return s.effects.lights[kLightRed] && s.effects.lights[kLightWhite]; }},
        {{{"brush-width", 40}, {"brush-height", 2}, {"brush-larger", 0}}, [](const Session& s) { return s.tools.brushWidth == 40 && s.tools.brushHeightField == 3; }},
        {{{"brush-width", 2}, {"brush-height", 40}, {"brush-smaller", 0}}, [](const Session& s) { return s.tools.brushWidthField == 2 && s.tools.brushHeight == 39; }},
    };
    for (const auto& row : rows) {
        cwtest::SessionRig<> rig;
        for (auto [key, value] : row.steps)
            if (const Setting* setting = findSetting(key)) setSetting(rig.s, *setting, value);
            else triggerAction(rig.s, *findAction(key));
        EXPECT_TRUE(row.holds(rig.s)) << row.steps.back().first;
    }
}
