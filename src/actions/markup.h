#pragma once
// The Mark-up button and the mark-up the actions start, over the session's
// settings.
#include "core/markup.h"

namespace cw {

struct Session;

// The mark-up's parameters from the session's settings, which are brought up
// to date first: the gray step from the complexity, D and S raised to their
// floors and stored. `discardColouring` is Re-mark's, when the Mark-up
// button started the mark-up.
MarkUpParams markUpSettings(Session& s, bool startedByButton);

// MarkUp: rebuilds ws.anchors from the full-resolution picture.
// `startedByButton` lets Re-mark discard the colouring first; processing
// starts it with false.
void markUp(Session& s, bool startedByButton);

// The Mark-up button (ExplorerButton2Click): MarkUp at Scale% 100, else FastMarkUp.
void markUpClick(Session& s);

} // namespace cw
