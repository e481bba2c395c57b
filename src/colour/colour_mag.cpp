#include "colour/colour_mag.h"

#include <algorithm>

#include "colour/effects.h"
#include "colour/palette_networks.h"

namespace cw {

void colourMag(const ColourMagContext& ctx, int32_t code, int32_t x, int32_t y) {
    Workspace& ws = ctx.ws;
    if (uint32_t(x) >= uint32_t(ws.width) || uint32_t(y) >= uint32_t(ws.height)) return;
    const int32_t marker = ctx.selection.markerColour;

    // Make-up, Custom and Clear merge with what is there, and keep later
    // calls merging until the next press or release re-derives the flag.
    if (marker == kMarkerMerge || code == kCodeClear || code == kCodeCustom) ctx.pointer.shiftHeld = true;

    const size_t i = size_t(y) * size_t(ws.width) + size_t(x);
    const int8_t pixelCode = ws.codes[i];
    if (pixelCode == code && ctx.tools.currentTool == kToolBrush && !ctx.tools.overwrite) return;

    const uint32_t source = ws.source.data()[i];
    uint32_t& colour = ws.colour.data()[i];
    const bool shift = ctx.pointer.shiftHeld;
    const bool layered = ctx.tools.layered;
    const uint32_t previous = layered || shift ? colour : source;

    // Most codes are a table row read by gray level; the rest go the long way.
    const PaletteTables& t = ctx.tables;
    if (uint32_t(code) >= t.kind.size()) return;
    Rgb c;
    if (t.kind[code] == PaletteKind::Table) {
        c = t.levels[t.slot[code]][grayOf(channelsOf(source))];
        if (effectsActive(ctx.effects)) c = applyEffects(c, grayOf(channelsOf(source)), ctx.effects);
    } else {
        const std::optional<PaletteResult> pc = paletteColour(t, code, source, colour, marker);
        if (!pc) return;
        c = effectsActive(ctx.effects) ? applyEffects(pc->rgb, pc->gray, ctx.effects) : pc->rgb;
    }
    c.r = std::clamp(c.r, 0, 255);
    c.g = std::clamp(c.g, 0, 255);
    c.b = std::clamp(c.b, 0, 255);

    if (shift || ctx.selection.damperOn || layered || marker == kMarkerMerge) {
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

} // namespace cw
