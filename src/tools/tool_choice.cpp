#include "tools/tool_choice.h"

#include "tools/tool_registry.h"

namespace cw {

void selectTool(ToolSettings& t, const Tool& tool) {
    t.currentTool = tool.id();
    t.groups = tool.groups();
    switch (tool.switchesOnSelect()) {
    case SwitchesOnSelect::Cleared: t.overwrite = t.layered = false; break;
    case SwitchesOnSelect::Checked: t.overwrite = t.layered = true; break;
    case SwitchesOnSelect::Kept: break;
    }
}

void selectTool(ToolSettings& t, int32_t id) {
    if (const Tool* tool = toolById(id)) selectTool(t, *tool);
}

void startingTools(ToolSettings& t) {
    t.paintMode = kPaintInteractive;
    selectTool(t, brushTool());
    brushWidthChanged(t, t.brushWidthField);
    brushHeightChanged(t, t.brushHeightField);
}

void overwriteClicked(ToolSettings& t, bool checked) {
    t.overwrite = checked;
    if (checked && currentTool(t).overwriteExcludesLayered()) t.layered = false;
}

void layeredClicked(ToolSettings& t, bool checked) {
    t.layered = checked;
    if (checked && currentTool(t).overwriteExcludesLayered()) t.overwrite = false;
}

} // namespace cw
