#pragma once
// Image-wide Magic Touch-paint on the open picture: the fill itself is the
// core's; this takes its settings from the document and tells the observer.
#include <cstdint>

#include "core/tone_fill.h"

namespace cw {

struct Document;

// The image-wide fill from the clicked pixel (x, y) with palette `code`:
// Mask'ed (tint and record the code) or Interactive (ColourMag), and with
// `overwrite` false only pixels with codes 0 and 127 are painted. Pixels
// outside PaintLimitRect are left alone, except the seed itself. Polls for
// abort after each gray level; the windows are locked throughout.
void paintImageWide(Document& s, int32_t x, int32_t y, int32_t code, bool masked, bool overwrite);

} // namespace cw
