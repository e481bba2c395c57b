#pragma once
// The palette catalogue: the image window's palette pop-up menu (PopupMenu2)
// as one table, and what its items, the Custom colour and the main window's
// Original button do to the palette selection.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "core/colour_settings.h"

namespace cw {

// Hint of the image window's scroll box and picture, shown until the menu
// has been opened once.
inline constexpr std::string_view kPaletteMenuHint = "RIGHT-CLICK to Show Colour-palette Options";
inline constexpr std::string_view kOriginalButtonHint =
    "Original Image Palette; use to selectively restore regions from Original Image";

enum class PaletteItemKind : uint8_t {
    Palette,     // a catalogue entry
    Clear,       // Clear2: offered only while the object side panel is shown
    PickColour,  // PickColour1: the colour comes from the colour dialog
};

// One item of PopupMenu2. Items sit in the submenu named by `submenu`
// (empty: on the menu itself); consecutive rows share a submenu.
struct PaletteMenuItem {
    std::string_view submenu;    // caption with its & accelerator
    std::string_view name;       // "Fair1"
    std::string_view caption;    // "&Fair [Red]"
    bool isDefault;              // shown bold as its submenu's default
    std::string_view handler;    // "Fair1Click"
    PaletteItemKind kind;
    bool damper;                 // the state the Damper check box is set to
    int32_t strength;            // the strength box's number
    int32_t code;                // PaletteCode
    int32_t marker;              // MarkerColour, 0x00BBGGRR (or -1); PickColour: from the dialog
    std::string_view selectionCaption;
};

// Every item of PopupMenu2, in menu order: the submenus, then Clear and PickColour.
std::span<const PaletteMenuItem> paletteMenu();

struct PaletteSubmenu {
    std::string_view caption;  // empty for the items on the menu itself
    std::span<const PaletteMenuItem> items;
};
// paletteMenu() cut into its runs of one submenu each, in menu order.
std::vector<PaletteSubmenu> paletteSubmenus();

// PopupMenu2Popup: Clear is offered only while the object side panel (Panel3)
// is visible; every other item always.
inline bool offeredInMenu(const PaletteMenuItem& item, bool objectPanelVisible) {
    return item.kind != PaletteItemKind::Clear || objectPanelVisible;
}

// The item whose selection caption is exactly `caption` (the batch command
// `palette "Sky: Blue"`), or nullptr. The captions are unique; were two
// alike, the first in menu order would answer.
const PaletteMenuItem* findPaletteItem(std::string_view selectionCaption);

// The steps a selection takes, in order, each reported once it is done, so
// that a window can mirror the hidden controls and the caption label.
enum class SelectionStep : uint8_t { Damper, Strength, PaletteCode, MarkerColour, SelectionCaption };
using SelectionObserver = std::function<void(SelectionStep, const PaletteSelection&)>;

// A palette-menu item chosen: sets the Damper check box, the strength box,
// PaletteCode, MarkerColour and SelectionCaption. Returns false, changing
// nothing, for PickColour, which needs the dialog's answer.
bool paletteItemClick(const PaletteMenuItem& item, PaletteSelection& sel,
                      const SelectionObserver& observer = {});

inline constexpr std::string_view kCustomCaption = "Custom";
// The PickColour item after the colour dialog: a confirmed colour (0x00BBGGRR)
// selects it as Custom; nullopt (cancelled) changes nothing. Returns whether
// anything was selected.
bool pickColourClick(std::optional<int32_t> chosen, PaletteSelection& sel,
                     const SelectionObserver& observer = {});

inline constexpr int32_t kOriginalMarker = 0x808080;
inline constexpr std::string_view kOriginalCaption = "Original: [Eraser]";
// The Original (eraser) palette button: plain restore (127) while
// ambient light, intensity and saturation all stand at 0, otherwise restore
// with effects (124). Damper and strength box stay as they are.
void originalPaletteClick(const EffectSettings& fx, PaletteSelection& sel,
                          const SelectionObserver& observer = {});

} // namespace cw
