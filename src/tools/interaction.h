#pragma once
// The pointer on the picture, in picture coordinates, whichever window it
// is over: the image window, the zoomed view and the script runner all come
// here. A left gesture runs press, moves, click, release; the click only
// when the button comes up over the picture. What the current tool does of
// its own is asked of the tool (tools/tool.h).
#include <cstdint>

#include "tools/tool.h"

namespace cw {

struct Document;

enum class MouseButton { Left, Right, Middle };

void pointerPress(Document& s, MouseButton button, bool shift, int32_t x, int32_t y);
void pointerMove(Document& s, bool shift, int32_t x, int32_t y);
// The click alone, at the last position moved to; what it paints shows in
// the zoomed view at once.
void pointerClick(Document& s);
// The button coming up, without the click.
void pointerUp(Document& s, MouseButton button, bool shift, int32_t x, int32_t y);
// The button coming up as the windows report it: `inside` when over the
// picture, where a left release is a click first. The zoomed view is
// refreshed once, with what both left.
void pointerRelease(Document& s, MouseButton button, bool shift, int32_t x, int32_t y, bool inside);
// Move there, press and release at once.
void pointerTap(Document& s, MouseButton button, bool shift, int32_t x, int32_t y);
// Gives up a drag in progress without what its release would do.
void pointerCancel(Document& s);

bool insidePicture(const Document& s, int32_t x, int32_t y);

} // namespace cw
