#include "core/zoomed_copy.h"

namespace cw {

void copyZoomed(Bitmap& view, const Bitmap& picture, const Rect& r) {
    for (int32_t y = 0; y < view.height(); ++y) {
        uint32_t* dst = view.row(y);
        const int32_t sy = r.y1 + y;
        for (int32_t x = 0; x < view.width(); ++x) {
            const int32_t sx = r.x1 + x;
            dst[x] = (sx >= 0 && sy >= 0 && sx < picture.width() && sy < picture.height()) ? picture.at(sx, sy)
                                                                                            : rgb(0, 0, 0);
        }
    }
}

} // namespace cw
