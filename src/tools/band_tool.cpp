#include "tools/band_tool.h"

#include "core/workspace.h"

namespace cw {

void BandTool::press(Gesture& g, int32_t x, int32_t y) const {
    g.ws.toolRect = {x, y, x, y};
    g.outline(g.ws.toolRect, false);
}

// The band is not normalised: the press's corner stays where it was.
void BandTool::move(Gesture& g, int32_t x, int32_t y) const {
    Workspace& ws = g.ws;
    ws.toolRect.x2 = x;
    ws.toolRect.y2 = y;
    g.restore(ws.selectionRect);
    g.outline(ws.toolRect, false);
}

void BandTool::cancel(Gesture& g) const { g.restore(g.ws.toolRect); }

} // namespace cw
