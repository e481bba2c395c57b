#pragma once
// Inside the codecs only: the run-length encoded pixels of a Windows bitmap
// (RLE8 and RLE4).
#include <cstdint>

#include "codecs/bmp_header.h"
#include "core/bitmap.h"

namespace cw::bmp {

// Decodes the stream from `p` to `end` into `out` (L.width x L.height),
// refusing a stream that ends early or writes outside the picture.
void decodeRle(const Layout& L, const uint8_t* p, const uint8_t* end, Bitmap& out);

} // namespace cw::bmp
