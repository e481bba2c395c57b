#pragma once
// How the current settings colour the open picture: the palette selection,
// the effects, and the paint rules of the tool that is current.
#include "core/colour_mag.h"
#include "document/tool_settings.h"

namespace cw {

struct Document;

// The current tool's rule for a pixel that already has the code (lifted by
// Overwrite), and Layered.
PaintRules paintRules(const ToolSettings& t);

// Needs a picture.
ColourMagContext colouring(Document& s);

} // namespace cw
