#include "tools/rectangle_tool.h"

#include "document/document.h"

namespace cw {

RectangleTool::RectangleTool()
    : BandTool({.id = kToolRectangle,
                .name = "rectangle",
                .hint = "Make a rectangular selection to operate on (e.g. Zoom)",
                .stepName = "Rectangle",
                .glyph = ToolGlyph::DashedFrame,
                .cursor = ToolCursor::Drag,
                .groups = {.overwriteShown = false, .integrationShown = false, .brushShown = false},
                .switches = SwitchesOnSelect::Kept,
                .overwriteExcludesLayered = false,
                .drags = true,
                .skipsSameCode = false}) {}

// A band dragged left or up, or one without area, selects nothing. The band
// stays on screen while the selection is pending.
void RectangleTool::release(Gesture& g) const {
    Workspace& ws = g.ws;
    const Rect& t = g.state.toolRect;
    if (t.y2 - t.y1 > 0 && t.x2 - t.x1 > 0) {
        ws.selectionActive = true;
        g.doc.pointer.paintLimitRect = ws.selectionRect;
        setCropPending(g.doc, true);
    }
}

} // namespace cw
