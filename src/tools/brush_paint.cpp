#include "tools/brush_paint.h"

#include "core/colour_mag.h"
#include "document/document.h"
#include "tools/colouring.h"

namespace cw {

void colourWin(Document& s, bool masked) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    const BrushStroke stroke{.prev = ws.prevToolRect,
                             .cur = ws.toolRect,
                             .rounded = s.tools.rounded,
                             .centreX = ws.brushCentreX,
                             .centreY = ws.brushCentreY,
                             .radius = ws.brushRadius,
                             .code = s.palette.paletteCode,
                             .factor = s.tools.overwriteFactor,
                             .picked = ws.pickedColour,
                             .masked = masked};
    // Nothing to tell the observer: the display is left to the gesture.
    brushPaint(colouring(s), stroke);
}

} // namespace cw
