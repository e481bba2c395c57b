#include "tools/tool_registry.h"

#include "tools/band_tool.h"
#include "tools/brush_tool.h"
#include "tools/rectangle_tool.h"
#include "tools/selection_paint_tool.h"
#include "tools/touch_tool.h"

namespace cw {

namespace {

const BrushTool kBrush;
const TouchTool kTouch;
const SelectionPaintTool kSelectionPaint;
const RectangleTool kRectangle;

const Tool* const kToolBar[] = {&kRectangle, &kBrush, &kSelectionPaint, &kTouch};

} // namespace

std::span<const Tool* const> toolBar() { return kToolBar; }

const Tool* toolById(int32_t id) {
    for (const Tool* t : kToolBar)
        if (t->id() == id) return t;
    return nullptr;
}

const Tool* toolNamed(std::string_view name) {
    for (const Tool* t : kToolBar)
        if (t->name() == name) return t;
    return nullptr;
}

const Tool& brushTool() { return kBrush; }

const Tool& currentTool(const ToolSettings& t) {
    const Tool* tool = toolById(t.currentTool);
    return tool ? *tool : kBrush;
}

} // namespace cw
