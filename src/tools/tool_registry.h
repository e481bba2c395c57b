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

// The tool ToolSettings::currentTool names; the brush, as at start-up, for
// an id no tool has.
const Tool& currentTool(const ToolSettings& t);

} // namespace cw
