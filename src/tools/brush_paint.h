#pragma once
// The Smart Paint-brush: at every press and move it colours the part of the
// brush window that the move uncovered, where the displayed colour is close
// to the colour under the press. It writes the working picture only; the
// gesture shows it when it restores the window at the next move or release.
#include "core/brush_paint.h"

namespace cw {

struct Document;

// ColourWinI / ColourWinM over ToolRect (brushPaint, with the brush and the
// picked colour the gesture left in the workspace and the document's tool
// and palette settings). A round brush keeps to the disc of BrushRadius
// around BrushCentre.
void colourWin(Document& s, bool masked);

} // namespace cw
