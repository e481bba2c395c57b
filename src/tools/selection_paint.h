#pragma once
// Selection-paint: colours a dragged rectangle once, at the release, and
// the pending rectangular selection when Process starts.
#include <cstdint>

#include "core/rect.h"

namespace cw {

struct Document;

inline constexpr const char* kSelectionPhase = "processing selection....";

// The pixels ColourSel* processes for a tool rectangle, inclusive: corners
// sorted (a rectangle dragged up or left counts the same), one more column
// and row, clipped to the picture.
Rect selectionRegion(const Rect& toolRect, int32_t width, int32_t height);

// SelPaint: paints SelectionRect with every pixel accepted (OverwriteFactor
// is 255 for the duration), clears the pending selection, and shows the
// result on the displayed picture.
void selPaint(Document& s);

// ColourSelI / ColourSelM over ToolRect, one row per poll for abort, with
// the progress meter's gauge following the rows and the windows locked.
// Without Overwrite, pixels with codes other than 0 and 127 are left alone;
// the eraser (code 127) restores every pixel to its source and code 0.
// They write the working picture only.
void colourSel(Document& s, bool masked);

inline void colourSelI(Document& s) { colourSel(s, false); }
inline void colourSelM(Document& s) { colourSel(s, true); }

} // namespace cw
