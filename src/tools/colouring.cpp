#include "tools/colouring.h"

#include "document/document.h"
#include "tools/tool_registry.h"

namespace cw {

PaintRules paintRules(const ToolSettings& t) {
    return {.skipSameCode = currentTool(t).skipsSameCode() && !t.overwrite, .layered = t.layered};
}

ColourMagContext colouring(Document& s) { return {*s.ws, s.palette, s.effects, paintRules(s.tools), s.pointer.shiftHeld}; }

} // namespace cw
