#include "document/zoom.h"

#include <algorithm>
#include <string>

#include "core/outline.h"
#include "core/zoomed_copy.h"
#include "document/document.h"
#include "document/undo.h"

namespace cw {

int32_t ZoomView::shownWidth() const {
    const int32_t w = picture.width();
    return factor > 1 ? w * factor : factor < -1 ? w / -factor : w;
}

int32_t ZoomView::shownHeight() const {
    const int32_t h = picture.height();
    return factor > 1 ? h * factor : factor < -1 ? h / -factor : h;
}

void zoomClick(Document& s) {
    if (!s.ws) return;
    settleHistory(s);  // the recorder must be done reading what this writes
    Workspace& ws = *s.ws;
    if (!ws.selectionActive) ws.selectionRect = {0, 0, ws.width - 1, ws.height - 1};
    ws.selectionActive = false;
    restoreRect(ws.display, ws.colour, ws.selectionRect);
    s.showChanged({0, 0, ws.width, ws.height});

    ZoomView& z = s.zoom;
    z.exists = false;
    s.observer.zoomViewChanged();
    const Rect& r = ws.selectionRect;
    z.sourceRect = {r.x1 + 1, r.y1 + 1, r.x2 - 1, r.y2 - 1};
    // A selection too thin to have an inside still shows one pixel.
    const int32_t w = std::max(1, z.sourceRect.x2 - z.sourceRect.x1 + 1);
    const int32_t h = std::max(1, z.sourceRect.y2 - z.sourceRect.y1 + 1);
    z.viewRect = {0, 0, w - 1, h - 1};
    z.picture = Bitmap(w, h);
    copyZoomed(z.picture, ws.display, z.sourceRect);
    const int32_t f = std::clamp(z.factorField, kZoomFieldMin, kZoomFieldMax);
    z.factor = (f == 0 || f == -1) ? 1 : f;
    z.autoSync = true;  // every new view starts in sync; an "off" was the last view's
    z.exists = true;
    s.observer.zoomViewChanged();
}

void mapViewToImage(const ZoomView& z, int32_t vx, int32_t vy, int32_t& ix, int32_t& iy) {
    if (z.factor >= 0) {
        const int32_t f = std::max(1, z.factor);
        ix = vx / f + z.sourceRect.x1;
        iy = vy / f + z.sourceRect.y1;
    } else {
        ix = z.sourceRect.x1 - z.factor * vx;
        iy = z.sourceRect.y1 - z.factor * vy;
    }
}

void zoomRefresh(Document& s) {
    if (!s.zoom.exists || !s.ws) return;
    copyZoomed(s.zoom.picture, s.ws->display, s.zoom.sourceRect);
    s.observer.zoomPictureChanged();
}

void zoomFollow(Document& s) {
    if (s.zoom.autoSync) zoomRefresh(s);
}

void zoomReset(Document& s) {
    if (!s.zoom.exists || !s.ws) return;
    copyZoomed(s.zoom.picture, s.ws->source, s.zoom.sourceRect);
    s.observer.zoomPictureChanged();
}

std::string zoomCaption(int32_t factor) { return "\"" + std::to_string(factor) + "X\" Zoom`ed View"; }

} // namespace cw
