#pragma once
// The settings the main window and the image window hold for the engine:
// the palette selection, the effects and the rules a painter follows.
#include <array>
#include <cstdint>
#include <string>

#include "core/rect.h"

namespace cw {

// What the palette menu chose, and the merge settings it fills in.
struct PaletteSelection {
    int32_t paletteCode = 1;
    int32_t markerColour = 16776960;     // 0x00BBGGRR, as the design's values are
    std::string selectionCaption = "Skin: Fair";
    bool damperChecked = false;          // the image window's hidden Damper box
    bool damperOn = false;               // DamperOn
    int32_t strength = 0;                // the hidden strength box's number
    int32_t blendStrength = 1;
    int32_t pressure = 0;                // -5..0
};

// The effects bar, read at every pixel colouring.
struct EffectSettings {
    int32_t ambient = 0;      // -10..10
    int32_t intensity = 0;    // -10..10
    int32_t saturation = 0;   // -10..10
    std::array<bool, 5> lights{true, false, false, false, false};  // white, yellow, red, green, blue
    bool invertOn = false;
    // Every written colour keeps the lightness of the photo's own pixel.
    bool naturalLight = false;
};

// What the colouring of one pixel follows besides the palette and the
// effects, whoever paints.
struct PaintRules {
    bool skipSameCode = false;  // a pixel that already has the code is left as it is
    bool layered = false;       // merge with the working colour, not the photo's
};

} // namespace cw
