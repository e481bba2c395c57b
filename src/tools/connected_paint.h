#pragma once
// Connected Magic Touch-paint: a breadth-first flood over the 8-neighbourhood
// of the clicked pixel through unpainted pixels of a close tone.
#include <cstdint>

namespace cw {

struct Document;

// Whether a pixel of tone `tone` passes the connected fill's test against a
// seed of tone `seedTone`: the bases of their buckets (width grayStep) differ
// by strictly less than `tolerance`. The image-wide fill's band, by contrast,
// includes a distance equal to the tolerance.
bool connectedToneAccepts(int32_t tone, int32_t seedTone, int32_t grayStep, int32_t tolerance);

// Floods from (x, y) with palette `code`, Mask'ed or Interactive. The seed is
// painted if it is unpainted (code 0 or 127) and spread from either way;
// every other pixel is painted if it is unpainted, passes the tone test and
// is 8-connected to the seed through such pixels. Neighbours are taken in
// the order left, right, up, down, up-left, up-right, down-left, down-right,
// which decides what an abort (polled once per dequeued pixel) leaves done.
// Each pixel is visited at most once, also when painting does not mark it as
// painted (codes 0 and 127): such a fill keeps its own visited marks.
void clickPaint(Document& s, int32_t x, int32_t y, int32_t code, bool masked);

inline void clickPaintM(Document& s, int32_t x, int32_t y, int32_t code) { clickPaint(s, x, y, code, true); }
inline void clickPaintI(Document& s, int32_t x, int32_t y, int32_t code) { clickPaint(s, x, y, code, false); }

} // namespace cw
