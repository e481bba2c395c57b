#pragma once
// Inside the codecs only: the rows of an uncompressed Windows bitmap, one
// decoder per bit depth.
#include <cstdint>

#include "codecs/bmp_header.h"
#include "core/bitmap.h"

namespace cw::bmp {

// The bytes of one stored row: its pixels, padded to a multiple of four.
inline uint64_t rowBytesOf(const Layout& L) { return (uint64_t(L.width) * L.bpp + 31) / 32 * 4; }

// Decodes the rows starting at `pixels`, `rowBytes` apart, into `out`
// (L.width x L.height); the caller has checked that they are all there.
void decodeUncompressed(const Layout& L, const uint8_t* pixels, uint64_t rowBytes, Bitmap& out);

} // namespace cw::bmp
