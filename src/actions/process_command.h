#pragma once
// Anchor processing and the main window's anchor buttons.
#include "core/process.h"

namespace cw {

struct Session;

// Sorts the anchors by Size (stable), puts the coloured picture back
// on screen without markers, then runs a full-resolution mark-up when Auto
// Mark-up is checked. With Re-mark checked it recounts the uncoloured pixels
// first.
void runProcess(Session& s);

// The Process button: colours a pending rectangular selection instead, when
// there is one, since the user's last act was to choose where to paint.
void processClick(Session& s);
// The View All, View Pending and Remove buttons: markers redrawn on the
// picture that is showing, and none without one.
void viewAllClick(Session& s);
void viewPendingClick(Session& s);
void removeClick(Session& s);

} // namespace cw
