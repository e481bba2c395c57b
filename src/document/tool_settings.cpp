#include "document/tool_settings.h"

#include <algorithm>

namespace cw {

void scopeChanged(ToolSettings& t, int32_t scope) {
    t.scope = scope;
    if (scope == kScopeImageWide) {
        t.groups.overwriteShown = true;
    } else {
        t.overwrite = false;
        t.groups.overwriteShown = false;
    }
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

void resetEffects(EffectSettings& fx, ToolSettings& tools) {
    fx.ambient = 0;
    fx.intensity = 0;
    fx.saturation = 0;
    fx.lights = {true, false, false, false, false};
    fx.invertOn = false;
    tools.paintMode = kPaintInteractive;
}

} // namespace cw
