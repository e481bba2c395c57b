#include "tools/touch_tool.h"

#include "core/palette_networks.h"
#include "document/document.h"

namespace cw {

namespace {
} // namespace

TouchTool::TouchTool()
    : Tool({.id = kToolTouch,
            .name = "touch",
            .hint = "Magic Touch-paint tool",
            .glyph = ToolGlyph::Wand,
            .cursor = ToolCursor::PointingHand,
            .groups = {.overwriteShown = true, .integrationShown = true, .brushShown = false},
            .switches = SwitchesOnSelect::Checked,
            .overwriteExcludesLayered = false,
            .drags = false}) {}

bool TouchTool::click(Document& s) const {
    if (s.palette.paletteCode == kCodeOriginal) return false;
    const Workspace& ws = *s.ws;
    const int32_t x = ws.pointerX, y = ws.pointerY, code = s.palette.paletteCode;
    PaintRoutines& r = *s.routines;
    if (s.tools.scope == kScopeImageWide) {
        if (s.tools.paintMode == kPaintMasked) {
            if (s.tools.overwrite) r.touchPaintMOY(s, x, y, code);
            else r.touchPaintMON(s, x, y, code);
        } else {
            if (s.tools.overwrite) r.touchPaintIOY(s, x, y, code);
            else r.touchPaintION(s, x, y, code);
        }
    } else if (s.tools.paintMode == kPaintMasked) {
        r.clickPaintM(s, x, y, code);
    } else {
        r.clickPaintI(s, x, y, code);
    }
    return true;
}

} // namespace cw
