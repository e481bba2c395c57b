#pragma once
// Auto finish-up over the session: its colouring settings, the AutoFinish button.
#include "core/finishup.h"

namespace cw {

struct Session;

// Finishup(mode) with the session's palette, effects and tools; see the core's.
void finishup(Session& s, FinishupMode mode);

// The AutoFinish button (ExplorerButton13Click): unchecks Layered; with a
// picture open, recolours, then fills unless Un-mask Only is checked, and
// shows Layered and sets the paint mode back to Interactive.
void autoFinishClick(Session& s);

} // namespace cw
