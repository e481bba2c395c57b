#pragma once
// The zoomed view of the selection: what it shows, how its positions map back
// to the picture, and the Zoom button.
#include <cstdint>

#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

struct Document;

inline constexpr int32_t kZoomFieldMin = -10, kZoomFieldMax = 10;

struct ZoomView {
    bool exists = false;
    Rect sourceRect;  // inclusive, in the picture
    Rect viewRect;    // inclusive, (0, 0, w-1, h-1)
    int32_t factor = 1;   // 2..10 enlarge, -2..-10 reduce, 1 none
    Bitmap picture;       // w x h, shown stretched by the factor
    bool autoSync = true;
    int32_t factorField = 1;  // the image window's zoom factor field
    // The size the view shows the picture at.
    int32_t shownWidth() const;
    int32_t shownHeight() const;
};

// The image window's Zoom button: the selection, or the whole picture, into
// the zoomed view.
void zoomClick(Document& s);
// View position to picture position.
void mapViewToImage(const ZoomView& z, int32_t vx, int32_t vy, int32_t& ix, int32_t& iy);
// Copies the zoomed part of the displayed picture into the view.
void zoomRefresh(Document& s);
// The same while a drag goes on, which a view follows only in AutoSync.
void zoomFollow(Document& s);
// Reset: shows the uncoloured original of the zoomed part; the picture is not changed.
void zoomReset(Document& s);
// The view's caption for a factor: the factor and X in double quotes, then the name.
std::string zoomCaption(int32_t factor);

} // namespace cw
