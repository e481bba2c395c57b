#include "document/undo.h"

#include "core/undo.h"
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
    if (checked && s.ws) s.routines->undoSnapshot(s);
}

} // namespace cw
