#include "tools/brush_paint.h"

#include "core/colour_mag.h"
#include "document/document.h"
#include "tools/colouring.h"

namespace cw {

void colourWin(Document& s, bool masked) {
    if (!s.ws) return;
    const GestureState& g = s.gesture;
    const BrushStroke stroke{.prev = g.prevToolRect,
                             .cur = g.toolRect,
                             .rounded = s.tools.rounded,
                             .centreX = g.brushCentreX,
                             .centreY = g.brushCentreY,
                             .radius = g.brushRadius,
                             .code = s.palette.paletteCode,
                             .factor = s.tools.overwriteFactor,
                             .picked = g.pickedColour,
                             .masked = masked};
    // Nothing to tell the observer: the display is left to the gesture.
    brushPaint(colouring(s), stroke);
}

} // namespace cw
