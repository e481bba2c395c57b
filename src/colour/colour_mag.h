#pragma once
// ColourMag: gives one pixel its palette colour, merged with the colour it had.
#include <cstdint>

#include "colour/palette_networks.h"
#include "engine/state.h"
#include "engine/workspace.h"

namespace cw {

// What ColourMag reads and writes besides the pixel. Callers that colour
// many pixels build it once.
struct ColourMagContext {
    Workspace& ws;
    const PaletteSelection& selection;  // MarkerColour, DamperOn, BlendStrength
    const EffectSettings& effects;      // track bars, lights, InvertOn
    const ToolSettings& tools;          // CurrentTool, Overwrite, Layered
    PointerState& pointer;              // ShiftHeld: read, and set by Make-up, Custom, Clear
    const PaletteTables& tables = paletteTables();
};

// ColourMag(Code, X, Y): colours pixel (x, y) of ws.colour with palette `code`
// and records the code's low byte as its pixel code. Nothing changes for a
// code without colour, for a brush stroke over a pixel that already has this
// code (unless Overwrite), or for (x, y) outside the picture. The pixel is
// addressed by (x, y) itself, which is where callers have set CurPixelIndex.
void colourMag(const ColourMagContext& ctx, int32_t code, int32_t x, int32_t y);

} // namespace cw
