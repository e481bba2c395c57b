#pragma once
// Every value a control of the windows sets, and a script's `set` key for
// it: one row each, so that the windows, the runner and the tests agree on
// its range and on what a change does beside storing the value.
#include <cstdint>
#include <span>
#include <string_view>

namespace cw {

struct Document;

enum class SettingKind {
    Bool,    // 0 or 1; scripts say off or on
    Int,     // min..max
    Choice,  // 0..n-1, one word each
};

struct Setting {
    std::string_view name;  // the `set` key
    SettingKind kind;
    int32_t min, max;
    std::span<const std::string_view> choices;  // Choice: the word of each value, from min up
    int32_t (*get)(const Document&);
    // Runs the control's change rule; the value is already within min..max.
    void (*put)(Document&, int32_t);
};

std::span<const Setting> settings();
const Setting* findSetting(std::string_view name);

// The control takes `value`, held to the setting's range as the control
// holds it, its change rule runs, and the observer hears that the controls
// may show something new.
void setSetting(Document& d, const Setting& setting, long value);

} // namespace cw
