#pragma once
// ColourMag: gives one pixel its palette colour, merged with the colour it had.
#include <array>
#include <cstddef>
#include <cstdint>

#include "core/colour_settings.h"
#include "core/palette_networks.h"
#include "core/workspace.h"

namespace cw {

// What ColourMag reads and writes besides the pixel. Callers that colour
// many pixels build it once.
struct ColourMagContext {
    Workspace& ws;
    const PaletteSelection& selection;  // MarkerColour, DamperOn, BlendStrength
    const EffectSettings& effects;      // track bars, lights, InvertOn
    PaintRules rules;
    bool& shiftHeld;                    // read, and set by Make-up, Custom, Clear
    const PaletteTables& tables = paletteTables();
};

namespace detail {
// The natural-light row of table slot `slot` of paletteTables(): each colour
// moved to the lightness of its gray level. Built for all slots on first use.
const uint32_t* naturalPixels(uint8_t slot);

inline bool merging(const ColourMagContext& ctx) {
    return ctx.shiftHeld || ctx.selection.damperOn || ctx.rules.layered ||
           ctx.selection.markerColour == kMarkerMerge;
}
// The colours by gray level that ColourMag gives with `code` when nothing
// applies on top (a palette of the gray level alone; no effects, merging or
// inversion; with natural light, its row at the gray's lightness), or null.
// Valid until the settings change.
inline const uint32_t* plainTable(const ColourMagContext& ctx, int32_t code) {
    const PaletteTables& t = ctx.tables;
    const EffectSettings& fx = ctx.effects;
    if (uint32_t(code) < t.kind.size() && t.kind[size_t(code)] == PaletteKind::Table &&
        (fx.ambient | fx.intensity | fx.saturation) == 0 && !fx.invertOn && !merging(ctx))
        return fx.naturalLight ? naturalPixels(t.slot[size_t(code)]) : t.pixels[t.slot[size_t(code)]].data();
    return nullptr;
}
// The steps from reading the source pixel on, for pixel index i, in full.
void colourPixel(const ColourMagContext& ctx, int32_t code, size_t i);
} // namespace detail

// ColourMag(Code, X, Y): colours pixel (x, y) of ws.colour with palette `code`
// and records the code's low byte as its pixel code. Nothing changes for a
// code without colour, for a pixel that already has this code when the rules
// skip those, or for (x, y) outside the picture. The pixel is
// addressed by (x, y) itself, which is where callers have set CurPixelIndex.
// Inline: it is the inner step of every fill and of finish-up.
inline void colourMag(const ColourMagContext& ctx, int32_t code, int32_t x, int32_t y) {
    Workspace& ws = ctx.ws;
    if (uint32_t(x) >= uint32_t(ws.width) || uint32_t(y) >= uint32_t(ws.height)) return;

    // Make-up, Custom and Clear merge with what is there, and keep later
    // calls merging until the next press or release re-derives the flag.
    if (ctx.selection.markerColour == kMarkerMerge || code == kCodeClear || code == kCodeCustom)
        ctx.shiftHeld = true;

    const size_t i = size_t(y) * size_t(ws.width) + size_t(x);
    if (ws.codes[i] == code && ctx.rules.skipSameCode) return;

    // The common case, a palette of the gray level alone with nothing to
    // apply on top, is one table read.
    if (const uint32_t* table = detail::plainTable(ctx, code)) {
        ws.colour.data()[i] = table[grayOf(channelsOf(ws.source.data()[i]))];
        ws.codes[i] = int8_t(code);
        return;
    }
    detail::colourPixel(ctx, code, i);
}

// colourMag for many pixels under the same settings, as a finish-up pass
// colours them: where colourMag would be one table read, the table, looked
// up once per code. Null where colourMag must run: a code without a plain
// table (among them Custom and Clear, which turn merging on), once merging
// is on, or for a pixel of the same code when the rules skip those.
class PlainTableCache {
public:
    explicit PlainTableCache(const ColourMagContext& ctx)
        : ctx_(ctx), skipSameCode_(ctx.rules.skipSameCode) {}
    // For a pixel whose code is `pixelCode` now.
    const uint32_t* table(int32_t code, int8_t pixelCode) {
        if (merging_ || uint32_t(code) > 255 || (skipSameCode_ && pixelCode == code)) return nullptr;
        if (!known_[size_t(code)]) {
            tables_[size_t(code)] = detail::plainTable(ctx_, code);
            known_[size_t(code)] = true;
        }
        return tables_[size_t(code)];
    }
    // After colourMag ran in full: it may have turned merging on.
    void ranInFull() { merging_ = merging_ || ctx_.shiftHeld; }

private:
    const ColourMagContext& ctx_;
    bool skipSameCode_;
    bool merging_ = false;  // turned on by colourMag during the run
    std::array<const uint32_t*, 256> tables_{};
    std::array<bool, 256> known_{};
};

} // namespace cw
