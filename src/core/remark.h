#pragma once
// ReMark: puts the coloured picture back on the display, with or without the
// anchor markers. Markers live only in the displayed picture.
#include <cstdint>
#include <vector>

#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

struct Workspace;

enum class ReMarkMode { All, Pending, Remove };

// All and Pending draw a marker on every record with Status 0; Remove draws
// none. Returns the part of the display redrawn, exclusive bounds: the whole
// picture. Where `changed` is given, the display is written only where it
// differs, and `changed` gets the areas where it did (squares of kTileSide
// pixels from the corner, runs of them joined, and each marker's square).
Rect reMark(Workspace& ws, ReMarkMode mode, std::vector<Rect>* changed = nullptr);

// One marker centred on (x, y): the outline of a 9 x 9 square and a cross
// through it in red, the centre pixel yellow; clipped to the picture.
void drawAnchorMarker(Bitmap& picture, int32_t x, int32_t y);

} // namespace cw
