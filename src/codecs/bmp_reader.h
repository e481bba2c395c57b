#pragma once
// Our own Windows bitmap decoder: 40/52/56/108/124-byte headers and OS/2 1.x,
// bottom-up and top-down, 1/4/8-bit palettes, RLE8, RLE4, 16/24/32-bit with
// BI_RGB or any BI_BITFIELDS masks. Alpha is dropped: every pixel is opaque.
#include "core/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace cw {

// Both throw InvalidImage for a damaged, truncated, unsupported or absurdly
// large file (or one that cannot be opened), and let std::bad_alloc through
// when the picture would not fit in memory.
Bitmap readBmp(const std::string& path);
Bitmap decodeBmp(const uint8_t* data, size_t size);

} // namespace cw
