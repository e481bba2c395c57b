#pragma once
// Every tool, once. The document stores the current tool as its id; whoever
// needs to know what that tool does asks the tool found here.
#include <cstdint>
#include <span>
#include <string_view>

#include "tools/tool.h"

namespace cw {

// In the order of their buttons on the tool bar.
std::span<const Tool* const> toolBar();

// nullptr when no tool has that id or name.
const Tool* toolById(int32_t id);
const Tool* toolNamed(std::string_view name);

// The brush: the tool at start-up, and the one that stands in where the
// current tool cannot (an id no tool has, a drag under a tool that never drags).
const Tool& brushTool();

// The tool ToolSettings::currentTool names, or the brush.
const Tool& currentTool(const ToolSettings& t);

} // namespace cw
