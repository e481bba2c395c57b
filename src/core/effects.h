#pragma once
// The effects bar (ambient light, intensity, saturation, light colours,
// Invert) and the merge settings: the image window's hidden Damper and
// strength boxes and its Pressure box.
#include <cstdint>

#include "core/colour_settings.h"
#include "core/palette_networks.h"

namespace cw {

inline constexpr int32_t kEffectMin = -10, kEffectMax = 10;  // the three track bars
inline constexpr int32_t kPressureMin = -5, kPressureMax = 0;  // SpinEdit2
inline constexpr int32_t kStrengthDigitMax = 9;                // the strength box counts up to 9
inline constexpr int32_t kBlendStrengthMin = 1;
inline constexpr int32_t kBlendStrengthMax = kStrengthDigitMax - kPressureMin;  // 14

// Lights, in the order of EffectSettings::lights.
inline constexpr int kLightWhite = 0, kLightYellow = 1, kLightRed = 2, kLightGreen = 3, kLightBlue = 4;

// True when any of the three track bars is off zero; the light flags alone change nothing.
inline bool effectsActive(const EffectSettings& fx) {
    return (fx.ambient | fx.intensity | fx.saturation) != 0;
}

// ApplyEffects(R, G, B, g): saturation, then intensity, then ambient light, on
// the raw palette channels (which may lie outside 0..255); the caller clamps.
// Track bar values outside -10..10 count as the nearest end.
Rgb applyEffects(Rgb raw, int32_t gray, const EffectSettings& fx);

// BlendStrength from the strength box and the pressure: the box's number
// held to 1..9, then raised by -pressure (pressure held to -5..0).
int32_t blendStrengthFor(int32_t strength, int32_t pressure);

// The strength box changed.
void strengthChange(PaletteSelection& sel);
// Writes the strength box; its change handler runs only when the number
// changes. Returns whether it ran.
bool setStrength(PaletteSelection& sel, int32_t strength);

// The Damper check box was clicked: DamperOn follows it.
void damperClick(PaletteSelection& sel);
// Sets the Damper check box; its click handler runs only when the state
// changes. Returns whether it ran.
bool setDamperChecked(PaletteSelection& sel, bool checked);

// The Pressure box takes `value` (held to -5..0) and the
// strength is recomputed.
void pressureChange(PaletteSelection& sel, int32_t value);

// The press rule, run by the image window's press after strengthChange: the
// Damper is checked when BlendStrength > 1 or the palette is Custom.
void damperPressRule(PaletteSelection& sel);


} // namespace cw
