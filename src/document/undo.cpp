#include "document/undo.h"

#include <utility>

#include "document/document.h"

namespace cw {

void undoClick(Document& s) {
    if (!s.ws || !s.pointer.undoEnabled) return;
    Workspace& ws = *s.ws;
    // Exchanging the buffers is the exchange; only the display needs a copy.
    std::swap(ws.colour, ws.undo);
    ws.display.copyFrom(ws.colour);
    s.observer.displayChanged(0, 0, ws.width, ws.height);
}

void undoEnabledClick(Document& s, bool checked) {
    s.pointer.undoEnabled = checked;
    if (checked && s.ws) s.routines->undoSnapshot(s);
}

} // namespace cw
