#include "tools/brush_tool.h"

#include <algorithm>

#include "core/brush_stroke.h"
#include "core/colour_mag.h"
#include "document/document.h"
#include "tools/colouring.h"

namespace cw {

namespace {

// The brush window around (x, y); the press starts it one pixel further in.
Rect brushWindow(const Document& s, int32_t x, int32_t y, int32_t inset) {
    const Workspace& ws = *s.ws;
    const int32_t w = s.tools.brushWidth, h = s.tools.brushHeight;
    return {std::max(0, x - w + inset), std::max(0, y - h + inset), std::max(0, std::min(ws.width - 1, x + w)),
            std::max(0, std::min(ws.height - 1, y + h))};
}

// The brush paints a pixel past its window on the right and bottom, and its
// outline ends one short: restoring two further shows all of both.
void restoreWindow(Gesture& g, const Rect& r) { g.restore({r.x1, r.y1, r.x2 + 2, r.y2 + 2}); }

} // namespace

void paintBrushWindow(Document& s, bool masked) {
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
    // Nothing to tell the observer: the display is left to the gesture. The
    // history is told where the colours and codes changed.
    s.history.touched(brushPaint(colouring(s), stroke));
}

BrushTool::BrushTool()
    : Tool({.id = kToolBrush,
            .name = "brush",
            .hint = "Smart Paint-brush tool",
            .stepName = "Brush",
            .glyph = ToolGlyph::Brush,
            .cursor = ToolCursor::Crosshair,
            .groups = {.overwriteShown = true, .integrationShown = false, .brushShown = true},
            .switches = SwitchesOnSelect::Cleared,
            .overwriteExcludesLayered = true,
            .drags = true,
            .skipsSameCode = true}) {}

void BrushTool::press(Gesture& g, int32_t x, int32_t y) const {
    Document& s = g.doc;
    GestureState& t = g.state;
    t.toolRect = brushWindow(s, x, y, 1);
    // The radius comes from the size fields, not the clamped size.
    t.brushRadius = std::max(s.tools.brushHeightField, s.tools.brushWidthField);
    t.brushCentreX = x;
    t.brushCentreY = y;
    t.prevToolRect = t.toolRect;
    g.outline(t.toolRect, s.tools.rounded);
    paintBrushWindow(s, s.tools.paintMode == kPaintMasked);
}

void BrushTool::move(Gesture& g, int32_t x, int32_t y) const {
    Document& s = g.doc;
    GestureState& t = g.state;
    t.toolRect = brushWindow(s, x, y, 0);
    t.brushCentreX = x;
    t.brushCentreY = y;
    restoreWindow(g, g.ws.selectionRect);
    g.outline(t.toolRect, s.tools.rounded);
    paintBrushWindow(s, s.tools.paintMode == kPaintMasked);
}

void BrushTool::release(Gesture& g) const { restoreWindow(g, g.ws.selectionRect); }

// What the strokes painted stays painted.
void BrushTool::cancel(Gesture& g) const {
    restoreWindow(g, g.state.toolRect);
    g.ws.imageModified = true;
}

} // namespace cw
