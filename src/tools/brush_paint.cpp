#include "tools/brush_paint.h"

#include <algorithm>
#include <cstdlib>

#include "document/document.h"
#include "core/colour_mag.h"
#include "tools/touch_paint.h"

namespace cw {

namespace {

constexpr int32_t kEraserCode = kCodeOriginal;
constexpr int32_t kAcceptAll = 255;

// The span along one axis: the strip the move uncovered, or the window.
void axisSpan(int32_t p1, int32_t p2, int32_t c1, int32_t c2, bool rounded, int32_t& first, int32_t& last) {
    if (rounded || p1 == c1) {
        first = c1;
        last = c2;
    } else if (p1 < c1) {
        first = p2 - 1;
        last = c2;
    } else {
        first = c1;
        last = p1 + 1;
    }
}

} // namespace

bool colourTestAccepts(uint32_t displayed, uint32_t picked, int32_t factor) {
    return std::abs(int32_t(blueOf(displayed)) - int32_t(blueOf(picked))) <= factor &&
           std::abs(int32_t(greenOf(displayed)) - int32_t(greenOf(picked))) <= factor &&
           std::abs(int32_t(redOf(displayed)) - int32_t(redOf(picked))) <= factor;
}

Rect brushRegion(const Rect& p, const Rect& c, bool rounded, int32_t width, int32_t height) {
    Rect r;
    const bool diagonal = p.x1 != c.x1 && p.y1 != c.y1;
    const bool apart = p.x2 - 1 <= c.x1 || p.x1 + 1 >= c.x2 || p.y2 - 1 <= c.y1 || p.y1 + 1 >= c.y2;
    if (diagonal || apart) {
        r = c;
    } else {
        axisSpan(p.x1, p.x2, c.x1, c.x2, rounded, r.x1, r.x2);
        axisSpan(p.y1, p.y2, c.y1, c.y2, rounded, r.y1, r.y2);
    }
    ++r.x2;
    ++r.y2;
    return clampedTo(r, width, height);
}

void colourWin(Document& s, bool masked) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    const Rect r = brushRegion(ws.prevToolRect, ws.toolRect, s.tools.rounded, ws.width, ws.height);
    if (r.y2 < r.y1 || r.x2 < r.x1 || ws.pixelCount() == 0) return;

    const int32_t code = s.palette.paletteCode;
    const int32_t factor = s.tools.overwriteFactor;
    const uint32_t picked = ws.pickedColour;
    const bool rounded = s.tools.rounded;
    const int64_t radius2 = int64_t(ws.brushRadius) * ws.brushRadius;
    const ColourMagContext ctx{ws, s.palette, s.effects, s.tools, s.pointer};
    const uint32_t* source = ws.source.data();
    const uint32_t* display = ws.display.data();
    uint32_t* colour = ws.colour.data();
    int8_t* codes = ws.codes.get();

    for (int32_t y = r.y1; y <= r.y2; ++y) {
        const int64_t dy = y - ws.brushCentreY;
        for (int32_t x = r.x1; x <= r.x2; ++x) {
            if (rounded) {
                const int64_t dx = x - ws.brushCentreX;
                if (dx * dx + dy * dy > radius2) continue;
            }
            const size_t i = size_t(y) * size_t(ws.width) + size_t(x);
            if (factor < kAcceptAll && !colourTestAccepts(display[i], picked, factor)) continue;
            if (code == kEraserCode) {
                colour[i] = source[i];
                codes[i] = masked ? kCodeMarked : kCodeUncoloured;
            } else if (masked) {
                colour[i] = maskedPixel(source[i], s.palette.markerColour);
                codes[i] = int8_t(uint8_t(code));
            } else {
                colourMag(ctx, code, x, y);
            }
        }
    }
    ws.curPixelIndex = int32_t(size_t(r.y2) * size_t(ws.width) + size_t(r.x2));
}

} // namespace cw
