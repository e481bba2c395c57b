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

// Rebuilds ws.anchors from the full-resolution picture.
// `startedByButton` lets Re-mark discard the colouring first; processing
// starts it with false.
void runMarkUp(Session& s, bool startedByButton);

// The Mark-up button: the full mark-up at Scale% 100; below it the grid of
// the fast one, which trades anchor precision for time on large pictures.
void markUpClick(Session& s);

} // namespace cw
