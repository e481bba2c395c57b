#include "document/paint_routines.h"

#include "document/document.h"

namespace cw {

// The picture as it is, without the outlines drawn over it, so that Un-do
// never brings a rubber band or a marker into the picture.
void PaintRoutines::undoSnapshot(Document& s) {
    if (s.ws) s.ws->undo.copyFrom(s.ws->colour);
}

void PaintRoutines::zoomRefresh(Document& s, bool always) {
    if (s.zoom.exists && (always || s.zoom.autoSync)) cw::zoomRefresh(s);
}

} // namespace cw
