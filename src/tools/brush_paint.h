#pragma once
// The Smart Paint-brush: at every press and move it colours the part of the
// brush window that the move uncovered, where the displayed colour is close
// to the colour under the press. It writes the working picture only; the
// gesture shows it when it restores the window at the next move or release.
#include <cstdint>

#include "core/rect.h"

namespace cw {

struct Document;

// The colour test: each of red, green and blue of the displayed pixel lies
// within `factor` of the picked colour's (both 0xffRRGGBB).
bool colourTestAccepts(uint32_t displayed, uint32_t picked, int32_t factor);

// The pixels one brush call processes, inclusive (x2 < x1 or y2 < y1: none),
// from the previous window `prev` and the current one `cur`: for a move
// along one axis between overlapping windows only the uncovered strip of a
// rectangular brush, else the whole window; then one more column and row,
// clipped to the picture.
Rect brushRegion(const Rect& prev, const Rect& cur, bool rounded, int32_t width, int32_t height);

// ColourWinI / ColourWinM over ToolRect: Interactive colours accepted pixels
// with ColourMag, Mask'ed tints them with the marker colour and records the
// palette code; the eraser (code 127) copies the source pixel back and
// leaves code 0 (Interactive) or 127 (Mask'ed). A round brush keeps to the
// disc of BrushRadius around BrushCentre.
void colourWin(Document& s, bool masked);

inline void colourWinI(Document& s) { colourWin(s, false); }
inline void colourWinM(Document& s) { colourWin(s, true); }

} // namespace cw
