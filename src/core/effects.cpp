#include "core/effects.h"

#include <algorithm>

namespace cw {

Rgb applyEffects(Rgb raw, int32_t gray, const EffectSettings& fx) {
    const int32_t amb = std::clamp(fx.ambient, kEffectMin, kEffectMax);
    const int32_t inten = std::clamp(fx.intensity, kEffectMin, kEffectMax);
    const int32_t sat = std::clamp(fx.saturation, kEffectMin, kEffectMax);
    // Both come from the raw channels and serve every step below.
    const int32_t headroom = 255 - std::max({raw.r, raw.g, raw.b});
    const int32_t floor = std::min({raw.r, raw.g, raw.b});
    Rgb c = raw;

    if (sat != 0) {
        for (int32_t* ch : {&c.r, &c.g, &c.b}) {
            if (*ch <= gray) continue;
            *ch += (sat * 10 * *ch + 1) / 100;
            if (sat < 0 && *ch < floor) *ch = floor;
        }
    }
    if (inten != 0) {
        const bool light = c.r + c.g + c.b >= 381;
        const int32_t d = (light == (inten > 0) ? headroom / 10 : floor / 10) * inten;
        c.r += d;
        c.g += d;
        c.b += d;
    }
    if (amb != 0) {
        const int32_t d = (amb > 0 ? headroom / 10 : floor / 10) * amb;
        const auto& l = fx.lights;
        if (l[kLightWhite] || l[kLightYellow] || l[kLightRed]) c.r += d;
        if (l[kLightWhite] || l[kLightYellow] || l[kLightGreen]) c.g += d;
        if (l[kLightWhite] || l[kLightBlue]) c.b += d;
    }
    return c;
}

int32_t blendStrengthFor(int32_t strength, int32_t pressure) {
    return std::clamp(strength, kBlendStrengthMin, kStrengthDigitMax) - std::clamp(pressure, kPressureMin, kPressureMax);
}

void strengthChange(PaletteSelection& sel) { sel.blendStrength = blendStrengthFor(sel.strength, sel.pressure); }

bool setStrength(PaletteSelection& sel, int32_t strength) {
    if (sel.strength == strength) return false;
    sel.strength = strength;
    strengthChange(sel);
    return true;
}

void damperClick(PaletteSelection& sel) { sel.damperOn = sel.damperChecked; }

bool setDamperChecked(PaletteSelection& sel, bool checked) {
    if (sel.damperChecked == checked) return false;
    sel.damperChecked = checked;
    damperClick(sel);
    return true;
}

void pressureChange(PaletteSelection& sel, int32_t value) {
    sel.pressure = std::clamp(value, kPressureMin, kPressureMax);
    strengthChange(sel);
}

void damperPressRule(PaletteSelection& sel) {
    setDamperChecked(sel, sel.blendStrength > 1 || sel.paletteCode == kCodeCustom);
}

} // namespace cw
