#pragma once
// Every command a button, a menu item or a script line gives: one row each,
// so that the windows and the runner run the same handler under the same
// rule.
#include <span>
#include <string>
#include <string_view>

namespace cw {

struct Document;

// Captions of the buttons that change with the document: Load Image becomes
// Clear Image while a picture is open; Re-set reads Crop while a rectangular
// selection is pending.
inline constexpr const char* kLoadCaption = "Load Image";
inline constexpr const char* kClearCaption = "Clear Image";
inline constexpr const char* kZeroSetCaption = "Zer&o-set";
inline constexpr const char* kCropCaption = "Cr&op";
struct Session;
struct QuickBrush;

enum class ActionNeeds {
    Nothing,
    Picture,  // an open picture; without one the row does nothing
};

// How a trigger hands a row what it works on.
enum class ActionInput {
    None,
    OpenDialog,  // the file the open dialog names
    SaveDialog,  // the file the save dialog names
    Named,       // a palette's selection caption or a quick brush's size, given with the trigger
};

// The commands every desktop has its own keys for. The windows take the
// desktop's keys; where the desktop names none, the row's own key stands in.
enum class StandardKey { None, Open, SaveAs, Print, Close, Quit, Undo, Redo, HelpContents, ZoomIn, ZoomOut };

struct Shortcut {
    StandardKey standard = StandardKey::None;
    std::string_view key;  // in Qt's portable text ("Ctrl+O", "B", "["); empty for none
    std::string_view also;  // a second key every desktop gets beside the others
    bool empty() const { return standard == StandardKey::None && key.empty(); }
};

struct Action {
    std::string_view name;     // the runner's word
    std::string_view caption;  // the text of the button that gives it; empty when its buttons have their own
    Shortcut shortcut;
    ActionNeeds needs;
    ActionInput input;
    // Scripts may give it. Printing, scanning, help and quitting need the
    // windows; the tools and the brush size have the runner's `tool` and
    // `set`.
    bool scripted;
    // False when it could not do its work: a load or restore that left no
    // picture, a rebuild that failed, a name that names nothing.
    bool (*run)(Session& s, std::string_view named);
};

std::span<const Action> actions();
const Action* findAction(std::string_view name);

bool actionEnabled(const Action& a, const Document& d);

// Runs the row when its rule allows, then tells the observer that the
// controls may show something new. Returns what the row returned, or false
// when the rule refused it.
bool triggerAction(Session& s, const Action& a, std::string_view named = {});

// The name a quick brush has in the quick-brush row: its width x height.
std::string quickBrushName(const QuickBrush& b);

// Original names the Original (eraser) button rather than a menu item.
inline constexpr std::string_view kOriginalPaletteName = "Original";

} // namespace cw
