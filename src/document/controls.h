#pragma once
// The main window's settings as the engine reads them.
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

// Values of the main window's controls.
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

// The engine's copies, refreshed by valSet.
struct EngineSettings {
    int32_t complexity = kComplexityRange.initial;
    int32_t integrationTolerance = kIntegrationRange.initial;
    int32_t minObjectSize = 0;
    int32_t minAnchorSeparation = 0;
    int32_t imageSpan = 1;
    int32_t grayStep = 256 / kComplexityRange.initial;
};

// Copies the controls into the engine settings (ValSet). Leaves grayStep alone.
inline void valSet(MainControls& controls, EngineSettings& s) {
    s.complexity = controls.complexity;
    s.integrationTolerance = controls.integration;
    s.minObjectSize = controls.objectivity * s.imageSpan / 100;
    s.minAnchorSeparation = controls.separation * s.imageSpan / 100;
    controls.integrationStep = controls.complexity + 1;
}

// The gray step mark-up quantises levels by: 256 div Complexity, with
// Complexity held to its range so that it never divides by zero.
inline int32_t grayStepOf(int32_t complexity) {
    return 256 / std::clamp(complexity, kComplexityRange.min, kComplexityRange.max);
}

// The re-set scale box of the image window.
inline constexpr int32_t kScaleFieldMin = -10, kScaleFieldMax = 10;

struct ScaleField {
    int32_t value = 0;
    int32_t step = 2;
    bool scaleEnabled = false;  // the "&Scale" button
};

// SpinEdit1Change: 1 and -1 become 0; the arrows step 2 from 0, else 1.
inline void scaleFieldChange(ScaleField& f, int32_t value) {
    value = std::clamp(value, kScaleFieldMin, kScaleFieldMax);
    if (value == 1 || value == -1) value = 0;
    f.value = value;
    f.step = value == 0 ? 2 : 1;
    f.scaleEnabled = value != 0;
}

} // namespace cw
