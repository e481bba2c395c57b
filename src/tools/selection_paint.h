#pragma once
// Selection-paint: colours a dragged rectangle once, at the release, and
// the pending rectangular selection when Process starts.
#include "core/selection_fill.h"

namespace cw {

struct Document;

// SelPaint: paints SelectionRect with every pixel accepted (OverwriteFactor
// is 255 for the duration), clears the pending selection, and shows the
// result on the displayed picture.
void selPaint(Document& s);

// ColourSelM (masked) / ColourSelI over ToolRect (colourSelection, with
// the picked colour of the document's gesture and its tool and palette
// settings). They write the working picture only.
void colourSel(Document& s, bool masked);

} // namespace cw
