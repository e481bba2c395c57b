#pragma once
// Zero-set, crop and re-sample: the coloured picture becomes the new original.
#include "core/resample.h"

namespace cw {

struct Session;

// The image window's Zero-set button (Crop while a selection waits) and its
// Scale button. Returns false when the rebuild failed (it has then reported
// the failure and closed the image window, as a failed load does).
bool resetClick(Session& s);

} // namespace cw
