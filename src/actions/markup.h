#pragma once
// The Mark-up button and the mark-up the actions start, over the session's
// settings.
#include "core/markup.h"

namespace cw {

struct Session;

// The parameters both mark-ups read: the gray step, worked out from
// Complexity and kept for the fills, Integration, and D and S as the engine
// last took them.
MarkUpParams takeMarkUpSettings(Session& s);

// The full mark-up's parameters: D and S are raised to their floors first,
// and stay raised. `discardColouring` is Re-mark's, when the Mark-up button
// started the mark-up.
MarkUpParams markUpSettings(Session& s, bool startedByButton);

// MarkUp: rebuilds ws.anchors from the full-resolution picture.
// `startedByButton` lets Re-mark discard the colouring first; processing
// starts it with false.
void markUp(Session& s, bool startedByButton);

// The Mark-up button (ExplorerButton2Click): MarkUp at Scale% 100, else FastMarkUp.
void markUpClick(Session& s);

} // namespace cw
