#pragma once
// The tool bar's handlers that do not depend on the tool: brush sizes and
// Scope. Choosing a tool is tools/tool_choice.h.
#include <cstdint>

#include "core/colour_settings.h"

namespace cw {

inline constexpr int32_t kBrushSizeMin = 2, kBrushSizeMax = 40;

// RadioGroup2Click, after the Scope changed.
void scopeChanged(ToolSettings& t, int32_t scope);
// MaskEdit2Change / MaskEdit3Change (the fields keep 2..40).
void brushWidthChanged(ToolSettings& t, int32_t value);
void brushHeightChanged(ToolSettings& t, int32_t value);

struct QuickBrush {
    const char* name;  // SpeedButton5 .. SpeedButton12
    int32_t width, height;
};
inline constexpr QuickBrush kQuickBrushes[] = {
    {"SpeedButton5", 4, 4},    {"SpeedButton6", 8, 8},    {"SpeedButton7", 14, 14},  {"SpeedButton8", 20, 20},
    {"SpeedButton9", 10, 5},   {"SpeedButton10", 5, 10},  {"SpeedButton11", 20, 10}, {"SpeedButton12", 10, 20}};
// Width first, then height, as the fields' change handlers run.
void quickBrush(ToolSettings& t, const QuickBrush& b);

} // namespace cw
