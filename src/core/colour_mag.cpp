#include "core/colour_mag.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "core/effects.h"
#include "core/natural_light.h"
#include "core/palette_networks.h"

namespace cw {

namespace detail {

const uint32_t* naturalPixels(uint8_t slot) {
    // Each row is made when its palette is first used: a fill pays for the
    // few palettes it paints with, not for all of them.
    constexpr size_t kSlots = PaletteTables::kGraySlot + 1;
    static std::array<std::array<uint32_t, 256>, kSlots> rows;
    static std::array<std::once_flag, kSlots> built;
    std::call_once(built[slot], [slot] { rows[slot] = naturalTable(paletteTables().pixels[slot]); });
    return rows[slot].data();
}

namespace {

// naturalColour for the colours of the full path, remembered: a stroke or a
// pass meets the same few colours at the same levels again and again.
uint32_t naturalColourRemembered(uint32_t colour, int gray) {
    struct Entry {
        uint64_t key = 0;  // the colour's 24 bits and the gray, plus one: 0 is never a key
        uint32_t value = 0;
    };
    thread_local std::array<Entry, 4096> entries;
    thread_local Entry lastUsed;  // a fill's pixels come a level at a time: mostly the last one again
    const uint64_t key = (uint64_t(colour & 0xffffffu) << 8 | uint64_t(gray)) + 1;
    if (lastUsed.key == key) return lastUsed.value;
    Entry& e = entries[size_t((key * 0x9e3779b97f4a7c15ull) >> 52)];
    if (e.key != key) e = {key, naturalColour(colour, gray)};
    lastUsed = e;
    return e.value;
}

} // namespace

void colourPixel(const ColourMagContext& ctx, int32_t code, size_t i) {
    Workspace& ws = ctx.ws;
    const uint32_t source = ws.source.data()[i];
    uint32_t& colour = ws.colour.data()[i];
    const uint32_t previous = ctx.rules.layered || ctx.shiftHeld ? colour : source;

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
    if (ctx.effects.naturalLight) colour = naturalColourRemembered(colour, grayOf(channelsOf(source)));
    ws.codes[i] = int8_t(uint8_t(code));
}

} // namespace detail

} // namespace cw
