#pragma once
// Selection-paint's painting of the open picture: a dragged rectangle once,
// at the release, and the pending rectangular selection when Process starts.
#include "core/selection_fill.h"

namespace cw {

struct Document;

// Paints SelectionRect with every pixel accepted (OverwriteFactor
// is 255 for the duration), clears the pending selection, and shows the
// result on the displayed picture.
void paintSelection(Document& s);

// Colours ToolRect, Mask'ed or Interactive (colourSelection, with the
// picked colour of the document's gesture and its tool and palette
// settings). It writes the working picture only.
void paintToolRect(Document& s, bool masked);

} // namespace cw
