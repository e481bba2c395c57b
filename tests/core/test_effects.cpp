#include <gtest/gtest.h>

#include <climits>
#include <initializer_list>
#include <string>

#include "core/effects.h"
#include "document/tool_settings.h"

using namespace cw;

namespace {

EffectSettings fx(int32_t sat, int32_t inten, int32_t amb,
                  std::array<bool, 5> lights = {true, false, false, false, false}) {
    EffectSettings e;
    e.saturation = sat;
    e.intensity = inten;
    e.ambient = amb;
    e.lights = lights;
    return e;
}

} // namespace

TEST(ApplyEffects, WorkedExamplesAndTheEdgesOfEachStep) {
    struct Case {
        const char* what;
        Rgb raw;
        int32_t gray;
        EffectSettings settings;
        Rgb want;
    };
    const std::array<bool, 5> redOnly{false, false, true, false, false};
    const Case cases[] = {
        {"saturation +2 raises only the channel above gray", {100, 120, 140}, 120, fx(2, 0, 0), {100, 120, 168}},
        {"then intensity +3 from the raw headroom", {100, 120, 140}, 120, fx(2, 3, 0), {133, 153, 201}},
        {"then ambient -2 from the raw floor", {100, 120, 140}, 120, fx(2, 3, -2), {113, 133, 181}},
        {"ambient +5, red light only", {60, 60, 60}, 60, fx(0, 0, 5, redOnly), {155, 60, 60}},
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
        {"all sliders at zero pass anything unchanged", {-20, 300, 128}, 136,
         fx(0, 0, 0, {true, true, true, true, true}), {-20, 300, 128}},
        {"sliders beyond the track bars count as their ends", {100, 50, 50}, 66, fx(50, 0, 0), {200, 50, 50}},
    };
    for (const Case& c : cases) EXPECT_EQ(applyEffects(c.raw, c.gray, c.settings), c.want) << c.what;
}

TEST(ApplyEffects, AmbientLightReachesTheChannelsOfTheCheckedLights) {
    // headroom 195: d = 19 x 5 = 95.
    struct Case {
        std::array<bool, 5> lights;
        Rgb want;
    };
    const Case cases[] = {
        {{true, false, false, false, false}, {155, 155, 155}},   // white: all three
        {{false, true, false, false, false}, {155, 155, 60}},    // yellow: red and green
        {{false, false, true, false, false}, {155, 60, 60}},     // red
        {{false, false, false, true, false}, {60, 155, 60}},     // green
        {{false, false, false, false, true}, {60, 60, 155}},     // blue
        {{false, false, true, false, true}, {155, 60, 155}},     // red and blue
        {{false, false, false, false, false}, {60, 60, 60}},     // none
        {{true, true, true, true, true}, {155, 155, 155}},       // a channel moves once
    };
    for (const Case& c : cases) {
        EXPECT_EQ(applyEffects({60, 60, 60}, 60, fx(0, 0, 5, c.lights)), c.want)
            << c.lights[0] << c.lights[1] << c.lights[2] << c.lights[3] << c.lights[4];
    }
}

namespace {

struct StrengthCase {
    const char* text;
    int32_t pressure;
    int32_t want;
};

void expectStrengths(std::initializer_list<StrengthCase> cases) {
    for (const StrengthCase& c : cases) {
        EXPECT_EQ(blendStrengthFor(c.text, c.pressure), c.want) << '"' << c.text << "\" " << c.pressure;
        PaletteSelection sel;
        sel.pressure = c.pressure;
        sel.strengthText = c.text;
        strengthChange(sel);
        EXPECT_EQ(sel.blendStrength, c.want) << '"' << c.text << '"';
    }
}

} // namespace

// Text that is no whole number counts as 0, overlong digits as above 9, and
// pressure outside its box as the nearest end.
TEST(Edit2Change, BlendStrengthFromStrengthTextAndPressure) {
    expectStrengths({{"0", 0, 1}, {"1", 0, 1}, {"2", 0, 2}, {"5", -5, 10}, {"9", 0, 9}, {"9", -5, 14},
                     {"1", -5, 6}, {"10", 0, 9}, {"75", -1, 10}, {"-3", 0, 1}, {"", 0, 1}, {"abc", 0, 1},
                     {"4x", 0, 1}, {" 4", 0, 4}, {"+4", 0, 4}, {"99999999999999999999", 0, 9},
                     {"-99999999999999999999", 0, 1}, {"3", -7, 8}, {"3", 2, 3}, {"9", INT32_MIN, 14},
                     {"1", INT32_MAX, 1}});
}

TEST(Edit2Change, StrengthBoxAndPressureBoxRunItOnChange) {
    PaletteSelection sel;
    EXPECT_TRUE(setStrengthText(sel, "5"));
    EXPECT_EQ(sel.blendStrength, 5);
    pressureChange(sel, -5);
    EXPECT_EQ(sel.pressure, -5);
    EXPECT_EQ(sel.blendStrength, 10);
    pressureChange(sel, -9);  // the spin box stops at -5
    EXPECT_EQ(sel.pressure, -5);
    pressureChange(sel, 3);
    EXPECT_EQ(sel.pressure, 0);
    EXPECT_EQ(sel.blendStrength, 5);

    // Writing the text the box already holds fires no change.
    sel.blendStrength = 42;
    EXPECT_FALSE(setStrengthText(sel, "5"));
    EXPECT_EQ(sel.blendStrength, 42);
    EXPECT_TRUE(setStrengthText(sel, "2"));
    EXPECT_EQ(sel.blendStrength, 2);
}

TEST(DamperPressRule, ChecksTheDamperForStrengthAbove1OrCustom) {
    struct Case {
        int32_t blendStrength, code;
        bool want;
    };
    const Case cases[] = {
        {1, 1, false}, {2, 1, true}, {14, 6, true}, {1, 88, true}, {1, 99, false}, {1, 127, false}, {3, 88, true},
    };
    for (const Case& c : cases) {
        for (const bool before : {false, true}) {
            PaletteSelection sel;
            sel.damperChecked = sel.damperOn = before;
            sel.blendStrength = c.blendStrength;
            sel.paletteCode = c.code;
            damperPressRule(sel);
            EXPECT_EQ(sel.damperChecked, c.want) << c.blendStrength << " " << c.code;
            EXPECT_EQ(sel.damperOn, c.want) << "DamperOn follows the box";
        }
    }
}

TEST(DamperClick, TheClickHandlerRunsOnlyWhenTheBoxChanges) {
    PaletteSelection sel;
    EXPECT_TRUE(setDamperChecked(sel, true));
    EXPECT_TRUE(sel.damperOn);
    // A box already checked: setting it again is no click, DamperOn is not re-copied.
    sel.damperOn = false;
    EXPECT_FALSE(setDamperChecked(sel, true));
    EXPECT_FALSE(sel.damperOn);
    EXPECT_TRUE(setDamperChecked(sel, false));
    EXPECT_FALSE(sel.damperOn);
}

TEST(EffectsReset, RestoresTheDefaultsAndInteractivePaintOnly) {
    EffectSettings e = fx(-4, 7, 10, {false, true, false, true, true});
    e.invertOn = true;
    ToolSettings tools;
    tools.paintMode = kPaintMasked;
    tools.currentTool = kToolTouch;
    tools.layered = tools.overwrite = true;
    tools.scope = kScopeConnected;
    const ToolSettings toolsBefore = tools;

    resetEffects(e, tools);
    const EffectSettings defaults;
    EXPECT_EQ(e.ambient, 0);
    EXPECT_EQ(e.intensity, 0);
    EXPECT_EQ(e.saturation, 0);
    EXPECT_EQ(e.lights, defaults.lights);
    EXPECT_EQ(e.lights, (std::array<bool, 5>{true, false, false, false, false}));
    EXPECT_FALSE(e.invertOn);
    EXPECT_EQ(tools.paintMode, kPaintInteractive);
    EXPECT_EQ(tools.currentTool, toolsBefore.currentTool);
    EXPECT_EQ(tools.layered, toolsBefore.layered);
    EXPECT_EQ(tools.overwrite, toolsBefore.overwrite);
    EXPECT_EQ(tools.scope, toolsBefore.scope);
    EXPECT_FALSE(effectsActive(e));
}
