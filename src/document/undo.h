#pragma once
// Taking changes back: the Un-do button's one level (the working picture and
// its snapshot change places), and the history's steps, which Undo and Redo
// walk.
#include <string_view>

#include "document/history.h"

namespace cw {

struct Document;

// Un-do: a second one redoes. Pixel codes are not exchanged.
void undoClick(Document& s);
// "Un-do Enabled" was clicked; checking it takes a snapshot at once.
void undoEnabledClick(Document& s, bool checked);
// What Un-do goes back to: the working picture as it is now.
void takeUndoSnapshot(Document& s);

// Ends the change under way as a step of the history named `name` (nothing
// when nothing the history keeps changed).
void recordStep(Document& s, std::string_view name, DisplayAlone alone = DisplayAlone::Kept);
// Waits for the step being recorded, if any, and tells the windows what
// became of it. Whatever changes the picture calls it before it does.
void settleHistory(Document& s);
// Ends a gesture left open (a script's press without its release) as a step
// of its own, before anything else changes the picture.
void recordOpenGesture(Document& s);
// One step back or forward. True when the step replaced the whole picture
// (a crop, a scale, a restore): the picture then has another size.
bool undoStep(Document& s);
bool redoStep(Document& s);

} // namespace cw
