#pragma once
// The tool settings, the pointer's state between events, and the tool bar's
// handlers that do not depend on the tool: brush sizes, Scope, the effects'
// Re-set. Choosing a tool is tools/tool_choice.h.
#include <cstdint>
#include <string_view>

#include "core/colour_settings.h"
#include "core/rect.h"

namespace cw {

// Which of the tool bar's groups a tool shows; hidden groups are also disabled.
struct ToolGroups {
    bool overwriteShown = true;     // Overwrite, Layered
    bool integrationShown = false;  // Integration, Scope
    bool brushShown = true;         // brush size, Rounded, Selectivity
};

// The tools' ids, as ToolSettings::currentTool stores them and scripts dump
// them; the brush is the tool the program starts with.
inline constexpr int32_t kToolBrush = 1, kToolTouch = 2, kToolSelectionPaint = 3, kToolRectangle = 4;
// Scope and Paint Mode, in the order of their buttons (and the script words).
inline constexpr int32_t kScopeConnected = 0, kScopeImageWide = 1;
inline constexpr int32_t kPaintInteractive = 0, kPaintMasked = 1;

struct ToolSettings {
    int32_t currentTool = kToolBrush;
    int32_t brushWidth = 10, brushHeight = 10;  // half-sizes, 2..40
    // The brush size fields' values: what a release reads back.
    int32_t brushWidthField = 10, brushHeightField = 10;
    bool rounded = true;
    int32_t overwriteFactor = 255;
    bool overwrite = false;
    bool layered = false;
    int32_t scope = kScopeImageWide;
    int32_t paintMode = kPaintInteractive;
    ToolGroups groups;
};

// Pointer state the image window keeps between events.
struct PointerState {
    bool shiftHeld = false;
    Rect paintLimitRect;
    bool undoEnabled = true;  // the image window's "Un-do Enabled"
};

// The pointer on the open picture and the drag under way. It goes with the
// picture: the next one starts with no drag and the pointer at its origin.
struct GestureState {
    // Where the last move went, what the display showed there (black off the
    // picture) and the code there (the last one over the picture).
    int32_t pointerX = 0, pointerY = 0;
    uint32_t pointedColour = 0;
    int8_t pointedCode = 0;
    bool dragging = false;
    uint32_t pickedColour = 0;  // the displayed pixel under the press
    // The band or brush window of this event and of the one before; each
    // runs from the press's corner and may be turned either way.
    Rect toolRect;
    Rect prevToolRect;
    int32_t brushCentreX = 0, brushCentreY = 0;
    int32_t brushRadius = 0;
    // What the history calls the change this gesture makes.
    std::string_view stepName;
};

// The effects bar's Re-set button: track bars to 0, white light only,
// Invert off, Paint Mode back to Interactive. The palette selection, Damper,
// strength and pressure are left alone.
void resetEffects(EffectSettings& fx, ToolSettings& tools);


inline constexpr int32_t kBrushSizeMin = 2, kBrushSizeMax = 40;

// The Scope radio group changed: Overwrite means something only image-wide,
// so connected fills hide it and leave it off.
void scopeChanged(ToolSettings& t, int32_t scope);
// The brush width and height fields changed (the fields keep 2..40).
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
