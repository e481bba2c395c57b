// The action and setting tables against the script language: every word a script may give is a row, every row a
// script gives is found, and every setting keeps the range and the clamping its control has.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "actions/action_table.h"
#include "actions/setting_table.h"
#include "runner/script_runner.h"
#include "core/effects.h"
#include "test_support.h"

#include <sys/resource.h>

using namespace cw;

static std::pair<int, std::string> run(const std::string& script) {
    cwtest::TempDir scratch;
    std::istringstream in(script);
    std::ostringstream out, err;
    return {runScript(in, out, err, scratch / "scratch"), err.str()};  // braces evaluate in order
}

// The value a control shows after taking `v` in range: the scale factor's arrows step over 1 and -1.
static int32_t heldAs(const Setting& s, int32_t v) { return s.name == "scale-factor" && (v == 1 || v == -1) ? 0 : v; }

// A script finds each of its command words and `set` keys; the rows only the windows run stay unknown to it.
TEST(CommandTables, RowsAreUniqueAndTheScriptedOnesAreTheLanguage) {
    const std::set<std::string> commands = {"load", "clear", "restore", "save", "palette", "effects-reset", "markup", "process",
        "autofinish", "view-all", "view-pending", "remove", "undo", "zoom", "reset", "quick-brush"};
    const std::set<std::string> keys = {"force-gray", "auto-markup", "unmask-only", "remark", "complexity", "integration",
        "objectivity", "separation", "scale-percent", "brush-width", "brush-height", "rounded", "selectivity", "overwrite",
        "layered", "scope", "paint-mode", "ambient", "intensity", "saturation", "light-white", "light-yellow", "light-red",
        "light-green", "light-blue", "invert", "pressure", "undo-enabled", "zoom-factor", "scale-factor", "finish-mode",
        "natural-light"};
    std::set<std::string> names, scripted, settingNames;
    for (const Action& a : actions()) {
        EXPECT_TRUE(names.insert(std::string(a.name)).second) << "two rows named " << a.name;
        EXPECT_EQ(findAction(a.name), &a);
        if (a.scripted) scripted.insert(std::string(a.name));
        const auto [status, err] = run(std::string(a.name) + "\n");
        EXPECT_EQ(err.find("unknown command") == std::string::npos, a.scripted) << err;
        if (!a.scripted) { EXPECT_EQ(std::pair(status, err), std::pair(2, "line 1: unknown command " + std::string(a.name) + "\n")); }
    }
    EXPECT_EQ(scripted, commands);
    for (const Setting& s : settings()) {
        EXPECT_TRUE(settingNames.insert(std::string(s.name)).second) << "two rows named " << s.name;
        EXPECT_EQ(s.choices.empty(), s.kind != SettingKind::Choice) << s.name;
        if (s.kind == SettingKind::Choice) { EXPECT_EQ(size_t(s.max - s.min + 1), s.choices.size()) << s.name; }
        if (s.kind == SettingKind::Bool) { EXPECT_TRUE(s.min == 0 && s.max == 1) << s.name; }
    }
    EXPECT_EQ(settingNames, keys);
}

TEST(CommandTables, ScriptsAreToldWhatIsWrong) {
    const std::string none = cwtest::testdata("none.bmp");
    const std::pair<std::string, std::string> rows[] = {
        {"markup\n", "line 1: no picture is open\n"}, {"markup now\n", "line 1: wrong number of arguments to markup\n"},
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
        {"load \"" + cwtest::testdata("bmp/rgb24.bmp") + "\"\nundo x\n", "line 2: wrong number of arguments to undo\n"},
        {"set lights on\n", "line 1: unknown setting lights\n"}, {"set complexity 3x\n", "line 1: not a number: 3x\n"},
        {"set complexity\n", "line 1: wrong number of arguments to set\n"},
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

// Every setting round-trips within its range (from either end, so that a setter that ignores its start value cannot
// pass), clamps outside it, and takes its key and words from a script, refusing a word it does not take.
TEST(CommandTables, EverySettingKeepsItsRangeAndWords) {
    for (const Setting& s : settings()) {
        SCOPED_TRACE(s.name);
        cwtest::SessionRig<> rig;
        // {start, value, held}: every value in range both ways, then values past each end.
        std::vector<std::tuple<long, long, int32_t>> steps;
        for (int32_t v = s.min; v <= s.max; ++v) steps.push_back({s.max, v, heldAs(s, v)}), steps.push_back({s.min, v, heldAs(s, v)});
        for (long v : {long(s.min) - 1, long(INT32_MIN) - 1, LONG_MIN}) steps.push_back({s.max, v, heldAs(s, s.min)});
        for (long v : {long(s.max) + 1, long(INT32_MAX) + 1, LONG_MAX}) steps.push_back({s.min, v, heldAs(s, s.max)});
        for (const auto& [start, v, held] : steps) {
            setSetting(rig.s, s, start);
            setSetting(rig.s, s, v);
            EXPECT_EQ(s.get(rig.s), held) << v << " after " << start;
        }
        const std::string name(s.name), last = s.choices.empty() ? "" : std::string(s.choices.back());
        const std::string good = s.kind == SettingKind::Bool ? "on" : s.kind == SettingKind::Int ? std::to_string(s.max + 1000) : last;
        const std::string bad = s.kind == SettingKind::Bool ? "yes" : s.kind == SettingKind::Int ? "1.5" : "sideways";
        const std::string refusal = s.kind == SettingKind::Bool ? "expected on or off: yes" : s.kind == SettingKind::Int
            ? "not a number: 1.5" : name + " is " + std::string(s.choices.front()) + " or " + last;
        EXPECT_EQ(run("set " + name + " " + good + "\n"), std::pair(0, std::string()));
        EXPECT_EQ(run("set " + name + " " + bad + "\n"), std::pair(2, "line 1: " + refusal + "\n"));
    }
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
