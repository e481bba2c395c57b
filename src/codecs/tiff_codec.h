#pragma once
// TIFF through libtiff: the first page of a file, gray (either polarity, 1,
// 8 or 16 bits), palette or RGB, planes contiguous or separate, strips or
// tiles, any orientation, with an alpha sample composed over white; written
// as 8-bit RGB, Deflate-compressed.
#include "core/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace cw {

// Both throw InvalidImage for a damaged, truncated, unsupported or absurdly
// large file (or one that cannot be opened), and let std::bad_alloc through
// when the picture would not fit in memory. libtiff's messages never reach
// stderr.
Bitmap readTiff(const std::string& path);
Bitmap decodeTiff(const uint8_t* data, size_t size);

// Replaces `path` whole or not at all; throws SaveError.
void writeTiff(const Bitmap& picture, const std::string& path);

} // namespace cw
