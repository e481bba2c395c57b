#pragma once
// One level of undo: the working picture and the snapshot change places.
namespace cw {

struct Document;

// Un-do: a second one redoes. Pixel codes are not exchanged.
void undoClick(Document& s);
// "Un-do Enabled" was clicked; checking it takes a snapshot at once.
void undoEnabledClick(Document& s, bool checked);
// What Un-do goes back to: the working picture as it is now.
void takeUndoSnapshot(Document& s);

} // namespace cw
