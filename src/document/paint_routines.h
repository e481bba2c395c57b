#pragma once
// What the pointer gestures on the picture start. The paint tools, the undo
// snapshot and the zoomed view implement these; the gestures only choose.
#include <cstdint>

namespace cw {

struct Document;

class PaintRoutines {
public:
    virtual ~PaintRoutines() = default;
    virtual void undoSnapshot(Document& s);
    virtual void colourWinI(Document&) {}
    virtual void colourWinM(Document&) {}
    virtual void selPaint(Document&) {}
    virtual void touchPaintMOY(Document&, int32_t /*x*/, int32_t /*y*/, int32_t /*code*/) {}
    virtual void touchPaintMON(Document&, int32_t, int32_t, int32_t) {}
    virtual void touchPaintIOY(Document&, int32_t, int32_t, int32_t) {}
    virtual void touchPaintION(Document&, int32_t, int32_t, int32_t) {}
    virtual void clickPaintM(Document&, int32_t, int32_t, int32_t) {}
    virtual void clickPaintI(Document&, int32_t, int32_t, int32_t) {}
    // `always`: refresh whatever the view's AutoSync says.
    virtual void zoomRefresh(Document& s, bool always);
};

} // namespace cw
