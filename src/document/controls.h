#pragma once
// The main window's settings, and what the engine works out from them.
#include <algorithm>
#include <cstdint>

namespace cw {

struct SpinRange {
    int min, max, initial;
    int clamp(int v) const { return v < min ? min : v > max ? max : v; }
};
inline constexpr SpinRange kComplexityRange{1, 256, 16};     // SpinEdit1
inline constexpr SpinRange kIntegrationRange{1, 256, 52};    // SpinEdit2
inline constexpr SpinRange kObjectivityRange{1, 100, 10};    // SpinEdit3
inline constexpr SpinRange kSeparationRange{1, 100, 10};     // SpinEdit5
inline constexpr SpinRange kScalePercentRange{1, 100, 100};  // SpinEdit6

// How finish-up fills the uncoloured pixels: the vote of the eight rays, or
// the regions grown along the photo's edges.
inline constexpr int kFinishRays = 0, kFinishEdgeAware = 1;

// Values of the main window's controls: the one copy, which the controls
// show and the engine reads.
struct MainControls {
    int complexity = kComplexityRange.initial;
    int integration = kIntegrationRange.initial;
    int objectivity = kObjectivityRange.initial;
    int separation = kSeparationRange.initial;
    int scalePercent = kScalePercentRange.initial;
    int integrationStep = 1;  // arrow step of the Integration box
    bool forceGray = false;   // CheckBox1
    bool unmaskOnly = false;  // CheckBox2: auto finish-up only recolours
    bool autoMarkUp = false;  // CheckBox7: Process ends with a fresh mark-up
    bool reMark = false;      // CheckBox11: the Mark-up button first discards all colouring
    bool layeredShown = true; // CheckBox10 visible and enabled; AutoFinish turns it back on
    int finishMode = kFinishRays;
};

// What the engine works out from the controls, each in one place only.
// Complexity is held to its range so that the step never divides by zero.
inline int32_t grayStepOf(int32_t complexity) {
    return 256 / std::clamp(complexity, kComplexityRange.min, kComplexityRange.max);
}
// Objectivity and Separation are percentages of the picture's span W + H.
inline int32_t minObjectSizeOf(const MainControls& c, int32_t imageSpan) { return c.objectivity * imageSpan / 100; }
inline int32_t minAnchorSeparationOf(const MainControls& c, int32_t imageSpan) {
    return c.separation * imageSpan / 100;
}
inline int32_t integrationStepOf(const MainControls& c) { return c.complexity + 1; }

// Mark-up's D and S do not follow Objectivity and Separation as they move:
// they are worked out when the engine takes the controls (below), and a
// full mark-up raises them to their floors until the next time.
struct MarkUpSizes {
    int32_t minObjectSize = 0;
    int32_t minAnchorSeparation = 0;
};

// The moments the engine takes the controls: a load, a change of Complexity
// or Integration, the main window's start. The gray step waits for the next
// mark-up or load; Integration's arrow step is set here too, so before the
// first of these moments the box keeps its own step.
inline void takeControls(MainControls& c, MarkUpSizes& sizes, int32_t imageSpan) {
    sizes = {minObjectSizeOf(c, imageSpan), minAnchorSeparationOf(c, imageSpan)};
    c.integrationStep = integrationStepOf(c);
}

// The re-set scale box of the image window.
inline constexpr int32_t kScaleFieldMin = -10, kScaleFieldMax = 10;

struct ScaleField {
    int32_t value = 0;
    int32_t step = 2;
    bool scaleEnabled = false;  // the "&Scale" button
};

// The scale box changed: 1 and -1 become 0; the arrows step 2 from 0, else 1.
inline void scaleFieldChange(ScaleField& f, int32_t value) {
    value = std::clamp(value, kScaleFieldMin, kScaleFieldMax);
    if (value == 1 || value == -1) value = 0;
    f.value = value;
    f.step = value == 0 ? 2 : 1;
    f.scaleEnabled = value != 0;
}

} // namespace cw
