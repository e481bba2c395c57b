#include "core/resample.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <new>

#include "core/image_error.h"
#include "core/workspace.h"

namespace cw {

void resetTargetSize(const Rect& r, bool cropping, int32_t scale, int32_t& width, int32_t& height) {
    const int32_t w = r.x2 - r.x1 + 1, h = r.y2 - r.y1 + 1;
    if (cropping || (scale >= -1 && scale < 1)) {
        width = w;
        height = h;
    } else if (scale >= 1) {
        // Held to the int32 range; a size that large is refused for memory.
        width = int32_t(std::min<int64_t>(int64_t(scale) * w, INT32_MAX));
        height = int32_t(std::min<int64_t>(int64_t(scale) * h, INT32_MAX));
    } else {
        width = w / -scale;
        height = h / -scale;
    }
    // A reduction never leaves nothing.
    width = std::max(1, width);
    height = std::max(1, height);
}

Bitmap resampleNearest(const Bitmap& source, int32_t width, int32_t height) {
    Bitmap target(width, height);
    std::unique_ptr<int32_t[]> column(new int32_t[size_t(width)]);
    for (int32_t x = 0; x < width; ++x) column[x] = int32_t(int64_t(x) * source.width() / width);
    for (int32_t y = 0; y < height; ++y) {
        const uint32_t* src = source.row(int32_t(int64_t(y) * source.height() / height));
        uint32_t* dst = target.row(y);
        for (int32_t x = 0; x < width; ++x) dst[x] = src[column[x]];
    }
    return target;
}

namespace {

Bitmap cropOf(const Bitmap& from, const Rect& r, int32_t width, int32_t height) {
    Bitmap target(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const int32_t sx = r.x1 + x, sy = r.y1 + y;
            target.at(x, y) = (sx < from.width() && sy < from.height()) ? from.at(sx, sy) : rgb(0, 0, 0);
        }
    return target;
}

} // namespace

Bitmap resetPicture(const Bitmap& display, const Rect& selection, bool cropping, int32_t scale) {
    int32_t w, h;
    resetTargetSize(selection, cropping, scale, w, h);
    // The target, its copy read back and the workspace built on it: refuse
    // before allocating what memory cannot hold.
    const uint64_t pixels = uint64_t(w) * uint64_t(h);
    if (pixels > kMaxPixels) throw std::bad_alloc();
    ensureMemoryFor(pixels * (8 + kWorkspaceBytesPerPixel + kHistoryBytesPerPixel));
    return cropping ? cropOf(display, selection, w, h) : resampleNearest(display, w, h);
}

} // namespace cw
