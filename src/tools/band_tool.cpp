#include "tools/band_tool.h"

#include "core/workspace.h"

namespace cw {

void BandTool::press(Gesture& g, int32_t x, int32_t y) const {
    g.state.toolRect = {x, y, x, y};
    g.outline(g.state.toolRect, false);
}

// The band is not normalised: the press's corner stays where it was.
void BandTool::move(Gesture& g, int32_t x, int32_t y) const {
    Rect& band = g.state.toolRect;
    band.x2 = x;
    band.y2 = y;
    g.restore(g.ws.selectionRect);
    g.outline(band, false);
}

void BandTool::cancel(Gesture& g) const { g.restore(g.state.toolRect); }

} // namespace cw
