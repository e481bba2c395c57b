#include "actions/action_table.h"

#include "actions/crop_scale_command.h"
#include "actions/finishup_command.h"
#include "actions/markup_command.h"
#include "actions/palette_menu.h"
#include "actions/picture_files.h"
#include "actions/process_command.h"
#include "actions/session.h"
#include "actions/setting_table.h"
#include "core/catalogue.h"
#include "core/effects.h"
#include "document/tool_settings.h"
#include "document/undo.h"
#include "document/zoom.h"
#include "tools/interaction.h"
#include "tools/tool.h"
#include "tools/tool_choice.h"

namespace cw {

namespace {

using In = ActionInput;
using Needs = ActionNeeds;

// A row whose handler's own outcome (a cancelled dialog, a kept picture) is
// the user's choice, not a failure.
template <auto Handler>
bool always(Session& s, std::string_view) {
    Handler(s);
    return true;
}

// Load with a picture open replaces it, unless the user keeps it when asked
// about its unsaved changes; the Load button never meets that case, since it
// reads Clear Image while a picture is open.
bool load(Session& s, std::string_view) {
    if (s.imageWindowOpen && !clearImage(s)) return true;
    loadImage(s);
    return s.imageWindowOpen;
}

bool restore(Session& s, std::string_view) {
    restoreImage(s);
    return s.imageWindowOpen;
}

bool rebuild(Session& s, std::string_view) { return resetClick(s); }

void print(Session& s) { s.host.printPicture(); }
void scan(Session& s) { s.host.scanImage(); }
void help(Session& s) { s.host.showHelp(); }
void quit(Session& s) { s.host.quitProgram(); }
void undo(Session& s) { undoClick(s); }

// A step that replaced the picture brings back another size: the windows
// fit it as after a set-up, and what belonged to the other picture goes.
template <bool (*Walk)(Document&)>
void historyWalk(Session& s) {
    if (!Walk(s)) return;
    setCropPending(s, false);
    s.imageSpan = s.ws->width + s.ws->height;
    s.zoom = ZoomView{};
    s.host.zoomViewChanged();
    s.host.fitImageWindow();
    s.host.pictureChanged();
}

// What the history calls the change a row makes: its button's caption, or
// for the Re-set button what it is about to do.
std::string stepNameOf(const Action& a, const Session& s) {
    if (a.name == "reset") return s.ws && s.ws->selectionActive ? "Crop" : s.scale.value != 0 ? "Scale" : "Zero-set";
    std::string name(a.caption);
    std::erase(name, '&');
    return name;
}
void zoom(Session& s) { zoomClick(s); }
template <ViewScale Step>
void scaleView(Session& s) { s.host.scaleView(Step); }
void effectsReset(Session& s) { resetEffects(s.effects, s.tools); }

bool palette(Session& s, std::string_view caption) {
    if (caption == kOriginalPaletteName) {
        originalButtonClick(s);
        return true;
    }
    const PaletteMenuItem* item = findPaletteItem(caption);
    if (!item) return false;
    paletteMenuItemClick(s, *item);
    return true;
}

bool quickBrushNamed(Session& s, std::string_view size) {
    for (const QuickBrush& b : kQuickBrushes)
        if (quickBrushName(b) == size) {
            quickBrush(s.tools, b);
            return true;
        }
    return false;
}

template <int32_t Tool>
void chooseTool(Session& s) {
    selectTool(s.tools, Tool);
}

// Both size fields a step, held to their range by their own rows, as the
// fields' arrows would.
template <int32_t Step>
void brushStep(Session& s) {
    setSetting(s, *findSetting("brush-width"), long(s.tools.brushWidthField) + Step);
    setSetting(s, *findSetting("brush-height"), long(s.tools.brushHeightField) + Step);
}

using Key = StandardKey;
constexpr Shortcut none;
constexpr Shortcut standard(StandardKey k, std::string_view key) { return {k, key, {}}; }
constexpr Shortcut key(std::string_view key) { return {Key::None, key, {}}; }

const Action kActions[] = {
    {"load", kLoadCaption, standard(Key::Open, "Ctrl+O"), Needs::Nothing, In::OpenDialog, true, load},
    {"clear", kClearCaption, standard(Key::Close, "Ctrl+W"), Needs::Nothing, In::None, true, always<clearImage>},
    {"scan", "Scan Image", none, Needs::Nothing, In::None, false, always<scan>},
    {"save", "SaveAs", standard(Key::SaveAs, "Ctrl+Shift+S"), Needs::Picture, In::SaveDialog, true, always<saveImageAs>},
    {"restore", "Restore", none, Needs::Picture, In::None, true, restore},
    {"autofinish", "AutoFinish", none, Needs::Picture, In::None, true, always<autoFinishClick>},
    {"print", "Print", standard(Key::Print, "Ctrl+P"), Needs::Picture, In::None, false, always<print>},
    {"help", "Help/ Info.", standard(Key::HelpContents, "F1"), Needs::Nothing, In::None, false, always<help>},
    {"quit", "Quit", standard(Key::Quit, "Ctrl+Q"), Needs::Nothing, In::None, false, always<quit>},
    {"markup", "Mark-up", none, Needs::Picture, In::None, true, always<markUpClick>},
    {"process", "Process", none, Needs::Picture, In::None, true, always<processClick>},
    {"view-all", "View All", none, Needs::Picture, In::None, true, always<viewAllClick>},
    {"view-pending", "View Pending", none, Needs::Picture, In::None, true, always<viewPendingClick>},
    {"remove", "Remove", none, Needs::Picture, In::None, true, always<removeClick>},
    {"undo", "&Un-do", none, Needs::Picture, In::None, true, always<undo>},
    {"history-undo", "Undo", standard(Key::Undo, "Ctrl+Z"), Needs::Picture, In::None, true, always<historyWalk<undoStep>>},
    {"history-redo", "Redo", {Key::Redo, "Ctrl+Shift+Z", "Ctrl+Y"}, Needs::Picture, In::None, true, always<historyWalk<redoStep>>},
    {"zoom", "&Zoom", none, Needs::Picture, In::None, true, always<zoom>},
    {"reset", kZeroSetCaption, none, Needs::Picture, In::None, true, rebuild},
    {"view-zoom-in", "Zoom In", standard(Key::ZoomIn, "Ctrl++"), Needs::Picture, In::None, false, always<scaleView<ViewScale::ZoomIn>>},
    {"view-zoom-out", "Zoom Out", standard(Key::ZoomOut, "Ctrl+-"), Needs::Picture, In::None, false, always<scaleView<ViewScale::ZoomOut>>},
    {"view-fit", "Fit", key("Ctrl+0"), Needs::Picture, In::None, false, always<scaleView<ViewScale::Fit>>},
    {"view-actual-size", "100%", key("Ctrl+1"), Needs::Picture, In::None, false, always<scaleView<ViewScale::Actual>>},
    {"effects-reset", "Re-set", none, Needs::Nothing, In::None, true, always<effectsReset>},
    {"palette", "Palette", none, Needs::Nothing, In::Named, true, palette},
    {"quick-brush", "Quick BRUSH Selector", none, Needs::Nothing, In::Named, true, quickBrushNamed},
    // The letters the common image editors give their tools: M the
    // rectangular marquee, B the brush, F the fill; S for Selection-paint.
    // Like their buttons they wait for a picture; the buttons carry the
    // tools' hints as their captions.
    {"tool-rectangle", "", key("M"), Needs::Picture, In::None, false, always<chooseTool<kToolRectangle>>},
    {"tool-brush", "", key("B"), Needs::Picture, In::None, false, always<chooseTool<kToolBrush>>},
    {"tool-selection-paint", "", key("S"), Needs::Picture, In::None, false, always<chooseTool<kToolSelectionPaint>>},
    {"tool-touch", "", key("F"), Needs::Picture, In::None, false, always<chooseTool<kToolTouch>>},
    {"brush-smaller", "Smaller brush", key("["), Needs::Nothing, In::None, false, always<brushStep<-1>>},
    {"brush-larger", "Larger brush", key("]"), Needs::Nothing, In::None, false, always<brushStep<1>>},
};

} // namespace

std::span<const Action> actions() { return kActions; }

const Action* findAction(std::string_view name) {
    for (const Action& a : kActions)
        if (a.name == name) return &a;
    return nullptr;
}

bool actionEnabled(const Action& a, const Document& d) {
    switch (a.needs) {
    case ActionNeeds::Nothing: return true;
    case ActionNeeds::Picture: return d.imageWindowOpen && d.ws;
    }
    return false;
}

bool triggerAction(Session& s, const Action& a, std::string_view named) {
    if (!actionEnabled(a, s)) return false;
    recordOpenGesture(s);
    const std::string step = stepNameOf(a, s);
    const bool done = a.run(s, named);
    recordStep(s, step);
    s.observer.mainWindowChanged();
    return done;
}

std::string quickBrushName(const QuickBrush& b) { return std::to_string(b.width) + "x" + std::to_string(b.height); }

} // namespace cw
