#pragma once
// Anchor processing and the main window's anchor buttons.
#include "core/process.h"

namespace cw {

struct Session;

// Process: sorts the anchors by Size (stable), puts the coloured picture back
// on screen without markers, then runs a full-resolution mark-up when Auto
// Mark-up is checked. With Re-mark checked it recounts the uncoloured pixels
// first.
void process(Session& s);

// Process (ExplorerButton6Click): colours a pending rectangular selection
// instead, when there is one.
void processClick(Session& s);
// View All (ExplorerButton7Click), View Pending (ExplorerButton8Click) and
// Remove (ExplorerButton12Click).
void viewAllClick(Session& s);
void viewPendingClick(Session& s);
void removeClick(Session& s);

} // namespace cw
