#pragma once
// ReMark: puts the coloured picture back on screen, with or without the
// anchor markers. Markers live only in the displayed picture.
#include <cstdint>

#include "core/bitmap.h"

namespace cw {

struct Session;

enum class ReMarkMode { All, Pending, Remove };

// All and Pending draw a marker on every record with Status 0; Remove draws none.
void reMark(Session& s, ReMarkMode mode);

// One marker centred on (x, y): the outline of a 9 x 9 square and a cross
// through it in red, the centre pixel yellow; clipped to the picture.
void drawAnchorMarker(Bitmap& picture, int32_t x, int32_t y);

} // namespace cw
