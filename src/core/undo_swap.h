#pragma once
// One level of undo: the working picture and the snapshot change places.
#include "core/rect.h"

namespace cw {

struct Workspace;

// A second call exchanges them back. Pixel codes are not exchanged. The
// display shows the working picture afterwards; returns the part of it
// redrawn, exclusive bounds: the whole picture.
Rect exchangeUndo(Workspace& ws);

} // namespace cw
