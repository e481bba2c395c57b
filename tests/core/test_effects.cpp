#include <gtest/gtest.h>

#include <climits>

#include "core/effects.h"
#include "document/tool_settings.h"

using namespace cw;

namespace {

EffectSettings fx(int32_t sat, int32_t inten, int32_t amb, std::array<bool, 5> lights = {1, 0, 0, 0, 0}) {
    EffectSettings e;
    e.saturation = sat, e.intensity = inten, e.ambient = amb, e.lights = lights;
    return e;
}

} // namespace

TEST(ApplyEffects, WorkedExamplesAndTheEdgesOfEachStep) {
    struct Case { const char* what; Rgb raw; int32_t gray; EffectSettings settings; Rgb want; };
    const Case cases[] = {
        {"saturation +2 raises only the channel above gray", {100, 120, 140}, 120, fx(2, 0, 0), {100, 120, 168}},
        {"then intensity +3 from the raw headroom", {100, 120, 140}, 120, fx(2, 3, 0), {133, 153, 201}},
        {"then ambient -2 from the raw floor", {100, 120, 140}, 120, fx(2, 3, -2), {113, 133, 181}},
        {"saturation -10 falls to 1, then up to the floor", {200, 100, 50}, 100, fx(-10, 0, 0), {50, 100, 50}},
        {"saturation -1 truncates toward zero", {150, 100, 50}, 100, fx(-1, 0, 0), {136, 100, 50}},
        {"saturation +10 doubles", {150, 100, 50}, 100, fx(10, 0, 0), {300, 100, 50}},
        {"a channel equal to gray is left alone", {100, 100, 100}, 100, fx(10, 0, 0), {100, 100, 100}},
        // The light/dark split reads the sum after saturation (370 -> 397),
        // the step the raw headroom 115 (not the saturated 101).
        {"intensity splits on the saturated sum", {100, 130, 140}, 123, fx(1, 1, 0), {111, 154, 165}},
        {"without saturation the same colour is dark", {100, 130, 140}, 123, fx(0, 1, 0), {110, 140, 150}},
        {"dark colour, intensity down: headroom", {50, 60, 70}, 60, fx(0, -2, 0), {14, 24, 34}},
        {"dark colour, intensity up: floor", {50, 60, 70}, 60, fx(0, 2, 0), {60, 70, 80}},
        {"light colour, intensity down: floor", {150, 160, 170}, 160, fx(0, -1, 0), {135, 145, 155}},
        {"light colour, intensity up: headroom", {150, 160, 170}, 160, fx(0, 1, 0), {158, 168, 178}},
        {"sum exactly 381 counts as light", {127, 127, 127}, 127, fx(0, 1, 0), {139, 139, 139}},
        // headroom 255 - 300 = -45: -45 div 10 = -4, not -5.
        {"negative headroom divides toward zero", {300, 100, 100}, 166, fx(0, 2, 0), {292, 92, 92}},
        {"negative floor divides toward zero", {-25, 100, 200}, 91, fx(0, 0, -3), {-19, 106, 206}},
        {"all sliders at zero pass anything", {-20, 300, 128}, 136, fx(0, 0, 0, {1, 1, 1, 1, 1}), {-20, 300, 128}},
        {"sliders beyond the track bars count as their ends", {100, 50, 50}, 66, fx(50, 0, 0), {200, 50, 50}},
        {"intensity beyond its end", {50, 60, 70}, 60, fx(0, INT32_MIN, 0), {-130, -120, -110}},
        // Ambient +5 at headroom 195 moves the lit channels by 95.
        {"white light: all three", {60, 60, 60}, 60, fx(0, 0, 5), {155, 155, 155}},
        {"yellow light: red and green", {60, 60, 60}, 60, fx(0, 0, 5, {0, 1, 0, 0, 0}), {155, 155, 60}},
        {"red light", {60, 60, 60}, 60, fx(0, 0, 5, {0, 0, 1, 0, 0}), {155, 60, 60}},
        {"green light", {60, 60, 60}, 60, fx(0, 0, 5, {0, 0, 0, 1, 0}), {60, 155, 60}},
        {"blue light", {60, 60, 60}, 60, fx(0, 0, 5, {0, 0, 0, 0, 1}), {60, 60, 155}},
        {"red and blue light", {60, 60, 60}, 60, fx(0, 0, 5, {0, 0, 1, 0, 1}), {155, 60, 155}},
        {"no light", {60, 60, 60}, 60, fx(0, 0, 5, {0, 0, 0, 0, 0}), {60, 60, 60}},
        {"every light: a channel moves once", {60, 60, 60}, 60, fx(0, 0, 5, {1, 1, 1, 1, 1}), {155, 155, 155}},
    };
    for (const Case& c : cases) EXPECT_EQ(applyEffects(c.raw, c.gray, c.settings), c.want) << c.what;
}

// Text that is no whole number counts as 0, overlong digits as above 9, and
// pressure outside its box as the nearest end.
TEST(Edit2Change, BlendStrengthFromStrengthTextAndPressure) {
    struct Case { const char* text; int32_t pressure, want; };
    const Case cases[] = {{"0", 0, 1}, {"1", 0, 1}, {"2", 0, 2}, {"5", -5, 10}, {"9", 0, 9}, {"9", -5, 14}, {"1", -5, 6},
                          {"10", 0, 9}, {"75", -1, 10}, {"-3", 0, 1}, {"", 0, 1}, {"abc", 0, 1}, {"4x", 0, 1}, {" 4", 0, 4},
                          {"+4", 0, 4}, {"99999999999999999999", 0, 9}, {"-99999999999999999999", 0, 1}, {"3", -7, 8},
                          {"3", 2, 3}, {"9", INT32_MIN, 14}, {"1", INT32_MAX, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(blendStrengthFor(c.text, c.pressure), c.want) << '"' << c.text << "\" " << c.pressure;
        PaletteSelection sel;
        sel.strengthText = "7";
        pressureChange(sel, c.pressure);
        EXPECT_EQ(sel.blendStrength, blendStrengthFor("7", c.pressure));
        EXPECT_TRUE(setStrengthText(sel, c.text));
        EXPECT_EQ(sel.blendStrength, c.want) << '"' << c.text << '"';
        EXPECT_EQ(sel.pressure, std::clamp(c.pressure, -5, 0));
        sel.blendStrength = 42;  // writing the text the box already holds fires no change
        EXPECT_FALSE(setStrengthText(sel, c.text));
        EXPECT_EQ(sel.blendStrength, 42);
    }
}

TEST(DamperPressRule, ChecksTheDamperForStrengthAbove1OrCustomOnlyWhenTheBoxChanges) {
    struct Case { int32_t blendStrength, code; bool want; };
    const Case cases[] = {{1, 1, false}, {2, 1, true}, {14, 6, true}, {1, 88, true}, {1, 99, false}, {3, 88, true}};
    for (const Case& c : cases)
        for (const bool before : {false, true}) {
            PaletteSelection sel;
            sel.damperChecked = before, sel.damperOn = !before;  // re-copied from the box only by a click
            sel.blendStrength = c.blendStrength, sel.paletteCode = c.code;
            damperPressRule(sel);
            EXPECT_EQ(sel.damperChecked, c.want) << c.blendStrength << " " << c.code;
            EXPECT_EQ(sel.damperOn, c.want == before ? !before : c.want) << c.blendStrength << " " << c.code;
        }
}

TEST(EffectsReset, RestoresTheDefaultsAndInteractivePaintOnly) {
    EffectSettings e = fx(-4, 7, 10, {false, true, false, true, true});
    e.invertOn = true;
    ToolSettings tools;
    tools.paintMode = kPaintMasked, tools.currentTool = kToolTouch, tools.scope = kScopeConnected;
    tools.layered = tools.overwrite = true;
    EXPECT_TRUE(effectsActive(e));
    resetEffects(e, tools);
    EXPECT_EQ(std::make_tuple(e.ambient, e.intensity, e.saturation, e.invertOn, e.lights),
              std::make_tuple(0, 0, 0, false, std::array<bool, 5>{true, false, false, false, false}));
    EXPECT_EQ(std::make_tuple(tools.paintMode, tools.currentTool, tools.layered, tools.overwrite, tools.scope),
              std::make_tuple(kPaintInteractive, kToolTouch, true, true, kScopeConnected));
    EXPECT_FALSE(effectsActive(e));
}
