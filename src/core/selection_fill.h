#pragma once
// Selection-paint's painting: a rectangle coloured in one go, row by row
// under the progress meter. Only the working picture is written; whoever
// asked for it shows it.
#include <cstdint>

#include "core/rect.h"

namespace cw {

class Progress;
struct ColourMagContext;

inline constexpr const char* kSelectionPhase = "processing selection....";

// The pixels ColourSel* processes for a tool rectangle, inclusive: corners
// sorted (a rectangle dragged up or left counts the same), one more column
// and row, clipped to the picture.
Rect selectionRegion(const Rect& toolRect, int32_t width, int32_t height);

// What ColourSelI / ColourSelM are asked to do.
struct SelectionFill {
    Rect toolRect;           // ToolRect: corners in either order, inclusive
    int32_t code = 0;        // the palette code; 127 is the eraser
    int32_t factor = 255;    // OverwriteFactor: 255 accepts every colour
    bool overwrite = false;  // false: pixels with codes other than 0 and 127 are left alone
    uint32_t picked = 0;     // the displayed colour the selectivity compares with (0xffRRGGBB)
    bool masked = false;     // Mask'ed (the context's marker colour) rather than Interactive
};

// ColourSelI / ColourSelM over selectionRegion(toolRect), one row per poll
// for abort, with the progress meter's gauge following the rows and
// `progress` locked. The eraser (code 127) restores every accepted pixel to
// its source and code 0. Writes the working picture of the context's
// workspace only, never the display. Returns the rows it processed (all of
// the region, or those before an abort), x2 and y2 exclusive, or an empty
// rectangle (all zero) when it processed none.
Rect colourSelection(const ColourMagContext& ctx, const SelectionFill& fill, Progress& progress);

} // namespace cw
