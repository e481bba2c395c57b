#include "actions/script_words.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "actions/action_table.h"
#include "actions/setting_table.h"
#include "core/catalogue.h"
#include "actions/dumps.h"
#include "actions/pointer_words.h"
#include "actions/script_run.h"
#include "tools/tool_choice.h"
#include "tools/tool_registry.h"

namespace cw {

namespace {

// Custom takes its colour as the colour dialog's answer.
std::string_view paletteNamed(ScriptRun& r, const Words& w) {
    if (w.size() < 2 || w.size() > 3) throw ScriptError("usage: palette CAPTION");
    if (w[1] == kCustomCaption) {
        if (w.size() != 3 || w[2].size() != 7 || w[2][0] != '#') throw ScriptError("usage: palette Custom #RRGGBB");
        // Six hex digits and nothing else: strtoul alone would take a sign or blanks.
        if (!std::all_of(w[2].begin() + 1, w[2].end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }))
            throw ScriptError("not a colour: " + w[2]);
        const unsigned long rgbValue = std::strtoul(w[2].c_str() + 1, nullptr, 16);
        r.dialogs.nextColour = int32_t(((rgbValue >> 16) & 0xff) | (rgbValue & 0xff00) | ((rgbValue & 0xff) << 16));
    } else if (w.size() != 2) {
        throw ScriptError("usage: palette CAPTION");
    }
    return w[1];
}

constexpr std::string_view kNotRebuilt = "the picture could not be rebuilt";

// What a script knows of an action row beyond the row itself: how its
// words become the row's named input, where that takes more than one word,
// and what the line says when the row could not do its work.
// `pictureFault`: the failure comes from the picture, not from the line.
struct ActionWords {
    std::string_view action;
    std::string (*failure)(const ScriptRun& r, const Words& w);
    std::string_view (*named)(ScriptRun& r, const Words& w) = nullptr;
    bool pictureFault = false;
};

const ActionWords kActionWords[] = {
    {"load", [](const ScriptRun&, const Words& w) { return "cannot load " + w[1]; }, nullptr, true},
    {"restore", [](const ScriptRun& r, const Words&) { return "cannot restore " + r.session.openFileName; }, nullptr, true},
    {"palette", [](const ScriptRun&, const Words& w) { return "no palette " + w[1]; }, paletteNamed},
    {"quick-brush", [](const ScriptRun&, const Words& w) { return "no quick brush " + w[1]; }},
    {"reset", [](const ScriptRun&, const Words&) { return std::string(kNotRebuilt); }, nullptr, true},
};

const ActionWords* actionWords(std::string_view action) {
    for (const ActionWords& a : kActionWords)
        if (a.action == action) return &a;
    return nullptr;
}

// The words a row's input takes are checked before its rule: a bad line
// says what is wrong with it even when no picture is open.
void runAction(ScriptRun& r, const Action& a, const Words& w) {
    const ActionWords* words = actionWords(a.name);
    std::string_view named;
    switch (a.input) {
    case ActionInput::None: need(w, 1); break;
    case ActionInput::OpenDialog:
    case ActionInput::SaveDialog: need(w, 2); break;
    case ActionInput::Named:
        if (words && words->named) {
            named = words->named(r, w);
        } else {
            need(w, 2);
            named = w[1];
        }
        break;
    }
    if (!actionEnabled(a, r.session)) throw ScriptError("no picture is open");
    if (a.input == ActionInput::OpenDialog || a.input == ActionInput::SaveDialog) r.dialogs.next = w[1];
    const int errorsBefore = r.messages.errors;
    if (!triggerAction(r.session, a, named)) {
        if (!words) throw PictureError(std::string(kNotRebuilt));
        if (words->pictureFault) throw PictureError(words->failure(r, w));
        throw ScriptError(words->failure(r, w));
    }
    // SaveAs reports its failure in a message box and keeps the old file.
    if (a.input == ActionInput::SaveDialog && r.messages.errors != errorsBefore) r.outputFailed = true;
}

long settingValue(const Setting& setting, const std::string& value) {
    switch (setting.kind) {
    case SettingKind::Bool: return onOff(value);
    case SettingKind::Int: return number(value, setting.min, setting.max);
    case SettingKind::Choice: break;
    }
    std::string words;
    for (size_t i = 0; i < setting.choices.size(); ++i) {
        if (value == setting.choices[i]) return setting.min + long(i);
        words += std::string(i == 0 ? "" : " or ") + std::string(setting.choices[i]);
    }
    throw ScriptError(std::string(setting.name) + " is " + words);
}

void setWord(ScriptRun& r, const Words& w) {
    need(w, 3);
    const Setting* setting = findSetting(w[1]);
    if (!setting) throw ScriptError("unknown setting " + w[1]);
    setSetting(r.session, *setting, settingValue(*setting, w[2]));
}

void dumpWord(ScriptRun& r, const Words& w) {
    need(w, 3);
    dump(r, w[1], w[2]);
}

// The tool bar's buttons wait for a picture; a script may choose its tool before it loads one.
void toolWord(ScriptRun& r, const Words& w) {
    need(w, 2);
    const Tool* tool = toolNamed(w[1]);
    if (!tool) throw ScriptError("unknown tool " + w[1]);
    selectTool(r.session.tools, *tool);
}

void abortAfterWord(ScriptRun& r, const Words& w) {
    need(w, 2);
    const long poll = number(w[1], 0, INT32_MAX);
    if (poll < 1) throw ScriptError("abort-after needs a poll count of 1 or more: " + w[1]);
    r.progress.abortAt(uint64_t(poll));
}

void timeWord(ScriptRun& r, const Words& w) {
    need(w, 2);
    const auto now = std::chrono::steady_clock::now();
    r.out << "time " << w[1] << ' ' << std::chrono::duration_cast<std::chrono::milliseconds>(now - r.lastTime).count()
          << '\n';
    r.lastTime = now;
}

// The runner's own words: what a user does with the pointer and the tool
// bar, and what only a script asks for.
struct RunnerWord {
    std::string_view word;
    void (*run)(ScriptRun& r, const Words& w);
};

const RunnerWord kRunnerWords[] = {
    {"set", setWord},
    {"tool", toolWord},
    {"press", pressWord},
    {"move", moveWord},
    {"click", clickWord},
    {"release", releaseWord},
    {"tap", tapWord},
    {"drag", dragWord},
    {"abort-after", abortAfterWord},
    {"dump", dumpWord},
    {"time", timeWord},
};

} // namespace

bool isScriptCommand(const std::string& word) {
    if (const Action* a = findAction(word); a && a->scripted) return true;
    return std::any_of(std::begin(kRunnerWords), std::end(kRunnerWords),
                       [&](const RunnerWord& w) { return w.word == word; });
}

void runWords(ScriptRun& r, const Words& w) {
    if (const Action* a = findAction(w[0]); a && a->scripted) return runAction(r, *a, w);
    for (const RunnerWord& word : kRunnerWords)
        if (word.word == w[0]) return word.run(r, w);
    throw ScriptError("unknown command " + w[0]);
}

} // namespace cw
