#pragma once
// Zero-set, crop and re-sample: the coloured picture becomes the new original.
#include <cstdint>
#include <string>

#include "core/bitmap.h"
#include "core/rect.h"

#include "document/controls.h"

namespace cw {

struct Session;

// The size the re-set gives: crop with a pending selection, else by the scale.
void resetTargetSize(const Rect& selection, bool cropping, int32_t scale, int32_t& width, int32_t& height);

// Each target pixel takes the source pixel its position maps to.
Bitmap resampleNearest(const Bitmap& source, int32_t width, int32_t height);

// Button2Click / Button3Click. Returns false when the rebuild failed (it has
// then reported the failure and closed the image window, as a failed load does).
bool resetClick(Session& s);

} // namespace cw
