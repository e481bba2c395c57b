#pragma once
// Image-wide Magic Touch-paint: one click paints every pixel whose gray level
// lies in the clicked pixel's tone band, wherever it is. Only the gray
// buckets of the band are visited, never the whole picture.
#include <array>
#include <cstdint>

#include "core/bitmap.h"
#include "core/colour_mag.h"
#include "core/rect.h"
#include "core/workspace.h"

namespace cw {

class Progress;

inline constexpr const char* kTouchPaintPhase = "Executing Touch-paint....";

// The Mask'ed tint: the source pixel with its red, green and blue bytes XORed
// with those of the marker colour (0x00BBGGRR; only its low 24 bits count,
// so the Make-up marker -1 complements the pixel).
constexpr uint32_t maskedPixel(uint32_t source, int32_t markerColour) {
    return source ^ (fromBGR(markerColour) & 0x00ffffffu);
}

// Gray levels lo..hi, inclusive.
struct ToneBand {
    int32_t lo = 0, hi = 0;
    bool operator==(const ToneBand&) const = default;
};

// The band of an image-wide fill from a pixel of gray level `gray`: every
// level whose bucket (of width grayStep) has its base within `tolerance` of
// the base of the seed's bucket, both ends inclusive. Always holds the base
// of the seed's bucket, and whole buckets only.
ToneBand toneBand(int32_t gray, int32_t grayStep, int32_t tolerance);

// What an image-wide fill is asked to do.
struct ToneFillParams {
    int32_t x = 0, y = 0;    // the clicked pixel, whose tone sets the band
    int32_t code = 0;        // the palette code painted
    bool overwrite = false;  // false: only pixels with codes 0 and 127 are painted
    int32_t grayStep = 1;    // the width of a gray bucket; below 1 counts as 1
    int32_t tolerance = 0;   // IntegrationTolerance
    Rect limit;              // PaintLimitRect, inclusive
};

// The image-wide fill from the clicked pixel with palette `code`. Pixels
// outside `limit` are left alone, except the seed itself. Polls for abort
// after each gray level (an abort leaves the levels up to the poll that saw
// it painted), and paints the levels polled in passes over the rows where
// the picture has no level index; `progress` is locked throughout. Returns what it
// may have changed of the colour and display pictures, x2 and y2 exclusive:
// the seed's pixel and the limit clipped to the picture, together. A seed
// off the picture has no tone to compare with: nothing is done, and the
// rectangle is empty (all zero).
//
// Mask'ed: tints with `markerColour` and records the code.
Rect toneFillMasked(Workspace& ws, const ToneFillParams& params, int32_t markerColour, Progress& progress);
// Interactive: colours with ColourMag in the context's workspace.
Rect toneFillInteractive(const ColourMagContext& ctx, const ToneFillParams& params, Progress& progress);

} // namespace cw
