#pragma once
// Auto finish-up over the session: its colouring settings, the AutoFinish button.
#include "core/finishup.h"

namespace cw {

struct Session;

// Auto finish-up's `mode` on the open picture, coloured with the session's
// palette, effects and tools; the rules are the core's finishup.
void runFinishup(Session& s, FinishupMode mode);

// The AutoFinish button: unchecks Layered; with a picture open, recolours,
// then fills unless Un-mask Only is checked, and shows Layered and sets the
// paint mode back to Interactive, since the picture is now coloured through.
void autoFinishClick(Session& s);

} // namespace cw
