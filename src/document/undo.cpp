#include "document/undo.h"

#include "core/undo_swap.h"
#include "document/document.h"

namespace cw {

void undoClick(Document& s) {
    if (!s.ws || !s.pointer.undoEnabled) return;
    const Rect shown = exchangeUndo(*s.ws);
    s.reworked = true;  // the picture is no longer the one saved, either way
    s.showChanged(shown);
}

void undoEnabledClick(Document& s, bool checked) {
    s.pointer.undoEnabled = checked;
    if (checked) takeUndoSnapshot(s);
}

// The working picture, not the display: outlines drawn over it (a rubber
// band, a marker) never come back with an Un-do.
void takeUndoSnapshot(Document& s) {
    if (s.ws) s.ws->undo.copyFrom(s.ws->colour);
}

} // namespace cw
