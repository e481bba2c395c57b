#pragma once
// One level of undo: the working picture and the snapshot change places.
namespace cw {

struct Session;

// Un-do: a second one redoes. Pixel codes are not exchanged.
void undoClick(Session& s);
// "Un-do Enabled" was clicked; checking it takes a snapshot at once.
void undoEnabledClick(Session& s, bool checked);

} // namespace cw
