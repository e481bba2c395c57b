#pragma once
// Palette codes and the palette colour function: each palette is a small fixed
// network from a pixel's gray level to a colour. The networks are tabulated
// once for all 256 gray levels; the per-pixel path only reads the tables.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace cw {

// Palette codes (also stored per pixel, as a signed byte, in PixelCodes).
inline constexpr int32_t kFirstNetworkCode = 1;
inline constexpr int32_t kLastNetworkCode = 30;
inline constexpr int32_t kCodeCustom = 88;            // MarkerColour is the colour itself
inline constexpr int32_t kCodeClear = 99;             // the pixel's current colour
inline constexpr int32_t kCodeOriginalEffects = 124;  // the source colour, effects applied
inline constexpr int32_t kCodeGray = 125;             // R = G = B = gray level
// Plain restore, the eraser: no colour from here. Mark-up writes the same
// code on the pixels it reaches, and the fills take both as unpainted.
inline constexpr int32_t kCodeOriginal = 127;

// Codes 0 (never coloured) and 127 (erased, or reached by mark-up) count as
// unpainted: the fills that leave painted pixels alone paint only these.
constexpr bool isUnpaintedCode(int8_t code) { return code == 0 || code == int8_t(kCodeOriginal); }

// MarkerColour of the Make-up palettes: forces merging with the existing colour.
inline constexpr int32_t kMarkerMerge = -1;

// Signed channels: palette results may lie outside 0..255 until clamped.
struct Rgb {
    int32_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

struct PaletteResult {
    Rgb rgb;
    int32_t gray = 0;  // the level the effects work from
    bool operator==(const PaletteResult&) const = default;
};

constexpr Rgb channelsOf(uint32_t pixel) {  // 0xffRRGGBB
    return {int32_t((pixel >> 16) & 0xff), int32_t((pixel >> 8) & 0xff), int32_t(pixel & 0xff)};
}
constexpr Rgb channelsOfBGR(int32_t value) {  // 0x00BBGGRR
    return {value & 0xff, (value >> 8) & 0xff, (value >> 16) & 0xff};
}
constexpr int32_t grayOf(Rgb c) { return (c.r + c.g + c.b) / 3; }

// One network evaluated directly, in the single-precision steps it is
// defined by. nullopt for a number that is not one of the networks
// (1..13, 15, 17, 19..28, 30) or a gray level outside 0..255.
std::optional<Rgb> evaluatePaletteNet(int32_t net, int32_t gray);

// PaletteColour without the tables: evaluates the networks on every call.
// source and current are 0xffRRGGBB pixels, marker is 0x00BBGGRR.
std::optional<PaletteResult> paletteColourDirect(int32_t code, uint32_t source, uint32_t current,
                                                 int32_t marker);

// How a code finds its colour.
enum class PaletteKind : uint8_t {
    None,     // no colour: the pixel and its code are left alone
    Table,    // a function of the gray level only
    Blend13,  // network 13 mixed with the source channels
    Marker,   // Custom
    Current,  // Clear
    Source,   // Original with effects
};

struct PaletteTables {
    static constexpr int kGraySlot = kLastNetworkCode + 1;  // code 125's table
    std::array<PaletteKind, 128> kind{};
    std::array<uint8_t, 128> slot{};  // which of `levels` a Table or Blend13 code reads
    std::array<std::array<Rgb, 256>, kGraySlot + 1> levels{};
    // The same rows clamped to 0..255 and packed as 0xffRRGGBB pixels: what a
    // pixel becomes when no effect, merge or inversion applies.
    std::array<std::array<uint32_t, 256>, kGraySlot + 1> pixels{};
};

// Built on first use from paletteColourDirect's own evaluation.
const PaletteTables& paletteTables();

// PaletteColour(code, source, current, marker): the colour a palette gives a
// pixel, before effects and clamping; nullopt where the code gives none.
// Reads the tables `t`, which must be paletteTables().
inline std::optional<PaletteResult> paletteColour(const PaletteTables& t, int32_t code, uint32_t source,
                                                  uint32_t current, int32_t marker) {
    if (uint32_t(code) >= t.kind.size()) return std::nullopt;
    const Rgb s = channelsOf(source);
    const int32_t g = grayOf(s);
    switch (t.kind[code]) {
    case PaletteKind::Table:
        return PaletteResult{t.levels[t.slot[code]][g], g};
    case PaletteKind::Blend13: {
        const Rgb n = t.levels[t.slot[code]][g];
        return PaletteResult{{(n.r + 2 * s.r) / 3, (n.g + 2 * s.g) / 3, (n.b + 2 * s.b) / 3}, g};
    }
    case PaletteKind::Marker: {
        const Rgb m = channelsOfBGR(marker);
        return PaletteResult{m, grayOf(m)};
    }
    case PaletteKind::Current: {
        const Rgb c = channelsOf(current);
        return PaletteResult{c, grayOf(c)};
    }
    case PaletteKind::Source:
        return PaletteResult{s, g};
    case PaletteKind::None:
        break;
    }
    return std::nullopt;
}

inline std::optional<PaletteResult> paletteColour(int32_t code, uint32_t source, uint32_t current,
                                                  int32_t marker) {
    return paletteColour(paletteTables(), code, source, current, marker);
}

// What a palette makes of an uncoloured gray picture, as a swatch: `width`
// pixels (0xffRRGGBB, clamped) for gray levels 0 to 255 spread evenly across.
// Empty for a code whose colour does not follow the gray level (Custom,
// Clear, the Originals) and for a width under 2.
std::vector<uint32_t> paletteRamp(int32_t code, int width);

} // namespace cw
