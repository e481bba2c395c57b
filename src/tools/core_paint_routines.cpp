#include "tools/core_paint_routines.h"

#include "tools/brush_paint.h"
#include "tools/connected_paint.h"
#include "tools/selection_paint.h"
#include "tools/touch_paint.h"

namespace cw {

void CorePaintRoutines::colourWinI(Document& s) { cw::colourWinI(s); }
void CorePaintRoutines::colourWinM(Document& s) { cw::colourWinM(s); }
void CorePaintRoutines::selPaint(Document& s) { cw::selPaint(s); }
void CorePaintRoutines::touchPaintMOY(Document& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintMOY(s, x, y, code); }
void CorePaintRoutines::touchPaintMON(Document& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintMON(s, x, y, code); }
void CorePaintRoutines::touchPaintIOY(Document& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintIOY(s, x, y, code); }
void CorePaintRoutines::touchPaintION(Document& s, int32_t x, int32_t y, int32_t code) { cw::touchPaintION(s, x, y, code); }
void CorePaintRoutines::clickPaintM(Document& s, int32_t x, int32_t y, int32_t code) { cw::clickPaintM(s, x, y, code); }
void CorePaintRoutines::clickPaintI(Document& s, int32_t x, int32_t y, int32_t code) { cw::clickPaintI(s, x, y, code); }

} // namespace cw
