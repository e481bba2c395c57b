#pragma once
// ReMark: puts the coloured picture back on the display, with or without the
// anchor markers. Markers live only in the displayed picture.
#include <cstdint>

#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

struct Workspace;

enum class ReMarkMode { All, Pending, Remove };

// All and Pending draw a marker on every record with Status 0; Remove draws
// none. Returns the part of the display redrawn, exclusive bounds: the whole
// picture.
Rect reMark(Workspace& ws, ReMarkMode mode);

// One marker centred on (x, y): the outline of a 9 x 9 square and a cross
// through it in red, the centre pixel yellow; clipped to the picture.
void drawAnchorMarker(Bitmap& picture, int32_t x, int32_t y);

} // namespace cw
