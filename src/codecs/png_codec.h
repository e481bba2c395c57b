#pragma once
// PNG pictures through libpng.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/bitmap.h"

namespace cw {

// Decodes a whole PNG file of any colour type, bit depth and interlacing
// into 0xffRRGGBB pixels: gray comes out with R = G = B, 16-bit samples are
// rounded to 8 bits, and transparency (an alpha channel or tRNS) is laid over
// white. The samples are taken as they stand: no gamma or colour-space
// conversion. Throws InvalidImage for a damaged, unsupported or implausibly
// large file; std::bad_alloc when memory is short.
Bitmap decodePng(const uint8_t* data, size_t size);
// The file at `path`, which must be a regular file; InvalidImage when it
// cannot be read.
Bitmap readPng(const std::string& path);

// Writes the picture as 8-bit RGB, not interlaced, replacing `path` only once
// the whole file is written. Throws SaveError.
void writePng(const Bitmap& picture, const std::string& path);

} // namespace cw
