#pragma once
// Zero-set, crop and re-sample: the coloured picture becomes the new original.
#include <cstdint>
#include <string>

#include "engine/bitmap.h"
#include "engine/rect.h"

namespace cw {

struct Session;

inline constexpr int32_t kScaleFieldMin = -10, kScaleFieldMax = 10;

struct ScaleField {
    int32_t value = 0;
    int32_t step = 2;
    bool scaleEnabled = false;  // the "&Scale" button
};

// SpinEdit1Change: 1 and -1 become 0; the arrows step 2 from 0, else 1.
void scaleFieldChange(ScaleField& f, int32_t value);

// The size the re-set gives: crop with a pending selection, else by the scale.
void resetTargetSize(const Rect& selection, bool cropping, int32_t scale, int32_t& width, int32_t& height);

// Each target pixel takes the source pixel its position maps to.
Bitmap resampleNearest(const Bitmap& source, int32_t width, int32_t height);

// Button2Click / Button3Click. Returns false when the rebuild failed (it has
// then reported the failure and closed the image window, as a failed load does).
bool resetClick(Session& s);

} // namespace cw
