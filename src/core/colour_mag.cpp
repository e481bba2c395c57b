#include "core/colour_mag.h"

#include <algorithm>

#include "core/effects.h"
#include "core/palette_networks.h"

namespace cw {

namespace detail {

void colourPixel(const ColourMagContext& ctx, int32_t code, size_t i) {
    Workspace& ws = ctx.ws;
    const uint32_t source = ws.source.data()[i];
    uint32_t& colour = ws.colour.data()[i];
    const uint32_t previous = ctx.tools.layered || ctx.shiftHeld ? colour : source;

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

} // namespace detail

} // namespace cw
