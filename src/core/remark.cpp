#include "core/remark.h"

#include "core/workspace.h"

namespace cw {

namespace {

constexpr int32_t kMarkerReach = 4;  // the square spans x-4 .. x+4
const uint32_t kMarkerRed = fromBGR(0x0000FF);
const uint32_t kMarkerYellow = fromBGR(0x00FFFF);

void plot(Bitmap& b, int32_t x, int32_t y, uint32_t colour) {
    if (uint32_t(x) < uint32_t(b.width()) && uint32_t(y) < uint32_t(b.height())) b.at(x, y) = colour;
}

} // namespace

void drawAnchorMarker(Bitmap& picture, int32_t x, int32_t y) {
    for (int32_t k = -kMarkerReach; k <= kMarkerReach; ++k) {
        plot(picture, x + k, y - kMarkerReach, kMarkerRed);
        plot(picture, x + k, y + kMarkerReach, kMarkerRed);
        plot(picture, x - kMarkerReach, y + k, kMarkerRed);
        plot(picture, x + kMarkerReach, y + k, kMarkerRed);
        plot(picture, x, y + k, kMarkerRed);
        plot(picture, x + k, y, kMarkerRed);
    }
    plot(picture, x, y, kMarkerYellow);
}

Rect reMark(Workspace& ws, ReMarkMode mode) {
    ws.display.copyFrom(ws.colour);
    if (mode != ReMarkMode::Remove) {
        for (const Anchor& a : ws.anchors)
            if (a.status == 0) drawAnchorMarker(ws.display, a.x, a.y);
    }
    return Rect{0, 0, ws.width, ws.height};
}

} // namespace cw
