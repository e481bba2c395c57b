#include "tools/selection_painting.h"

#include <algorithm>

#include "core/colour_mag.h"
#include "core/outline.h"
#include "document/document.h"
#include "tools/colouring.h"
#include "document/undo.h"

namespace cw {

namespace {
constexpr int32_t kAcceptAll = 255;

Rect unite(const Rect& a, const Rect& b) {
    if (a == Rect{}) return b;
    if (b == Rect{}) return a;
    return {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
}
} // namespace

void paintToolRect(Document& s, bool masked) {
    if (!s.ws) return;
    const SelectionFill fill{.toolRect = s.gesture.toolRect,
                             .code = s.palette.paletteCode,
                             .factor = s.tools.overwriteFactor,
                             .overwrite = s.tools.overwrite,
                             .picked = s.gesture.pickedColour,
                             .masked = masked};
    // Nothing to tell the observer: the display is left to the caller.
    colourSelection(colouring(s), fill, s.progress);
}

void paintSelection(Document& s) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    Workspace& ws = *s.ws;
    const int32_t factor = s.tools.overwriteFactor;
    s.tools.overwriteFactor = kAcceptAll;
    ws.selectionActive = false;
    // Erases the rubber band, so the colour test never sees it.
    restoreRect(ws.display, ws.colour, ws.selectionRect);
    s.gesture.toolRect = s.gesture.prevToolRect = ws.selectionRect;
    paintToolRect(s, s.tools.paintMode == kPaintMasked);
    s.tools.overwriteFactor = factor;

    // The painted region reaches a column and a row past the rectangle's
    // inclusive corner; show all of it.
    const Rect painted = selectionRegion(ws.selectionRect, ws.width, ws.height);
    const Rect shown = unite(spanOf(ws.selectionRect, ws.width, ws.height),
                             spanOf({painted.x1, painted.y1, painted.x2 + 1, painted.y2 + 1}, ws.width, ws.height));
    restoreRect(ws.display, ws.colour, shown);
    s.showChanged(shown);
}

} // namespace cw
