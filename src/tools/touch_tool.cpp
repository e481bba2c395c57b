#include "tools/touch_tool.h"

#include "core/palette_networks.h"
#include "document/document.h"
#include "tools/connected_paint.h"
#include "tools/image_wide_paint.h"

namespace cw {

TouchTool::TouchTool()
    : Tool({.id = kToolTouch,
            .name = "touch",
            .hint = "Magic Touch-paint tool",
            .stepName = "Touch-paint",
            .glyph = ToolGlyph::Wand,
            .cursor = ToolCursor::PointingHand,
            .groups = {.overwriteShown = true, .integrationShown = true, .brushShown = false},
            .switches = SwitchesOnSelect::Checked,
            .overwriteExcludesLayered = false,
            .drags = false,
            .skipsSameCode = false}) {}

bool TouchTool::click(Document& s) const {
    if (s.palette.paletteCode == kCodeOriginal) return false;
    const int32_t x = s.gesture.pointerX, y = s.gesture.pointerY, code = s.palette.paletteCode;
    const bool masked = s.tools.paintMode == kPaintMasked;
    if (s.tools.scope == kScopeImageWide) paintImageWide(s, x, y, code, masked, s.tools.overwrite);
    else paintConnected(s, x, y, code, masked);
    return true;
}

} // namespace cw
