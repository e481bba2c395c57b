#pragma once
// The palette menu's items and the Original button, as the windows and the
// batch runner run them.
namespace cw {

struct Session;
struct PaletteMenuItem;

// An item of the palette menu; PickColour asks the colour dialog first.
void paletteMenuItemClick(Session& s, const PaletteMenuItem& item);
// The Original (eraser) palette button; the main window shows the new
// selection.
void originalButtonClick(Session& s);

} // namespace cw
