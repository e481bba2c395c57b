#pragma once
// The Smart Paint-brush: at every press and move it colours the part of the
// brush window that the move uncovered, where the displayed colour is close
// to the colour under the press. It writes the working picture only; the
// gesture shows it when it restores the window at the next move or release.
#include "core/brush_stroke.h"

namespace cw {

struct Document;

// ColourWinM (masked) / ColourWinI over ToolRect (brushPaint, with the
// brush and the picked colour of the document's gesture and its tool and
// palette settings). A round brush keeps to the disc of BrushRadius around
// BrushCentre.
void colourWin(Document& s, bool masked);

} // namespace cw
