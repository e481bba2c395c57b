// The action and setting tables against the script language: every word a
// script may give is a row, every row a script gives is found, and every
// setting keeps the range and the clamping its control has.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "actions/action_table.h"
#include "actions/setting_table.h"
#include "batch.h"
#include "core/effects.h"
#include "document/tool_settings.h"
#include "test_support.h"

using namespace cw;

namespace {

struct ScriptRun {
    int status;
    std::string out, err;
};

ScriptRun runLines(const std::string& script) {
    cwtest::TempDir scratch;
    std::istringstream in(script);
    std::ostringstream out, err;
    const int status = runScript(in, out, err, scratch / "scratch");
    return {status, out.str(), err.str()};
}

// The command words and `set` keys the script language has; finish-mode is
// offered only where the program has a second finish-up, which this one has not.
const std::set<std::string> kScriptCommands = {"load",   "clear",  "restore",      "save",         "palette",
                                               "effects-reset",   "markup",       "process",      "autofinish",
                                               "view-all", "view-pending", "remove", "undo", "zoom", "reset",
                                               "quick-brush"};
const std::set<std::string> kSetKeys = {
    "force-gray", "auto-markup", "unmask-only", "remark",     "complexity",   "integration",  "objectivity",
    "separation", "scale-percent", "brush-width", "brush-height", "rounded",   "selectivity",  "overwrite",
    "layered",    "scope",       "paint-mode",  "ambient",    "intensity",    "saturation",   "light-white",
    "light-yellow", "light-red", "light-green", "light-blue", "invert",       "pressure",     "undo-enabled",
    "zoom-factor", "scale-factor"};

std::vector<std::string> actionNames() {
    std::vector<std::string> v;
    for (const Action& a : actions()) v.emplace_back(a.name);
    return v;
}

std::vector<std::string> settingNames() {
    std::vector<std::string> v;
    for (const Setting& s : settings()) v.emplace_back(s.name);
    return v;
}

std::string rowName(const testing::TestParamInfo<std::string>& info) {
    std::string n = info.param;
    for (char& c : n)
        if (c == '-') c = '_';
    return n;
}

// The value a control shows after taking `v` (in range): its own except
// where the control's rule turns it into another.
int32_t heldAs(const Setting& s, int32_t v) {
    if (s.name == "scale-factor" && (v == 1 || v == -1)) return 0;  // the arrows step over 1 and -1
    return v;
}

} // namespace

TEST(ActionTable, NamesAreUniqueAndTheScriptedOnesAreTheLanguage) {
    std::set<std::string> names, scripted;
    for (const Action& a : actions()) {
        EXPECT_TRUE(names.insert(std::string(a.name)).second) << "two rows named " << a.name;
        EXPECT_FALSE(a.caption.empty()) << a.name;
        if (a.scripted) scripted.insert(std::string(a.name));
    }
    EXPECT_EQ(scripted, kScriptCommands);
}

TEST(SettingTable, NamesAreUniqueAndAreTheSetKeys) {
    std::set<std::string> names;
    for (const Setting& s : settings()) {
        EXPECT_TRUE(names.insert(std::string(s.name)).second) << "two rows named " << s.name;
        EXPECT_LE(s.min, s.max) << s.name;
        EXPECT_EQ(s.choices.empty(), s.kind != SettingKind::Choice) << s.name;
        if (s.kind == SettingKind::Choice) {
            EXPECT_EQ(size_t(s.max - s.min + 1), s.choices.size()) << s.name;
        }
        if (s.kind == SettingKind::Bool) {
            EXPECT_TRUE(s.min == 0 && s.max == 1) << s.name;
        }
    }
    EXPECT_EQ(names, kSetKeys);
}

class ActionRow : public testing::TestWithParam<std::string> {};

// A script finds each of its words in the table; the rows only the windows
// can run stay unknown to it, as they always were.
TEST_P(ActionRow, TheRunnerFindsItsWordsAndNoOthers) {
    const Action* a = findAction(GetParam());
    ASSERT_TRUE(a);
    const ScriptRun r = runLines(GetParam() + "\n");
    if (a->scripted) {
        EXPECT_EQ(r.err.find("unknown command"), std::string::npos) << r.err;
    } else {
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "line 1: unknown command " + GetParam() + "\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Every, ActionRow, testing::ValuesIn(actionNames()), rowName);

// What a script is told about a line that names a row wrongly, word for word.
TEST(ActionTable, ScriptsAreToldWhatIsWrongAsBefore) {
    const std::string picture = "load \"" + cwtest::testdata("bmp/rgb24.bmp") + "\"\n";
    const struct {
        std::string script, err;
    } rows[] = {
        {"markup\n", "line 1: no picture is open\n"},
        {"markup now\n", "line 1: wrong number of arguments to markup\n"},
        {"save\n", "line 1: wrong number of arguments to save\n"},
        {"save x.bmp\n", "line 1: no picture is open\n"},
        {"load " + cwtest::testdata("none.bmp") + "\n",
         "message: In-valid/ un-supported Image-type, or out of real memory!\nline 1: cannot load " +
             cwtest::testdata("none.bmp") + "\n"},
        {"palette\n", "line 1: usage: palette CAPTION\n"},
        {"palette Custom\n", "line 1: usage: palette Custom #RRGGBB\n"},
        {"palette Custom #12345G\n", "line 1: not a colour: #12345G\n"},
        {"palette Nowhere\n", "line 1: no palette Nowhere\n"},
        {"palette Original x\n", "line 1: usage: palette CAPTION\n"},
        {"quick-brush 3x3\n", "line 1: no quick brush 3x3\n"},
        {"quick-brush\n", "line 1: wrong number of arguments to quick-brush\n"},
        {"effects-reset x\n", "line 1: wrong number of arguments to effects-reset\n"},
        {picture + "undo x\n", "line 2: wrong number of arguments to undo\n"},
        {"print\n", "line 1: unknown command print\n"},
        {"set lights on\n", "line 1: unknown setting lights\n"},
        {"set scope sideways\n", "line 1: scope is connected or image-wide\n"},
        {"set paint-mode x\n", "line 1: paint-mode is interactive or masked\n"},
        {"set invert 1\n", "line 1: expected on or off: 1\n"},
        {"set complexity 3x\n", "line 1: not a number: 3x\n"},
        {"set complexity\n", "line 1: wrong number of arguments to set\n"},
    };
    for (const auto& row : rows) {
        const ScriptRun r = runLines(row.script);
        EXPECT_EQ(r.status, 2) << row.script;
        EXPECT_EQ(r.err, row.err) << row.script;
    }
}

class SettingRow : public testing::TestWithParam<std::string> {
protected:
    cwtest::SessionRig<> rig;
    const Setting& setting() const { return *findSetting(GetParam()); }
};

TEST_P(SettingRow, RoundTripsWithinItsRange) {
    const Setting& s = setting();
    for (int32_t v = s.min; v <= s.max; ++v) {
        setSetting(rig.s, s, v);
        EXPECT_EQ(s.get(rig.s), heldAs(s, v)) << s.name << " set to " << v;
    }
    // Downwards too, so that a setter that ignores a value equal to the
    // start cannot pass.
    for (int32_t v = s.max; v >= s.min; --v) {
        setSetting(rig.s, s, v);
        EXPECT_EQ(s.get(rig.s), heldAs(s, v)) << s.name << " set to " << v;
    }
}

TEST_P(SettingRow, ClampsOutsideItsRange) {
    const Setting& s = setting();
    for (long v : {long(s.min) - 1, long(INT32_MIN) - 1, LONG_MIN}) {
        setSetting(rig.s, s, s.max);
        setSetting(rig.s, s, v);
        EXPECT_EQ(s.get(rig.s), heldAs(s, s.min)) << s.name << " set to " << v;
    }
    for (long v : {long(s.max) + 1, long(INT32_MAX) + 1, LONG_MAX}) {
        setSetting(rig.s, s, s.min);
        setSetting(rig.s, s, v);
        EXPECT_EQ(s.get(rig.s), heldAs(s, s.max)) << s.name << " set to " << v;
    }
}

// A script names each key and its values as the language says; a word it
// does not take is refused with the line's number.
TEST_P(SettingRow, TheRunnerTakesItsKeyAndWords) {
    const Setting& s = setting();
    std::string good, bad, refusal;
    switch (s.kind) {
    case SettingKind::Bool:
        good = "on";
        bad = "yes";
        refusal = "expected on or off: yes";
        break;
    case SettingKind::Int:
        good = std::to_string(s.max + 1000);
        bad = "1.5";
        refusal = "not a number: 1.5";
        break;
    case SettingKind::Choice:
        good = std::string(s.choices.back());
        bad = "sideways";
        refusal = std::string(s.name) + " is " + std::string(s.choices.front()) + " or " + std::string(s.choices.back());
        break;
    }
    const ScriptRun ok = runLines("set " + GetParam() + " " + good + "\n");
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.err, "");
    const ScriptRun refused = runLines("set " + GetParam() + " " + bad + "\n");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "line 1: " + refusal + "\n");
}

INSTANTIATE_TEST_SUITE_P(Every, SettingRow, testing::ValuesIn(settingNames()), rowName);

// What a change does beside storing the value: the engine's copies, the
// exclusions and the values computed from it.
TEST(SettingTable, ChangesRunTheirControlsRules) {
    using Check = std::function<bool(const Session&)>;
    const struct {
        const char* name;
        std::vector<std::pair<const char*, long>> steps;
        Check holds;
    } rows[] = {
        {"complexity reaches the engine", {{"complexity", 100}},
         [](const Session& s) { return s.settings.complexity == 100 && s.controls.integrationStep == 101; }},
        {"integration reaches the engine", {{"integration", 77}},
         [](const Session& s) { return s.settings.integrationTolerance == 77; }},
        {"layered clears overwrite under the brush", {{"overwrite", 1}, {"layered", 1}},
         [](const Session& s) { return s.tools.layered && !s.tools.overwrite; }},
        {"overwrite clears layered under the brush", {{"layered", 1}, {"overwrite", 1}},
         [](const Session& s) { return s.tools.overwrite && !s.tools.layered; }},
        {"connected scope clears overwrite", {{"overwrite", 1}, {"scope", kScopeConnected}},
         [](const Session& s) { return !s.tools.overwrite && !s.tools.groups.overwriteShown; }},
        {"brush width sizes the brush", {{"brush-width", 7}, {"brush-height", 33}},
         [](const Session& s) { return s.tools.brushWidth == 7 && s.tools.brushHeight == 33; }},
        {"pressure raises the strength", {{"pressure", -3}},
         [](const Session& s) { return s.palette.blendStrength == blendStrengthFor(s.palette.strengthText, -3); }},
        {"the scale factor enables Scale", {{"scale-factor", 5}},
         [](const Session& s) { return s.scale.scaleEnabled && s.scale.step == 1; }},
        {"a light goes on beside white", {{"light-red", 1}},
         [](const Session& s) { return s.effects.lights[kLightRed] && s.effects.lights[kLightWhite]; }},
    };
    for (const auto& row : rows) {
        cwtest::SessionRig<> rig;
        for (auto [key, value] : row.steps) setSetting(rig.s, *findSetting(key), value);
        EXPECT_TRUE(row.holds(rig.s)) << row.name;
    }
}
