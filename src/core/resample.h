#pragma once
// Zero-set, crop and re-sample: the picture that becomes the new original.
#include <cstdint>

#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

// The size the re-set gives: crop with a pending selection, else by the scale.
void resetTargetSize(const Rect& selection, bool cropping, int32_t scale, int32_t& width, int32_t& height);

// Each target pixel takes the source pixel its position maps to.
Bitmap resampleNearest(const Bitmap& source, int32_t width, int32_t height);

// The new original made from `display`: the inclusive `selection` cropped
// out when `cropping`, else all of it re-sampled by `scale`. Throws
// std::bad_alloc, before allocating, when the target, a copy of it and the
// workspace to be built on it would not fit in memory.
Bitmap resetPicture(const Bitmap& display, const Rect& selection, bool cropping, int32_t scale);

} // namespace cw
