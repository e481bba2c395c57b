#include "core/undo_swap.h"

#include <utility>

#include "core/workspace.h"

namespace cw {

Rect exchangeUndo(Workspace& ws) {
    // Exchanging the buffers is the exchange; only the display needs a copy.
    std::swap(ws.colour, ws.undo);
    ws.display.copyFrom(ws.colour);
    return Rect{0, 0, ws.width, ws.height};
}

} // namespace cw
