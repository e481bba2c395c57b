#pragma once
// Outlines drawn over the displayed picture by complementing pixels, and
// their erasing by copying the working picture back.
#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

// The rectangle's columns x1..x2-1 and rows y1..y2-1 in either corner order,
// clipped to the picture; empty when it has no area.
Rect spanOf(const Rect& r, int32_t width, int32_t height);

// Complements each pixel of the outline once (a second call erases it).
void invertRectangle(Bitmap& display, const Rect& r);
// The ellipse inscribed in the rectangle.
void invertEllipse(Bitmap& display, const Rect& r);
// Copies the rectangle of `from` onto `to` ("restore").
void restoreRect(Bitmap& to, const Bitmap& from, const Rect& r);

} // namespace cw
