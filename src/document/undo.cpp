#include "document/undo.h"

#include "core/undo.h"
#include "document/document.h"

namespace cw {

void undoClick(Document& s) {
    if (!s.ws || !s.pointer.undoEnabled) return;
    const Rect shown = exchangeUndo(*s.ws);
    s.observer.displayChanged(shown.x1, shown.y1, shown.x2, shown.y2);
}

void undoEnabledClick(Document& s, bool checked) {
    s.pointer.undoEnabled = checked;
    if (checked && s.ws) s.routines->undoSnapshot(s);
}

} // namespace cw
