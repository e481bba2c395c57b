#pragma once
// The paint tools of the core behind the routines the pointer gestures call.
#include "document/paint_routines.h"

namespace cw {

class CorePaintRoutines : public PaintRoutines {
public:
    void colourWinI(Document& s) override;
    void colourWinM(Document& s) override;
    void selPaint(Document& s) override;
    void touchPaintMOY(Document& s, int32_t x, int32_t y, int32_t code) override;
    void touchPaintMON(Document& s, int32_t x, int32_t y, int32_t code) override;
    void touchPaintIOY(Document& s, int32_t x, int32_t y, int32_t code) override;
    void touchPaintION(Document& s, int32_t x, int32_t y, int32_t code) override;
    void clickPaintM(Document& s, int32_t x, int32_t y, int32_t code) override;
    void clickPaintI(Document& s, int32_t x, int32_t y, int32_t code) override;
};

} // namespace cw
