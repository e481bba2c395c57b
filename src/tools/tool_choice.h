#pragma once
// Choosing a tool on the tool bar, and the two switches whose rule depends
// on the tool chosen.
#include <cstdint>

#include "document/tool_settings.h"

namespace cw {

class Tool;

// A tool button of the tool bar: makes the tool current, shows its
// groups and sets Overwrite and Layered as it asks.
void selectTool(ToolSettings& t, const Tool& tool);
// By the stored id; an id no tool has changes nothing.
void selectTool(ToolSettings& t, int32_t id);

// The tool bar as the program starts: the brush chosen, Interactive, and the
// brush the size its fields show.
void startingTools(ToolSettings& t);

// The Overwrite and Layered check boxes: for a tool where they exclude each
// other, checking one unchecks the other.
void overwriteClicked(ToolSettings& t, bool checked);
void layeredClicked(ToolSettings& t, bool checked);

} // namespace cw
