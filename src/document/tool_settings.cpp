#include "document/tool_settings.h"

#include <algorithm>

namespace cw {

void selectTool(ToolSettings& t, int32_t tool) {
    t.currentTool = tool;
    ToolGroups& g = t.groups;
    switch (tool) {
    case kToolBrush:
    case kToolSelectionPaint:
        g = {true, false, tool == kToolBrush};
        t.overwrite = t.layered = false;
        break;
    case kToolTouch:
        scopeChanged(t, t.scope);
        g.integrationShown = true;
        g.brushShown = false;
        g.overwriteShown = true;
        t.overwrite = t.layered = true;
        break;
    default:
        g = {false, false, false};
        break;
    }
}

void scopeChanged(ToolSettings& t, int32_t scope) {
    t.scope = scope;
    if (scope == kScopeImageWide) {
        t.groups.overwriteShown = true;
    } else {
        t.overwrite = false;
        t.groups.overwriteShown = false;
    }
}

void overwriteClicked(ToolSettings& t, bool checked) {
    t.overwrite = checked;
    if (checked && t.currentTool == kToolBrush) t.layered = false;
}

void layeredClicked(ToolSettings& t, bool checked) {
    t.layered = checked;
    if (checked && t.currentTool == kToolBrush) t.overwrite = false;
}

void brushWidthChanged(ToolSettings& t, int32_t value) {
    t.brushWidthField = t.brushWidth = std::clamp(value, kBrushSizeMin, kBrushSizeMax);
}

void brushHeightChanged(ToolSettings& t, int32_t value) {
    t.brushHeightField = t.brushHeight = std::clamp(value, kBrushSizeMin, kBrushSizeMax);
}

void quickBrush(ToolSettings& t, const QuickBrush& b) {
    brushWidthChanged(t, b.width);
    brushHeightChanged(t, b.height);
}

} // namespace cw
