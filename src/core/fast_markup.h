#pragma once
// FastMarkUp: mark-up over a grid reduced by Scale%, about 1/f^2 of the work.
#include <cstdint>

#include "core/markup.h"
#include "core/rect.h"

namespace cw {

class Progress;
struct Workspace;

// Rebuilds ws.anchors from a grid of (W div f) x (H div f) cells, f =
// `factor` (100 div Scale%, at least 1); anchor positions are cell
// coordinates times f, sizes count cells. D on the grid is
// max(kMinObjectSizeFloor, minObjectSize div f); minSeparation and
// discardColouring are not read. Progress frame, abort and the closing steps
// as markUp's. Returns the part of the display redrawn, exclusive bounds.
Rect fastMarkUp(Workspace& ws, const MarkUpParams& params, int32_t factor, Progress& progress,
                std::vector<Rect>* displayChanged = nullptr);

} // namespace cw
