#include "core/brush_stroke.h"

#include <algorithm>
#include <cstdlib>

#include "core/colour_mag.h"
#include "core/tone_fill.h"

namespace cw {

namespace {

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

Rect brushPaint(const ColourMagContext& ctx, const BrushStroke& stroke) {
    Workspace& ws = ctx.ws;
    const Rect r = brushRegion(stroke.prev, stroke.cur, stroke.rounded, ws.width, ws.height);
    if (r.y2 < r.y1 || r.x2 < r.x1 || ws.pixelCount() == 0) return {};

    // Held in locals: a pixel code store may alias anything, so the compiler
    // would otherwise read the stroke and the workspace again at every pixel.
    const int32_t code = stroke.code;
    const int32_t factor = stroke.factor;
    const uint32_t picked = stroke.picked;
    const bool rounded = stroke.rounded;
    const bool masked = stroke.masked;
    const int32_t centreX = stroke.centreX, centreY = stroke.centreY;
    const size_t width = size_t(ws.width);
    const int64_t radius2 = int64_t(stroke.radius) * stroke.radius;
    const PaletteSelection& selection = ctx.selection;
    const uint32_t* source = ws.source.data();
    const uint32_t* display = ws.display.data();
    uint32_t* colour = ws.colour.data();
    int8_t* codes = ws.codes.get();

    for (int32_t y = r.y1; y <= r.y2; ++y) {
        const int64_t dy = y - centreY;
        for (int32_t x = r.x1; x <= r.x2; ++x) {
            if (rounded) {
                const int64_t dx = x - centreX;
                if (dx * dx + dy * dy > radius2) continue;
            }
            const size_t i = size_t(y) * width + size_t(x);
            if (factor < kAcceptAll && !colourTestAccepts(display[i], picked, factor)) continue;
            if (code == kCodeOriginal) {
                colour[i] = source[i];
                codes[i] = masked ? int8_t(kCodeOriginal) : kCodeUncoloured;
            } else if (masked) {
                colour[i] = maskedPixel(source[i], selection.markerColour);
                codes[i] = int8_t(uint8_t(code));
            } else {
                colourMag(ctx, code, x, y);
            }
        }
    }
    ws.curPixelIndex = int32_t(size_t(r.y2) * size_t(ws.width) + size_t(r.x2));
    return {r.x1, r.y1, r.x2 + 1, r.y2 + 1};
}

} // namespace cw
