#pragma once
#include "core/bitmap.h"

#include <string>

namespace cw {

// More scans than any real encoder writes; a crafted progressive file could
// otherwise make every extra scan cost a pass over the whole picture.
constexpr int kMaxJpegScans = 100;

// Lets a caller work on the top of a large picture while the rest decodes.
// Called on the decoding thread, between libjpeg calls.
class JpegRowListener {
public:
    virtual ~JpegRowListener() = default;
    // The picture is allocated (these are the returned Bitmap's pixels) and no
    // row is decoded yet.
    virtual void started(uint32_t* pixels, int32_t width, int32_t height) noexcept = 0;
    // Rows 0 .. rows - 1 are final; rows only grows, up to the height.
    virtual void rowsDecoded(int32_t rows) noexcept = 0;
    // Decoding failed after started(), possibly after the last row (damage
    // found at the end); the pixels are freed once this returns.
    virtual void abandoned() noexcept = 0;
};

// Decodes a JPEG file into 0xffRRGGBB pixels. Gray files come out with
// R = G = B; CMYK and YCCK files are converted to RGB.
// Throws InvalidImage for a file that cannot be read, is not a JPEG, is
// damaged (even where libjpeg would only warn and fill in grey), or is of an
// absurd size; std::bad_alloc when memory is short.
Bitmap decodeJpegFile(const std::string& path, JpegRowListener* listener = nullptr);

} // namespace cw
