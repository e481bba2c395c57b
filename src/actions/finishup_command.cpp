#include "actions/finishup_command.h"

#include "actions/session.h"
#include "tools/colouring.h"
#include "document/undo.h"

namespace cw {

void runFinishup(Session& s, FinishupMode mode) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    const ColourMagContext ctx = colouring(s);
    const Rect shown = finishup(ctx, mode, s.progress);
    s.showChanged(shown);
}

void autoFinishClick(Session& s) {
    s.tools.layered = false;
    if (s.imageWindowOpen && s.ws) {
        runFinishup(s, FinishupMode::Recolour);
        if (!s.controls.unmaskOnly)
            runFinishup(s, s.controls.finishMode == kFinishEdgeAware ? FinishupMode::FillEdgeAware : FinishupMode::Fill);
        s.controls.layeredShown = true;
        s.tools.paintMode = kPaintInteractive;
    }
    s.host.mainWindowChanged();
}

} // namespace cw
