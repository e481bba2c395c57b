#include "tools/selection_paint.h"

#include <algorithm>

#include "document/document.h"
#include "core/colour_mag.h"
#include "tools/brush_paint.h"
#include "core/outline.h"
#include "tools/touch_paint.h"
#include "core/progress.h"

namespace cw {

namespace {
constexpr int32_t kEraserCode = kCodeOriginal;
constexpr int32_t kAcceptAll = 255;

Rect unite(const Rect& a, const Rect& b) {
    if (a == Rect{}) return b;
    if (b == Rect{}) return a;
    return {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
}
} // namespace

Rect selectionRegion(const Rect& t, int32_t width, int32_t height) {
    Rect r{std::min(t.x1, t.x2), std::min(t.y1, t.y2), std::max(t.x1, t.x2) + 1, std::max(t.y1, t.y2) + 1};
    return clampedTo(r, width, height);
}

void colourSel(Document& s, bool masked) {
    if (!s.ws || s.ws->pixelCount() == 0) return;
    Workspace& ws = *s.ws;
    Progress& progress = s.progress;
    progress.begin(kSelectionPhase);
    progress.lock();

    const Rect r = selectionRegion(ws.toolRect, ws.width, ws.height);
    const int32_t code = s.palette.paletteCode;
    const int8_t codeByte = int8_t(uint8_t(code));
    const int32_t factor = s.tools.overwriteFactor;
    const bool overwrite = s.tools.overwrite;
    const uint32_t picked = ws.pickedColour;
    const ColourMagContext ctx{ws, s.palette, s.effects, s.tools, s.pointer};
    const uint32_t* source = ws.source.data();
    const uint32_t* display = ws.display.data();
    uint32_t* colour = ws.colour.data();
    int8_t* codes = ws.codes.get();

    for (int32_t y = r.y1; y <= r.y2; ++y) {
        if (progress.poll()) break;
        progress.reportMonotonic(int(int64_t(y) * 100 / (int64_t(r.y2) + 1)));
        for (int32_t x = r.x1; x <= r.x2; ++x) {
            const size_t i = size_t(y) * size_t(ws.width) + size_t(x);
            if (factor < kAcceptAll && !colourTestAccepts(display[i], picked, factor)) continue;
            if (code == kEraserCode) {
                colour[i] = source[i];
                codes[i] = kCodeUncoloured;
                continue;
            }
            if (!overwrite && !isUnpaintedCode(codes[i])) continue;
            if (masked) colour[i] = maskedPixel(source[i], s.palette.markerColour);
            else colourMag(ctx, code, x, y);
            codes[i] = codeByte;
        }
    }

    progress.end();
    progress.unlock();
    ws.imageModified = true;
}

void selPaint(Document& s) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    const int32_t factor = s.tools.overwriteFactor;
    s.tools.overwriteFactor = kAcceptAll;
    ws.selectionActive = false;
    // Erases the rubber band, so the colour test never sees it.
    restoreRect(ws.display, ws.colour, ws.selectionRect);
    ws.toolRect = ws.selectionRect;
    ws.prevToolRect = ws.toolRect;
    if (s.tools.paintMode == kPaintMasked) colourSelM(s);
    else colourSelI(s);
    s.tools.overwriteFactor = factor;

    // The painted region reaches a column and a row past the rectangle's
    // inclusive corner; show all of it.
    const Rect painted = selectionRegion(ws.selectionRect, ws.width, ws.height);
    const Rect shown = unite(spanOf(ws.selectionRect, ws.width, ws.height),
                             spanOf({painted.x1, painted.y1, painted.x2 + 1, painted.y2 + 1}, ws.width, ws.height));
    restoreRect(ws.display, ws.colour, shown);
    if (shown != Rect{}) s.observer.displayChanged(shown.x1, shown.y1, shown.x2, shown.y2);
}

} // namespace cw
