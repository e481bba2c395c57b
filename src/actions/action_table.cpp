#include "actions/action_table.h"

#include "actions/finishup.h"
#include "actions/markup.h"
#include "actions/palette_menu.h"
#include "actions/picture_files.h"
#include "actions/process.h"
#include "actions/resample.h"
#include "actions/session.h"
#include "core/catalogue.h"
#include "core/effects.h"
#include "document/tool_settings.h"
#include "document/undo.h"
#include "document/zoom.h"
#include "tools/interaction.h"

namespace cw {

namespace {

using In = ActionInput;
using Needs = ActionNeeds;

template <void (*Handler)(Session&)>
bool always(Session& s, std::string_view) {
    Handler(s);
    return true;
}

// Load with a picture open replaces it; the Load button never meets that
// case, since it reads Clear Image while a picture is open.
bool load(Session& s, std::string_view) {
    if (s.imageWindowOpen) clearImage(s);
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
void undo(Session& s) { undoClick(s); }
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

const Action kActions[] = {
    {"load", kLoadCaption, "", Needs::Nothing, In::OpenDialog, true, load},
    {"clear", kClearCaption, "", Needs::Nothing, In::None, true, always<clearImage>},
    {"scan", "Scan Image", "", Needs::Nothing, In::None, false, always<scan>},
    {"save", "SaveAs", "", Needs::Picture, In::SaveDialog, true, always<saveImageAs>},
    {"restore", "Restore", "", Needs::Picture, In::None, true, restore},
    {"autofinish", "AutoFinish", "", Needs::Picture, In::None, true, always<autoFinishClick>},
    {"print", "Print", "", Needs::Picture, In::None, false, always<print>},
    {"markup", "Mark-up", "", Needs::Picture, In::None, true, always<markUpClick>},
    {"process", "Process", "", Needs::Picture, In::None, true, always<processClick>},
    {"view-all", "View All", "", Needs::Picture, In::None, true, always<viewAllClick>},
    {"view-pending", "View Pending", "", Needs::Picture, In::None, true, always<viewPendingClick>},
    {"remove", "Remove", "", Needs::Picture, In::None, true, always<removeClick>},
    {"undo", "&Un-do", "", Needs::Picture, In::None, true, always<undo>},
    {"zoom", "&Zoom", "", Needs::Picture, In::None, true, always<zoom>},
    {"reset", kZeroSetCaption, "", Needs::Picture, In::None, true, rebuild},
    {"view-zoom-in", "Zoom In", "Ctrl++", Needs::Picture, In::None, false, always<scaleView<ViewScale::ZoomIn>>},
    {"view-zoom-out", "Zoom Out", "Ctrl+-", Needs::Picture, In::None, false, always<scaleView<ViewScale::ZoomOut>>},
    {"view-fit", "Fit", "Ctrl+0", Needs::Picture, In::None, false, always<scaleView<ViewScale::Fit>>},
    {"view-actual-size", "100%", "Ctrl+1", Needs::Picture, In::None, false, always<scaleView<ViewScale::Actual>>},
    {"effects-reset", "Re-set", "", Needs::Nothing, In::None, true, always<effectsReset>},
    {"palette", "Palette", "", Needs::Nothing, In::Named, true, palette},
    {"quick-brush", "Quick BRUSH Selector", "", Needs::Nothing, In::Named, true, quickBrushNamed},
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
    const bool done = a.run(s, named);
    s.observer.mainWindowChanged();
    return done;
}

std::string quickBrushName(const QuickBrush& b) { return std::to_string(b.width) + "x" + std::to_string(b.height); }

} // namespace cw
