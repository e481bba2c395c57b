#pragma once
// FastMarkUp: mark-up over a grid reduced by Scale%, about 1/f^2 of the work.
namespace cw {

struct Session;

// Rebuilds ws.anchors from a grid of (W div f) x (H div f) cells, f = 100 div
// Scale%; anchor positions are cell coordinates times f, sizes count cells.
void fastMarkUp(Session& s);

} // namespace cw
