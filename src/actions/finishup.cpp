#include "actions/finishup.h"

#include "actions/session.h"

namespace cw {

void finishup(Session& s, FinishupMode mode) {
    if (!s.ws) return;
    const ColourMagContext ctx{*s.ws, s.palette, s.effects, paintRules(s.tools), s.pointer.shiftHeld};
    const Rect shown = finishup(ctx, mode, s.progress);
    s.host.displayChanged(shown.x1, shown.y1, shown.x2, shown.y2);
}

void autoFinishClick(Session& s) {
    s.tools.layered = false;
    if (s.imageWindowOpen && s.ws) {
        finishup(s, FinishupMode::Recolour);
        if (!s.controls.unmaskOnly) finishup(s, FinishupMode::Fill);
        s.controls.layeredShown = true;
        s.tools.paintMode = kPaintInteractive;
    }
    s.host.mainWindowChanged();
}

} // namespace cw
