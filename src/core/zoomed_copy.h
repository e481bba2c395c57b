#pragma once
// The picture of the zoomed view.
#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

// Fills the whole of `view` from `picture`, starting at the top-left corner
// of the inclusive `sourceRect`; pixels that fall outside `picture` (a band
// on its edge) are black.
void copyZoomed(Bitmap& view, const Bitmap& picture, const Rect& sourceRect);

} // namespace cw
