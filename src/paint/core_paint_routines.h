#pragma once
// The paint tools of the core behind the routines the pointer gestures call.
#include "paint/paint_routines.h"

namespace cw {

class CorePaintRoutines : public PaintRoutines {
public:
    void colourWinI(Session& s) override;
    void colourWinM(Session& s) override;
    void selPaint(Session& s) override;
    void touchPaintMOY(Session& s, int32_t x, int32_t y, int32_t code) override;
    void touchPaintMON(Session& s, int32_t x, int32_t y, int32_t code) override;
    void touchPaintIOY(Session& s, int32_t x, int32_t y, int32_t code) override;
    void touchPaintION(Session& s, int32_t x, int32_t y, int32_t code) override;
    void clickPaintM(Session& s, int32_t x, int32_t y, int32_t code) override;
    void clickPaintI(Session& s, int32_t x, int32_t y, int32_t code) override;
};

} // namespace cw
