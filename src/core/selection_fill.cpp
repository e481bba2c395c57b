#include "core/selection_fill.h"

#include <algorithm>

#include "core/brush_stroke.h"
#include "core/colour_mag.h"
#include "core/progress.h"
#include "core/tone_fill.h"

namespace cw {

namespace {
constexpr int32_t kAcceptAll = 255;
} // namespace

Rect selectionRegion(const Rect& t, int32_t width, int32_t height) {
    Rect r{std::min(t.x1, t.x2), std::min(t.y1, t.y2), std::max(t.x1, t.x2) + 1, std::max(t.y1, t.y2) + 1};
    return clampedTo(r, width, height);
}

Rect colourSelection(const ColourMagContext& ctx, const SelectionFill& fill, Progress& progress) {
    Workspace& ws = ctx.ws;
    if (ws.pixelCount() == 0) return {};
    progress.begin(kSelectionPhase);
    WindowLock windows(progress);

    const Rect r = selectionRegion(fill.toolRect, ws.width, ws.height);
    const int32_t code = fill.code;
    const int8_t codeByte = int8_t(uint8_t(code));
    const int32_t factor = fill.factor;
    const bool overwrite = fill.overwrite;
    const bool masked = fill.masked;
    const uint32_t picked = fill.picked;
    const PaletteSelection& selection = ctx.selection;
    const uint32_t* source = ws.source.data();
    const uint32_t* display = ws.display.data();
    uint32_t* colour = ws.colour.data();
    int8_t* codes = ws.codes.get();

    int32_t y = r.y1;
    for (; y <= r.y2; ++y) {
        if (progress.poll()) break;
        progress.reportMonotonic(int(int64_t(y) * 100 / (int64_t(r.y2) + 1)));
        for (int32_t x = r.x1; x <= r.x2; ++x) {
            const size_t i = size_t(y) * size_t(ws.width) + size_t(x);
            if (factor < kAcceptAll && !colourTestAccepts(display[i], picked, factor)) continue;
            if (code == kCodeOriginal) {
                colour[i] = source[i];
                codes[i] = kCodeUncoloured;
                continue;
            }
            if (!overwrite && !isUnpaintedCode(codes[i])) continue;
            if (masked) colour[i] = maskedPixel(source[i], selection.markerColour);
            else colourMag(ctx, code, x, y);
            codes[i] = codeByte;
        }
    }

    progress.end();
    ws.imageModified = true;
    if (y == r.y1) return {};
    return {r.x1, r.y1, r.x2 + 1, y};
}

} // namespace cw
