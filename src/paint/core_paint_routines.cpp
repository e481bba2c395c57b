#include "paint/core_paint_routines.h"

#include "paint/brush_paint.h"
#include "paint/connected_paint.h"
#include "paint/selection_paint.h"
#include "paint/touch_paint.h"

namespace cw {

void CorePaintRoutines::colourWinI(Session& s) { cw::colourWinI(s); }
void CorePaintRoutines::colourWinM(Session& s) { cw::colourWinM(s); }
void CorePaintRoutines::selPaint(Session& s) { cw::selPaint(s); }
void CorePaintRoutines::touchPaintMOY(Session& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintMOY(s, x, y, code); }
void CorePaintRoutines::touchPaintMON(Session& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintMON(s, x, y, code); }
void CorePaintRoutines::touchPaintIOY(Session& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintIOY(s, x, y, code); }
void CorePaintRoutines::touchPaintION(Session& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintION(s, x, y, code); }
void CorePaintRoutines::clickPaintM(Session& s, int32_t x, int32_t y, int32_t code) { cw::clickPaintM(s, x, y, code); }
void CorePaintRoutines::clickPaintI(Session& s, int32_t x, int32_t y, int32_t code) { cw::clickPaintI(s, x, y, code); }

} // namespace cw
