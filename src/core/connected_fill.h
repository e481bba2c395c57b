#pragma once
// Connected Magic Touch-paint: a breadth-first flood over the 8-neighbourhood
// of the clicked pixel through unpainted pixels of a close tone.
#include <cstdint>

#include "core/rect.h"

namespace cw {

class Progress;
struct ColourMagContext;
struct Workspace;

// Whether a pixel of tone `tone` passes the connected fill's test against a
// seed of tone `seedTone`: the bases of their buckets (width grayStep) differ
// by strictly less than `tolerance`. The image-wide fill's band, by contrast,
// includes a distance equal to the tolerance.
bool connectedToneAccepts(int32_t tone, int32_t seedTone, int32_t grayStep, int32_t tolerance);

// What a connected fill is asked to do.
struct ConnectedFillParams {
    int32_t x = 0, y = 0;   // the clicked pixel: the seed
    int32_t code = 0;       // the palette code painted
    int32_t grayStep = 1;   // the width of a gray bucket; below 1 counts as 1
    int32_t tolerance = 0;  // IntegrationTolerance
};

// Floods from the seed with palette `code`. The seed is painted if it is
// unpainted (code 0 or 127) and spread from either way; every other pixel is
// painted if it is unpainted, passes the tone test and is 8-connected to the
// seed through such pixels. Neighbours are taken in the order left, right,
// up, down, up-left, up-right, down-left, down-right, which decides what an
// abort (polled once per dequeued pixel) leaves done. Each pixel is visited
// at most once, also when painting does not mark it as painted (codes 0 and
// 127): such a fill keeps its own visited marks. On large pictures a thread
// of its own works out rows ahead of the walk, and on large fills another
// paints behind it, writing the display under ws.displayLock; both have
// ended on return. On pictures of up to 32 M pixels, unless an Abort waits
// for an exact poll (Progress::abortAwaitsPoll), the region is found whole
// and painted at once, the polls it stands for counted at its end: the same
// pixels in the same colours, soon enough that an Abort pressed meanwhile
// is answered by its end.
// `progress` is locked throughout. Returns the bounds of what was painted
// together with the seed, x2 and y2 exclusive; a seed off the picture does
// nothing and gives an empty rectangle (all zero).
//
// Mask'ed: tints with `markerColour` and records the code.
Rect connectedFillMasked(Workspace& ws, const ConnectedFillParams& params, int32_t markerColour, Progress& progress);
// Interactive: colours with ColourMag in the context's workspace.
Rect connectedFillInteractive(const ColourMagContext& ctx, const ConnectedFillParams& params, Progress& progress);

} // namespace cw
