#include "actions/palette_menu.h"

#include "actions/session.h"
#include "core/catalogue.h"

namespace cw {

void paletteMenuItemClick(Session& s, const PaletteMenuItem& item) {
    if (item.kind == PaletteItemKind::PickColour) {
        if (!pickColourClick(s.dialogs.pickColour(), s.palette)) return;
    } else {
        paletteItemClick(item, s.palette);
    }
    s.host.mainWindowChanged();
}

void originalButtonClick(Session& s) {
    originalPaletteClick(s.effects, s.palette);
    s.host.mainWindowChanged();
}

} // namespace cw
