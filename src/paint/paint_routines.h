#pragma once
// What the pointer gestures on the picture start. The paint tools, the undo
// snapshot and the zoomed view implement these; the gestures only choose.
#include <cstdint>

namespace cw {

struct Session;

class PaintRoutines {
public:
    virtual ~PaintRoutines() = default;
    virtual void undoSnapshot(Session& s);
    virtual void colourWinI(Session&) {}
    virtual void colourWinM(Session&) {}
    virtual void selPaint(Session&) {}
    virtual void touchPaintMOY(Session&, int32_t /*x*/, int32_t /*y*/, int32_t /*code*/) {}
    virtual void touchPaintMON(Session&, int32_t, int32_t, int32_t) {}
    virtual void touchPaintIOY(Session&, int32_t, int32_t, int32_t) {}
    virtual void touchPaintION(Session&, int32_t, int32_t, int32_t) {}
    virtual void clickPaintM(Session&, int32_t, int32_t, int32_t) {}
    virtual void clickPaintI(Session&, int32_t, int32_t, int32_t) {}
    // `always`: refresh whatever the view's AutoSync says.
    virtual void zoomRefresh(Session& s, bool always);
};

} // namespace cw
