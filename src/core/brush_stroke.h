#pragma once
// The Smart Paint-brush's painting: at every press and move the part of the
// brush window that the move uncovered is coloured where the displayed
// colour is close to the colour under the press. Only the working picture
// is written; whoever drives the brush shows it.
#include <cstdint>

#include "core/rect.h"

namespace cw {

struct ColourMagContext;

// The colour test: each of red, green and blue of the displayed pixel lies
// within `factor` of the picked colour's (both 0xffRRGGBB).
bool colourTestAccepts(uint32_t displayed, uint32_t picked, int32_t factor);

// The pixels one brush call processes, inclusive (x2 < x1 or y2 < y1: none),
// from the previous window `prev` and the current one `cur`: for a move
// along one axis between overlapping windows only the uncovered strip of a
// rectangular brush, else the whole window; then one more column and row,
// clipped to the picture.
Rect brushRegion(const Rect& prev, const Rect& cur, bool rounded, int32_t width, int32_t height);

// One brush call: the window before and after the move, the brush's shape,
// and what it paints.
struct BrushStroke {
    Rect prev, cur;         // PrevToolRect and ToolRect
    bool rounded = false;   // a disc of `radius` around (centreX, centreY)
    int32_t centreX = 0, centreY = 0, radius = 0;
    int32_t code = 0;       // the palette code; 127 is the eraser
    int32_t factor = 255;   // OverwriteFactor: 255 accepts every colour
    uint32_t picked = 0;    // the displayed colour under the press (0xffRRGGBB)
    bool masked = false;    // Mask'ed rather than Interactive
};

// ColourWinI / ColourWinM over brushRegion(prev, cur): Interactive colours
// accepted pixels with ColourMag, Mask'ed tints them with the context's
// marker colour and records the palette code; the eraser (code 127) copies
// the source pixel back and leaves code 0 (Interactive) or 127 (Mask'ed). A
// round brush keeps to its disc. Writes the working picture of the
// context's workspace only, never the display. Returns the region it
// processed, x2 and y2 exclusive, or an empty rectangle (all zero) when
// there is none.
Rect brushPaint(const ColourMagContext& ctx, const BrushStroke& stroke);

} // namespace cw
