#include "codecs/bmp_rows.h"

namespace cw::bmp {

namespace {

inline uint32_t fieldsToPixel(uint32_t px, const Field& r, const Field& g, const Field& b) {
    return 0xff000000u | ((((px & r.mask) >> r.rshift) << r.lshift) << 16) |
           ((((px & g.mask) >> g.rshift) << g.lshift) << 8) | (((px & b.mask) >> b.rshift) << b.lshift);
}

void decodeRow(const Layout& L, const uint8_t* src, uint32_t* dst) {
    const size_t w = size_t(L.width);
    switch (L.bpp) {
    case 1:
        for (size_t x = 0; x < w; ++x) dst[x] = L.palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (size_t x = 0; x + 1 < w; x += 2) {
            dst[x] = L.palette[src[x >> 1] >> 4];
            dst[x + 1] = L.palette[src[x >> 1] & 15];
        }
        if (w & 1) dst[w - 1] = L.palette[src[(w - 1) >> 1] >> 4];
        break;
    case 8:
        for (size_t x = 0; x < w; ++x) dst[x] = L.palette[src[x]];
        break;
    case 16:
        for (size_t x = 0; x < w; ++x) dst[x] = fieldsToPixel(le16(src + 2 * x), L.red, L.green, L.blue);
        break;
    case 24:
        for (size_t x = 0; x < w; ++x, src += 3)
            dst[x] = 0xff000000u | (uint32_t(src[2]) << 16) | (uint32_t(src[1]) << 8) | src[0];
        break;
    case 32:
        if (L.red.mask == 0xff0000u && L.green.mask == 0xff00u && L.blue.mask == 0xffu) {
            for (size_t x = 0; x < w; ++x) dst[x] = 0xff000000u | (le32(src + 4 * x) & 0xffffffu);
        } else {
            for (size_t x = 0; x < w; ++x) dst[x] = fieldsToPixel(le32(src + 4 * x), L.red, L.green, L.blue);
        }
        break;
    }
}

} // namespace

void decodeUncompressed(const Layout& L, const uint8_t* pixels, uint64_t rowBytes, Bitmap& out) {
    for (int32_t y = 0; y < L.height; ++y) {
        const int32_t target = L.topDown ? y : L.height - 1 - y;
        decodeRow(L, pixels + uint64_t(y) * rowBytes, out.row(target));
    }
}

} // namespace cw::bmp
