#pragma once
// FastMarkUp over the session's settings and Scale%.
#include "core/fast_markup.h"

namespace cw {

struct Session;

// Rebuilds ws.anchors from a grid of (W div f) x (H div f) cells, f = 100 div
// Scale%; anchor positions are cell coordinates times f, sizes count cells.
// Brings the gray step up to date; D and S are read as they are.
void fastMarkUp(Session& s);

} // namespace cw
