#include "codecs/bmp_rle.h"

#include <algorithm>

namespace cw::bmp {

// RLE streams are always bottom-up. Pixels the stream skips (by delta or an
// early end of line) stay black rather than taking colour 0 of the table:
// black is what the picture shows where the file has nothing.
// ImageMagick encodes whole padded rows, so a run may reach into the row's
// padding (the pixels there are dropped), but no further.
void decodeRle(const Layout& L, const uint8_t* p, const uint8_t* end, Bitmap& out) {
    const bool four = L.compression == kBiRle4;
    const int64_t w = L.width;
    const int64_t h = L.height;
    const int64_t paddedWidth = four ? (w + 7) & ~int64_t(7) : (w + 3) & ~int64_t(3);
    int64_t x = 0;
    int64_t y = 0; // counted from the bottom row
    std::fill(out.data(), out.data() + out.pixelCount(), kBlack);

    // Where a run of `count` pixels starts, and how many of them are inside the picture.
    auto place = [&](int64_t count, unsigned& visible) {
        if (y >= h) refuse("RLE data writes past the top of the picture");
        if (x + count > paddedWidth) refuse("RLE run goes past the end of a row");
        visible = unsigned(std::clamp<int64_t>(w - x, 0, count));
        return out.row(int32_t(h - 1 - y)) + std::min(x, w);
    };

    for (;;) {
        if (end - p < 2) refuse("RLE data ends before its end-of-bitmap code");
        const unsigned n = p[0];
        const unsigned c = p[1];
        p += 2;
        if (n != 0) {
            unsigned visible;
            uint32_t* d = place(n, visible);
            if (four) {
                const uint32_t even = L.palette[c >> 4];
                const uint32_t odd = L.palette[c & 15];
                for (unsigned i = 0; i < visible; ++i) d[i] = (i & 1) ? odd : even;
            } else {
                std::fill(d, d + visible, L.palette[c]);
            }
            x += n;
        } else if (c == 0) {
            x = 0;
            ++y;
        } else if (c == 1) {
            return;
        } else if (c == 2) {
            if (end - p < 2) refuse("RLE data ends inside a delta");
            x += p[0];
            y += p[1];
            p += 2;
            if (x > paddedWidth || y > h) refuse("RLE delta moves outside the picture");
        } else {
            const size_t bytes = four ? (c + 1) / 2 : c;
            const size_t padded = (bytes + 1) & ~size_t(1);
            if (size_t(end - p) < padded) refuse("RLE data ends inside an absolute run");
            unsigned visible;
            uint32_t* d = place(c, visible);
            if (four) {
                for (unsigned i = 0; i < visible; ++i)
                    d[i] = L.palette[(i & 1) ? (p[i >> 1] & 15) : (p[i >> 1] >> 4)];
            } else {
                for (unsigned i = 0; i < visible; ++i) d[i] = L.palette[p[i]];
            }
            x += c;
            p += padded;
        }
    }
}

} // namespace cw::bmp
