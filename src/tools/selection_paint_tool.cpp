#include "tools/selection_paint_tool.h"

#include "document/document.h"
#include "tools/selection_painting.h"

namespace cw {

SelectionPaintTool::SelectionPaintTool()
    : BandTool({.id = kToolSelectionPaint,
                .name = "selection-paint",
                .hint = "Selection-paint tool",
                .stepName = "Selection-paint",
                .glyph = ToolGlyph::FilledRectangle,
                .cursor = ToolCursor::Drag,
                .groups = {.overwriteShown = true, .integrationShown = false, .brushShown = false},
                .switches = SwitchesOnSelect::Cleared,
                .overwriteExcludesLayered = false,
                .drags = true,
                .skipsSameCode = false}) {}

void SelectionPaintTool::release(Gesture& g) const { paintSelection(g.doc); }

} // namespace cw
