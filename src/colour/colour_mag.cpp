#include "colour/colour_mag.h"

#include <algorithm>

#include "colour/effects.h"
#include "colour/palette_networks.h"

namespace cw {

namespace {

bool merging(const ColourMagContext& ctx) {
    return ctx.pointer.shiftHeld || ctx.selection.damperOn || ctx.tools.layered ||
           ctx.selection.markerColour == kMarkerMerge;
}

// Steps from the source pixel on, for pixel i, in full generality.
[[gnu::noinline]] void colourPixel(const ColourMagContext& ctx, int32_t code, size_t i) {
    Workspace& ws = ctx.ws;
    const uint32_t source = ws.source.data()[i];
    uint32_t& colour = ws.colour.data()[i];
    const uint32_t previous = ctx.tools.layered || ctx.pointer.shiftHeld ? colour : source;

    const std::optional<PaletteResult> pc =
        paletteColour(ctx.tables, code, source, colour, ctx.selection.markerColour);
    if (!pc) return;
    Rgb c = effectsActive(ctx.effects) ? applyEffects(pc->rgb, pc->gray, ctx.effects) : pc->rgb;
    c.r = std::clamp(c.r, 0, 255);
    c.g = std::clamp(c.g, 0, 255);
    c.b = std::clamp(c.b, 0, 255);

    if (merging(ctx)) {
        // Held to what the strength handler can produce: 0 or less would
        // divide by zero or flip the weights.
        const int32_t n = std::clamp(ctx.selection.blendStrength, kBlendStrengthMin, kBlendStrengthMax);
        const Rgb p = channelsOf(previous);
        c.r = (p.r * n + c.r) / (n + 1);
        c.g = (p.g * n + c.g) / (n + 1);
        c.b = (p.b * n + c.b) / (n + 1);
    }
    if (ctx.effects.invertOn) c = {255 - c.r, 255 - c.g, 255 - c.b};

    colour = rgb(uint32_t(c.r), uint32_t(c.g), uint32_t(c.b));
    ws.codes[i] = int8_t(uint8_t(code));
}

} // namespace

void colourMag(const ColourMagContext& ctx, int32_t code, int32_t x, int32_t y) {
    Workspace& ws = ctx.ws;
    if (uint32_t(x) >= uint32_t(ws.width) || uint32_t(y) >= uint32_t(ws.height)) return;

    // Make-up, Custom and Clear merge with what is there, and keep later
    // calls merging until the next press or release re-derives the flag.
    if (ctx.selection.markerColour == kMarkerMerge || code == kCodeClear || code == kCodeCustom)
        ctx.pointer.shiftHeld = true;

    const size_t i = size_t(y) * size_t(ws.width) + size_t(x);
    if (ws.codes[i] == code && ctx.tools.currentTool == kToolBrush && !ctx.tools.overwrite) return;

    // The common case, a palette of the gray level alone with nothing to
    // apply on top, is one table read.
    const PaletteTables& t = ctx.tables;
    if (uint32_t(code) < t.kind.size() && t.kind[code] == PaletteKind::Table &&
        !effectsActive(ctx.effects) && !ctx.effects.invertOn && !merging(ctx)) {
        ws.colour.data()[i] = t.pixels[t.slot[code]][grayOf(channelsOf(ws.source.data()[i]))];
        ws.codes[i] = int8_t(code);
        return;
    }
    colourPixel(ctx, code, i);
}

} // namespace cw
