#pragma once
// PNG pictures through libpng.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// The bytes of a PNG handed over as they are needed, so that one inside
// another file (a layer of a zip archive) is decoded while it is read rather
// than from a copy of it.
class PngInput {
public:
    virtual ~PngInput() = default;
    // Fills `to` with the next n bytes. Throws InvalidImage when fewer are
    // left or the bytes are damaged; the decoder passes it on.
    virtual void read(uint8_t* to, size_t n) = 0;
};

// decodePng's picture from `input`, which holds at most `size` bytes: the
// rows a picture claims are judged against that, as against a file's size.
// With a width and height, a picture of any other size is refused once its
// header is read, before anything is allocated.
Bitmap decodePng(PngInput& input, uint64_t size, int32_t width = 0, int32_t height = 0);
// A width x height picture that must be 8-bit gray (colour type 0, depth 8):
// its samples as stored, row after row, whatever tRNS says.
std::vector<uint8_t> decodeGray8Png(PngInput& input, uint64_t size, int32_t width, int32_t height);

// A whole PNG file in memory, rows unfiltered (the quickest to write) and
// deflated at zlib `level` (0-9): 8-bit RGB from 0xffRRGGBB pixels, or 8-bit
// gray from a byte per pixel. Throws std::bad_alloc.
std::string encodePng(int32_t width, int32_t height, const uint32_t* pixels, int level);
std::string encodePng(int32_t width, int32_t height, const uint8_t* gray, int level);

// Writes the picture as 8-bit RGB, not interlaced, replacing `path` only once
// the whole file is written. Throws SaveError.
void writePng(const Bitmap& picture, const std::string& path);

} // namespace cw
