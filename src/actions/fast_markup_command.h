#pragma once
// The fast, grid-based mark-up over the session's settings and Scale%.
#include "core/fast_markup.h"

namespace cw {

struct Session;

// Rebuilds ws.anchors from a grid of (W div f) x (H div f) cells, f = 100 div
// Scale%; anchor positions are cell coordinates times f, sizes count cells.
// Takes the gray step as the full mark-up does; D and S are read as they
// are, not raised to their floors.
void runFastMarkUp(Session& s);

} // namespace cw
