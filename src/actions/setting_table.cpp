#include "actions/setting_table.h"

#include <algorithm>

#include "core/effects.h"
#include "document/document.h"
#include "document/tool_settings.h"
#include "document/undo.h"
#include "document/zoom.h"
#include "tools/tool_choice.h"

namespace cw {

namespace {

using K = SettingKind;

constexpr std::string_view kScopeWords[] = {"connected", "image-wide"};
static_assert(kScopeConnected == 0 && kScopeImageWide == 1, "scope words follow the scope values");
constexpr std::string_view kFinishModeWords[] = {"rays", "edge-aware"};
static_assert(kFinishRays == 0 && kFinishEdgeAware == 1, "finish-mode words follow the mode values");
constexpr std::string_view kPaintModeWords[] = {"interactive", "masked"};
static_assert(kPaintInteractive == 0 && kPaintMasked == 1, "paint-mode words follow the mode values");

template <size_t Light>
int32_t lightOn(const Document& d) {
    return d.effects.lights[Light];
}
template <size_t Light>
void setLight(Document& d, int32_t v) {
    d.effects.lights[Light] = v != 0;
}

// A change of Complexity or Integration is a moment the engine takes the
// controls: Objectivity and Separation changed since reach it only then.
void engineChanged(Document& d) { takeControls(d.controls, d.markUpSizes, d.imageSpan); }

const Setting kSettings[] = {
    {"force-gray", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.controls.forceGray; },
     [](Document& d, int32_t v) { d.controls.forceGray = v != 0; }},
    {"auto-markup", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.controls.autoMarkUp; },
     [](Document& d, int32_t v) { d.controls.autoMarkUp = v != 0; }},
    {"unmask-only", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.controls.unmaskOnly; },
     [](Document& d, int32_t v) { d.controls.unmaskOnly = v != 0; }},
    {"finish-mode", K::Choice, 0, 1, kFinishModeWords, [](const Document& d) { return int32_t(d.controls.finishMode); },
     [](Document& d, int32_t v) { d.controls.finishMode = v; }},
    {"remark", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.controls.reMark; },
     [](Document& d, int32_t v) { d.controls.reMark = v != 0; }},
    {"complexity", K::Int, kComplexityRange.min, kComplexityRange.max, {},
     [](const Document& d) -> int32_t { return d.controls.complexity; },
     [](Document& d, int32_t v) {
         d.controls.complexity = v;
         engineChanged(d);
     }},
    {"integration", K::Int, kIntegrationRange.min, kIntegrationRange.max, {},
     [](const Document& d) -> int32_t { return d.controls.integration; },
     [](Document& d, int32_t v) {
         d.controls.integration = v;
         engineChanged(d);
     }},
    {"objectivity", K::Int, kObjectivityRange.min, kObjectivityRange.max, {},
     [](const Document& d) -> int32_t { return d.controls.objectivity; },
     [](Document& d, int32_t v) { d.controls.objectivity = v; }},
    {"separation", K::Int, kSeparationRange.min, kSeparationRange.max, {},
     [](const Document& d) -> int32_t { return d.controls.separation; },
     [](Document& d, int32_t v) { d.controls.separation = v; }},
    {"scale-percent", K::Int, kScalePercentRange.min, kScalePercentRange.max, {},
     [](const Document& d) -> int32_t { return d.controls.scalePercent; },
     [](Document& d, int32_t v) { d.controls.scalePercent = v; }},
    // The fields, not the sizes: a stroke may narrow the size it paints
    // with, and the field is what it returns to.
    {"brush-width", K::Int, kBrushSizeMin, kBrushSizeMax, {},
     [](const Document& d) { return d.tools.brushWidthField; },
     [](Document& d, int32_t v) { brushWidthChanged(d.tools, v); }},
    {"brush-height", K::Int, kBrushSizeMin, kBrushSizeMax, {},
     [](const Document& d) { return d.tools.brushHeightField; },
     [](Document& d, int32_t v) { brushHeightChanged(d.tools, v); }},
    {"rounded", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.tools.rounded; },
     [](Document& d, int32_t v) { d.tools.rounded = v != 0; }},
    {"selectivity", K::Int, 0, 255, {}, [](const Document& d) { return d.tools.overwriteFactor; },
     [](Document& d, int32_t v) { d.tools.overwriteFactor = v; }},
    {"overwrite", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.tools.overwrite; },
     [](Document& d, int32_t v) { overwriteClicked(d.tools, v != 0); }},
    {"layered", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.tools.layered; },
     [](Document& d, int32_t v) { layeredClicked(d.tools, v != 0); }},
    {"scope", K::Choice, 0, 1, kScopeWords, [](const Document& d) { return d.tools.scope; },
     [](Document& d, int32_t v) { scopeChanged(d.tools, v); }},
    {"paint-mode", K::Choice, 0, 1, kPaintModeWords, [](const Document& d) { return d.tools.paintMode; },
     [](Document& d, int32_t v) { d.tools.paintMode = v; }},
    {"ambient", K::Int, kEffectMin, kEffectMax, {}, [](const Document& d) { return d.effects.ambient; },
     [](Document& d, int32_t v) { d.effects.ambient = v; }},
    {"intensity", K::Int, kEffectMin, kEffectMax, {}, [](const Document& d) { return d.effects.intensity; },
     [](Document& d, int32_t v) { d.effects.intensity = v; }},
    {"saturation", K::Int, kEffectMin, kEffectMax, {}, [](const Document& d) { return d.effects.saturation; },
     [](Document& d, int32_t v) { d.effects.saturation = v; }},
    {"light-white", K::Bool, 0, 1, {}, lightOn<kLightWhite>, setLight<kLightWhite>},
    {"light-yellow", K::Bool, 0, 1, {}, lightOn<kLightYellow>, setLight<kLightYellow>},
    {"light-red", K::Bool, 0, 1, {}, lightOn<kLightRed>, setLight<kLightRed>},
    {"light-green", K::Bool, 0, 1, {}, lightOn<kLightGreen>, setLight<kLightGreen>},
    {"light-blue", K::Bool, 0, 1, {}, lightOn<kLightBlue>, setLight<kLightBlue>},
    {"invert", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.effects.invertOn; },
     [](Document& d, int32_t v) { d.effects.invertOn = v != 0; }},
    {"natural-light", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.effects.naturalLight; },
     [](Document& d, int32_t v) { d.effects.naturalLight = v != 0; }},
    {"pressure", K::Int, kPressureMin, kPressureMax, {}, [](const Document& d) { return d.palette.pressure; },
     [](Document& d, int32_t v) { pressureChange(d.palette, v); }},
    {"undo-enabled", K::Bool, 0, 1, {}, [](const Document& d) -> int32_t { return d.pointer.undoEnabled; },
     [](Document& d, int32_t v) { undoEnabledClick(d, v != 0); }},
    {"zoom-factor", K::Int, kZoomFieldMin, kZoomFieldMax, {}, [](const Document& d) { return d.zoom.factorField; },
     [](Document& d, int32_t v) { d.zoom.factorField = v; }},
    {"scale-factor", K::Int, kScaleFieldMin, kScaleFieldMax, {}, [](const Document& d) { return d.scale.value; },
     [](Document& d, int32_t v) { scaleFieldChange(d.scale, v); }},
};

} // namespace

std::span<const Setting> settings() { return kSettings; }

const Setting* findSetting(std::string_view name) {
    for (const Setting& s : kSettings)
        if (s.name == name) return &s;
    return nullptr;
}

void setSetting(Document& d, const Setting& setting, long value) {
    setting.put(d, int32_t(std::clamp<long>(value, setting.min, setting.max)));
    d.observer.mainWindowChanged();
}

} // namespace cw
