#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "core/bitmap.h"
#include "core/catalogue.h"
#include "core/effects.h"
#include "core/palette_networks.h"
#include "document/tool_settings.h"

using namespace cw;

namespace {

std::string describe(const PaletteSelection& s) {
    return std::to_string(s.paletteCode) + " " + std::to_string(s.markerColour) + " " + s.selectionCaption + " d" +
           std::to_string(s.damperChecked) + std::to_string(s.damperOn) + " '" + std::to_string(s.strength) + "' " +
           std::to_string(s.blendStrength) + " p" + std::to_string(s.pressure);
}

EffectSettings fx(int sat, int inten, int amb, std::array<bool, 5> lights = {1, 0, 0, 0, 0}, bool inv = false) {
    return {.ambient = amb, .intensity = inten, .saturation = sat, .lights = lights, .invertOn = inv};
}

} // namespace

TEST(PaletteCatalogue, MenuHoldsEverySubmenuInOrderWithItsBoldDefault) {
    const std::vector<std::string> layout = {
        "S&kin: Fair1* Pale1 Dark1", "&Hair: Light1 Darkblackbrown1* Blonde1 Golden1 Gray1 Red1",
        "&Pupil [eye]: Brown1* RedBrown2 Gray2 Blue1 Green1 Gold1", "Make-&up: Reds1 Greens1 Blues1 GoldYellow1 SilverGray1",
        "&Earth: Light2* Dark2", "&Bush [Greens]: Autumn1 Winter1 Spring1 Summer1 Forest1*",
        "&Water: OceanBlue1* SeaBlue1 AquaBlue1 HarbourGreen1 SeaGreen1 SunsetYellow1 Muddy1 Clear1",
        "&Fire: BrightFire1* ButaneFlame1 ForestFire1", "Sk&y: SkyBlue1* TealBlue1 Sunriseset1 DuskDawnGold1 CloudyGray1",
        "&Rock/ Concrete: Brown2 BrownGreen1 MountainGrayBlue1*", "W&ood: LightBrown1* DarkBrown1 GoldenBrown1 RedBrown1",
        "&Marble: Red2 Green2 Blue2 White1*",
        "&Other Objects: RubyRed1* Pink1 Gold2 CitrineYellow1 MandarineFireOpal1 GreenOpal1 EmraldGreen1 Aquamarine1 "
        "AmethystGrapeGarnet1 Sapphire1 BlueQartz1",
        "Multi-co&loured Fabric: BlueGreenYellow1* PurpleYellow1 RedYellow1 OrangeBlue1", ": Clear2 PickColour1"};
    std::vector<std::string> menus;
    size_t total = 0;
    for (const PaletteSubmenu& m : paletteSubmenus()) {
        menus.push_back(std::string(m.caption) + ":");
        for (const PaletteMenuItem& i : m.items) menus.back() += " " + std::string(i.name) + (i.isDefault ? "*" : "");
        for (const PaletteMenuItem& i : m.items) EXPECT_EQ(i.submenu, m.caption);
        total += m.items.size();
    }
    EXPECT_EQ(menus, layout);
    EXPECT_EQ(total, paletteMenu().size());
}

TEST(PaletteCatalogue, SampleRowsAndTheCatalogueAsAWholeCarryTheirSettings) {
    const std::map<std::string_view, std::string> rows = {  // kind code marker strength damper caption|selection
        {"Fair1", "0 1 16776960 1 0 &Fair [Red]|Skin: Fair"}, {"Greens1", "0 17 -1 3 1 &Greens|Make-up: Greens"},
        {"Sunriseset1", "0 7 8421376 1 0 S&un-rise/ set|Sky: Sun-rise [Sunset]"},
        {"Brown2", "0 11 65280 5 1 &Brown|Concrete: Brown"}, {"White1", "0 125 16711680 1 0 &White|Marble: White"},
        {"Sapphire1", "0 18 16711935 1 0 Sapphire/ Blue Lolite|Objects: Sapphire [Blue]"},
        {"Clear2", "1 99 0 1 0 Cle&ar|Clear"}, {"PickColour1", "2 88 0 1 1 PickColour|Custom"}};
    // Every entry counted, so a slip in any row shows in the totals.
    std::map<int32_t, int> codes, markers;
    std::map<int32_t, int> strengths;
    std::set<std::string_view> names, selectionCaptions;
    int checked = 0;
    for (const PaletteMenuItem& i : paletteMenu()) {
        const std::string row = std::to_string(int(i.kind)) + " " + std::to_string(i.code) + " " + std::to_string(i.marker) +
                                " " + std::to_string(i.strength) + " " + std::to_string(i.damper) + " " + std::string(i.caption);
        if (rows.contains(i.name)) { EXPECT_EQ(row + "|" + std::string(i.selectionCaption), rows.at(i.name)); }
        EXPECT_EQ(i.handler, std::string(i.name) + "Click");
        EXPECT_TRUE(names.insert(i.name).second && selectionCaptions.insert(i.selectionCaption).second) << i.name;
        EXPECT_LE(std::count(i.caption.begin(), i.caption.end(), '&'), 1) << i.caption;
        EXPECT_EQ(offeredInMenu(i, false), i.kind != PaletteItemKind::Clear) << i.name;
        EXPECT_TRUE(offeredInMenu(i, true)) << i.name;
        EXPECT_EQ(findPaletteItem(i.selectionCaption), &i);
        PaletteSelection sel;
        setDamperChecked(sel, !i.damper);  // so that the click has to change the box
        EXPECT_EQ(paletteItemClick(i, sel), i.kind != PaletteItemKind::PickColour) << i.name;
        if (i.kind == PaletteItemKind::PickColour) continue;
        const PaletteSelection want{.paletteCode = i.code, .markerColour = i.marker,
            .selectionCaption = std::string(i.selectionCaption), .damperChecked = i.damper, .damperOn = i.damper,
            .strength = i.strength, .blendStrength = blendStrengthFor(i.strength, 0)};
        EXPECT_EQ(describe(sel), describe(want)) << i.name;
        if (i.kind != PaletteItemKind::Palette) continue;
        ++codes[i.code], ++markers[i.marker], ++strengths[i.strength];
        checked += i.damper;
        EXPECT_EQ(i.marker == kMarkerMerge, i.submenu == "Make-&up") << i.name;
        EXPECT_TRUE(paletteColourDirect(i.code, rgb(90, 90, 90), 0, i.marker)) << i.name;
    }
    EXPECT_EQ(codes, (std::map<int32_t, int>{
        {1, 4}, {2, 1}, {3, 1}, {4, 3}, {5, 1}, {6, 1}, {7, 2}, {8, 5}, {9, 1}, {10, 1}, {11, 10}, {12, 6}, {13, 2},
        {14, 2}, {16, 3}, {17, 2}, {18, 2}, {19, 1}, {20, 1}, {21, 1}, {22, 1}, {23, 2}, {24, 4}, {25, 4}, {27, 4}, {28, 2},
        {125, 2}}));
    EXPECT_EQ(markers, (std::map<int32_t, int>{{0x0000FF, 7}, {0x008080, 6}, {0x00FF00, 6}, {0x00FFFF, 6}, {0x800080, 7},
        {0x808000, 7}, {0xFF0000, 5}, {0xFF00FF, 14}, {0xFFFF00, 4}, {0xFFFFFF, 2}, {-1, 5}}));
    EXPECT_EQ(strengths, (std::map<int32_t, int>{{1, 49}, {2, 16}, {3, 3}, {5, 1}}));
    EXPECT_EQ(checked, 41);
    for (const char* none : {"", "sky: blue", "Sky: Blue ", "Sky:Blue", "Original: [Eraser]", "Sky"})
        EXPECT_EQ(findPaletteItem(none), nullptr) << '"' << none << '"';
}

TEST(PaletteItemClick, SetsDamperStrengthCodeMarkerCaptionInThatOrder) {
    PaletteSelection sel;  // start-up: Skin: Fair, Damper off, strength 0
    sel.pressure = -2;
    std::vector<std::pair<SelectionStep, std::string>> seen;
    ASSERT_TRUE(paletteItemClick(*findPaletteItem("Hair: Blonde"), sel,
        [&](SelectionStep s, const PaletteSelection& now) { seen.emplace_back(s, describe(now)); }));
    // Each step sees the ones before it done and the ones after it not yet.
    using enum SelectionStep;
    EXPECT_EQ(seen, (std::vector<std::pair<SelectionStep, std::string>>{
                        {Damper, "1 16776960 Skin: Fair d11 '0' 1 p-2"}, {Strength, "1 16776960 Skin: Fair d11 '2' 4 p-2"},
                        {PaletteCode, "11 16776960 Skin: Fair d11 '2' 4 p-2"}, {MarkerColour, "11 8388736 Skin: Fair d11 '2' 4 p-2"},
                        {SelectionCaption, "11 8388736 Hair: Blonde d11 '2' 4 p-2"}}));
}

// After Objects: Light [Red]: the chosen colour keeps only 24 bits, so it never means Make-up (-1), and a cancelled
// dialog changes nothing; Original restores plainly only while every slider stands at 0, and keeps the rest.
TEST(PickColourAndOriginalClick, SetTheirSelection) {
    const std::string pink = " d11 '2' 2 p0";
    const EffectSettings allLights = fx(0, 0, 0, {1, 1, 1, 1, 1}, true);
    const std::pair<std::function<bool(PaletteSelection&, const SelectionObserver&)>, std::string> cases[] = {
        {[](auto& s, auto& o) { return pickColourClick(0x123456, s, o); }, "88 1193046 Custom d11 '1' 1 p0"},
        {[](auto& s, auto& o) { return pickColourClick(0, s, o); }, "88 0 Custom d11 '1' 1 p0"},
        {[](auto& s, auto& o) { return pickColourClick(-1, s, o); }, "88 16777215 Custom d11 '1' 1 p0"},
        {[](auto& s, auto& o) { return pickColourClick(int32_t(0xAB123456u), s, o); }, "88 1193046 Custom d11 '1' 1 p0"},
        {[](auto& s, auto& o) { return pickColourClick(std::nullopt, s, o); }, "16 16711935 Objects: Light [Red]" + pink},
        {[&](auto& s, auto& o) { return originalPaletteClick(allLights, s, o), true; }, "127 8421504 Original: [Eraser]" + pink},
        {[](auto& s, auto& o) { return originalPaletteClick(fx(0, 0, 1), s, o), true; }, "124 8421504 Original: [Eraser]" + pink},
        {[](auto& s, auto& o) { return originalPaletteClick(fx(0, -1, 0), s, o), true; }, "124 8421504 Original: [Eraser]" + pink},
        {[](auto& s, auto& o) { return originalPaletteClick(fx(10, 0, 0), s, o), true; }, "124 8421504 Original: [Eraser]" + pink}};
    for (const auto& [click, want] : cases) {
        PaletteSelection sel;
        paletteItemClick(*findPaletteItem("Objects: Light [Red]"), sel);
        int steps = 0;
        EXPECT_EQ(click(sel, [&](SelectionStep, const PaletteSelection&) { ++steps; }), want.find("Light") == std::string::npos);
        EXPECT_EQ(describe(sel), want);
        EXPECT_EQ(steps, want.starts_with("88") ? 5 : want.starts_with("12") ? 3 : 0);
    }
}

// Saturation raises only channels above gray (-10 falls to 1, then up to the floor; -1 truncates toward zero; +10
// doubles), then intensity and ambient step by a tenth of the raw headroom or floor, which divides toward zero.
// Intensity splits light from dark on the saturated sum, 381 counting as light. Sliders past the ends count as them.
TEST(ApplyEffects, WorkedExamplesAndTheEdgesOfEachStep) {
    struct Case { Rgb raw; int32_t gray; EffectSettings settings; Rgb want; };
    const Case cases[] = {
        {{100, 120, 140}, 120, fx(2, 0, 0), {100, 120, 168}}, {{100, 120, 140}, 120, fx(2, 3, 0), {133, 153, 201}},
        {{100, 120, 140}, 120, fx(2, 3, -2), {113, 133, 181}}, {{200, 100, 50}, 100, fx(-10, 0, 0), {50, 100, 50}},
        {{150, 100, 50}, 100, fx(-1, 0, 0), {136, 100, 50}}, {{150, 100, 50}, 100, fx(10, 0, 0), {300, 100, 50}},
        {{100, 100, 100}, 100, fx(10, 0, 0), {100, 100, 100}}, {{100, 130, 140}, 123, fx(1, 1, 0), {111, 154, 165}},
        {{100, 130, 140}, 123, fx(0, 1, 0), {110, 140, 150}}, {{50, 60, 70}, 60, fx(0, -2, 0), {14, 24, 34}},
        {{50, 60, 70}, 60, fx(0, 2, 0), {60, 70, 80}}, {{150, 160, 170}, 160, fx(0, -1, 0), {135, 145, 155}},
        {{150, 160, 170}, 160, fx(0, 1, 0), {158, 168, 178}}, {{111, 135, 135}, 127, fx(0, 1, 0), {123, 147, 147}},
        {{300, 100, 100}, 166, fx(0, 2, 0), {292, 92, 92}}, {{-25, 100, 200}, 91, fx(0, 0, -3), {-19, 106, 206}},
        {{-20, 300, 128}, 136, fx(0, 0, 0, {1, 1, 1, 1, 1}), {-20, 300, 128}}, {{100, 50, 50}, 66, fx(50, 0, 0), {200, 50, 50}},
        {{50, 60, 70}, 60, fx(0, INT32_MIN, 0), {-130, -120, -110}}};
    for (const Case& c : cases) EXPECT_EQ(applyEffects(c.raw, c.gray, c.settings), c.want) << &c - cases;
    // Ambient +5 at headroom 195 moves the lit channels by 95 (white, yellow, red, green, blue).
    const std::pair<std::array<bool, 5>, Rgb> lit[] = {
        {{1, 0, 0, 0, 0}, {155, 155, 155}}, {{0, 1, 0, 0, 0}, {155, 155, 60}}, {{0, 0, 1, 0, 0}, {155, 60, 60}},
        {{0, 0, 0, 1, 0}, {60, 155, 60}}, {{0, 0, 0, 0, 1}, {60, 60, 155}}, {{0, 0, 1, 0, 1}, {155, 60, 155}},
        {{0, 0, 0, 0, 0}, {60, 60, 60}}, {{1, 1, 1, 1, 1}, {155, 155, 155}}};
    for (const auto& [lights, want] : lit) EXPECT_EQ(applyEffects({60, 60, 60}, 60, fx(0, 0, 5, lights)), want);
}

// The box's number and the pressure each held to their box's range.
TEST(Edit2Change, BlendStrengthFromStrengthAndPressure) {
    struct Case { int32_t strength, pressure, want; };
    const Case cases[] = {{0, 0, 1}, {1, 0, 1}, {2, 0, 2}, {5, -5, 10}, {9, 0, 9}, {9, -5, 14}, {1, -5, 6}, {10, 0, 9},
                          {75, -1, 10}, {-3, 0, 1}, {3, -7, 8}, {3, 2, 3}, {9, INT32_MIN, 14}, {1, INT32_MAX, 1},
                          {INT32_MIN, 0, 1}, {INT32_MAX, 0, 9}};
    for (const Case& c : cases) {
        EXPECT_EQ(blendStrengthFor(c.strength, c.pressure), c.want) << c.strength << ' ' << c.pressure;
        PaletteSelection sel;  // the boxes run the handler on change only
        sel.strength = 7;
        pressureChange(sel, c.pressure);
        EXPECT_EQ(std::make_pair(sel.blendStrength, sel.pressure), std::make_pair(blendStrengthFor(7, c.pressure), std::clamp(c.pressure, -5, 0)));
        EXPECT_TRUE(setStrength(sel, c.strength));
        EXPECT_EQ(std::exchange(sel.blendStrength, 42), c.want) << c.strength;
        EXPECT_FALSE(setStrength(sel, c.strength) || sel.blendStrength != 42);
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
            EXPECT_EQ(std::make_pair(sel.damperChecked, sel.damperOn), std::make_pair(c.want, c.want == before ? !before : c.want))
                << c.blendStrength << " " << c.code;
        }
}

TEST(EffectsReset, RestoresTheDefaultsAndInteractivePaintOnly) {
    EffectSettings e = fx(-4, 7, 10, {false, true, false, true, true}, true);
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

// The palette menu's swatches: gray levels 0 to 255 evenly across, each the colour the palette gives an uncoloured
// gray pixel, clamped; nothing for the codes whose colour is not a function of the gray level.
TEST(PaletteRamp, SpreadsTheGrayLevelsAcrossAsAGrayPixelIsColoured) {
    for (int32_t code : {1, 6, 13, 28, kCodeGray, 0, kCodeCustom, kCodeClear, kCodeOriginalEffects, kCodeOriginal}) {
        const std::vector<uint32_t> ramp = paletteRamp(code, 48);
        ASSERT_EQ(ramp.size(), code == kCodeGray || (code > 0 && code < kCodeCustom) ? 48u : 0u) << code;
        for (uint32_t x = 0; x < ramp.size(); ++x) {
            const uint32_t g = x * 255 / 47;
            const Rgb c = paletteColourDirect(code, rgb(g, g, g), rgb(g, g, g), 0)->rgb;
            auto held = [](int32_t v) { return uint32_t(std::clamp(v, 0, 255)); };
            EXPECT_EQ(ramp[x], rgb(held(c.r), held(c.g), held(c.b))) << code << " at " << x;
        }
    }
}
