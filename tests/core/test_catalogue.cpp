#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>
#include <string>

#include "core/bitmap.h"
#include "core/catalogue.h"
#include "core/effects.h"
#include "core/palette_networks.h"

using namespace cw;

namespace {

const PaletteMenuItem& item(std::string_view name) {
    for (const PaletteMenuItem& i : paletteMenu())
        if (i.name == name) return i;
    throw std::runtime_error("no item " + std::string(name));
}

std::string describe(const PaletteSelection& s) {
    return std::to_string(s.paletteCode) + " " + std::to_string(s.markerColour) + " " + s.selectionCaption + " d" +
           std::to_string(s.damperChecked) + std::to_string(s.damperOn) + " '" + s.strengthText + "' " +
           std::to_string(s.blendStrength) + " p" + std::to_string(s.pressure);
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
    const std::pair<const char*, const char*> rows[] = {  // kind code marker strength damper caption|selection
        {"Fair1", "0 1 16776960 1 0 &Fair [Red]|Skin: Fair"}, {"Greens1", "0 17 -1 3 1 &Greens|Make-up: Greens"},
        {"Sunriseset1", "0 7 8421376 1 0 S&un-rise/ set|Sky: Sun-rise [Sunset]"},
        {"Brown2", "0 11 65280 5 1 &Brown|Concrete: Brown"}, {"White1", "0 125 16711680 1 0 &White|Marble: White"},
        {"Sapphire1", "0 18 16711935 1 0 Sapphire/ Blue Lolite|Objects: Sapphire [Blue]"},
        {"Clear2", "1 99 0 1 0 Cle&ar|Clear"}, {"PickColour1", "2 88 0 1 1 PickColour|Custom"}};
    for (const auto& [name, want] : rows) {
        const PaletteMenuItem& i = item(name);
        EXPECT_EQ(std::to_string(int(i.kind)) + " " + std::to_string(i.code) + " " + std::to_string(i.marker) + " " +
                      std::string(i.strength) + " " + std::to_string(i.damper) + " " + std::string(i.caption) + "|" +
                      std::string(i.selectionCaption), want);
    }
    // Every entry counted, so a slip in any row shows in the totals.
    std::map<int32_t, int> codes, markers;
    std::map<std::string_view, int> strengths;
    std::set<std::string_view> names, selectionCaptions;
    int checked = 0;
    for (const PaletteMenuItem& i : paletteMenu()) {
        EXPECT_EQ(i.handler, std::string(i.name) + "Click");
        EXPECT_TRUE(names.insert(i.name).second && selectionCaptions.insert(i.selectionCaption).second) << i.name;
        EXPECT_LE(std::count(i.caption.begin(), i.caption.end(), '&'), 1) << i.caption;
        EXPECT_EQ(offeredInMenu(i, false), i.kind != PaletteItemKind::Clear) << i.name;
        EXPECT_TRUE(offeredInMenu(i, true)) << i.name;
        EXPECT_EQ(findPaletteItem(i.selectionCaption), &i);
        PaletteSelection sel, want;
        setDamperChecked(sel, !i.damper);  // so that the click has to change the box
        EXPECT_EQ(paletteItemClick(i, sel), i.kind != PaletteItemKind::PickColour) << i.name;
        if (i.kind == PaletteItemKind::PickColour) continue;
        want.damperChecked = want.damperOn = i.damper;
        want.strengthText = i.strength;
        want.blendStrength = blendStrengthFor(i.strength, 0);
        want.paletteCode = i.code, want.markerColour = i.marker, want.selectionCaption = i.selectionCaption;
        EXPECT_EQ(describe(sel), describe(want)) << i.name;
        if (i.kind != PaletteItemKind::Palette) continue;
        ++codes[i.code], ++markers[i.marker], ++strengths[i.strength];
        checked += i.damper;
        EXPECT_EQ(i.marker == kMarkerMerge, i.submenu == "Make-&up") << i.name;
        EXPECT_TRUE(paletteColourDirect(i.code, rgb(90, 90, 90), 0, i.marker)) << i.name;
    }
    EXPECT_EQ(codes, (std::map<int32_t, int>{{1, 4}, {2, 1}, {3, 1}, {4, 3}, {5, 1}, {6, 1}, {7, 2}, {8, 5},
                                             {9, 1}, {10, 1}, {11, 10}, {12, 6}, {13, 2}, {14, 2}, {16, 3}, {17, 2},
                                             {18, 2}, {19, 1}, {20, 1}, {21, 1}, {22, 1}, {23, 2}, {24, 4}, {25, 4},
                                             {27, 4}, {28, 2}, {125, 2}}));
    EXPECT_EQ(markers, (std::map<int32_t, int>{{0x0000FF, 7}, {0x008080, 6}, {0x00FF00, 6}, {0x00FFFF, 6},
                                               {0x800080, 7}, {0x808000, 7}, {0xFF0000, 5}, {0xFF00FF, 14},
                                               {0xFFFF00, 4}, {0xFFFFFF, 2}, {-1, 5}}));
    EXPECT_EQ(strengths, (std::map<std::string_view, int>{{"1", 49}, {"2", 16}, {"3", 3}, {"5", 1}}));
    EXPECT_EQ(checked, 41);
}

TEST(PaletteItemClick, SetsDamperStrengthCodeMarkerCaptionInThatOrder) {
    PaletteSelection sel;  // start-up: Skin: Fair, Damper off, strength "0"
    sel.pressure = -2;
    std::vector<std::pair<SelectionStep, std::string>> seen;
    ASSERT_TRUE(paletteItemClick(item("Blonde1"), sel, [&](SelectionStep s, const PaletteSelection& now) {
        seen.emplace_back(s, describe(now));
    }));
    // Each step sees the ones before it done and the ones after it not yet.
    using enum SelectionStep;
    EXPECT_EQ(seen, (std::vector<std::pair<SelectionStep, std::string>>{
                        {Damper, "1 16776960 Skin: Fair d11 '0' 1 p-2"}, {Strength, "1 16776960 Skin: Fair d11 '2' 4 p-2"},
                        {PaletteCode, "11 16776960 Skin: Fair d11 '2' 4 p-2"},
                        {MarkerColour, "11 8388736 Skin: Fair d11 '2' 4 p-2"},
                        {SelectionCaption, "11 8388736 Hair: Blonde d11 '2' 4 p-2"}}));
}

// The chosen colour keeps only 24 bits, so it never means Make-up (-1); a
// cancelled dialog changes nothing and reports no step.
TEST(PickColourClick, ConfirmedColourBecomesCustomCancelledChangesNothing) {
    const std::pair<std::optional<int32_t>, const char*> cases[] = {
        {0x123456, "88 1193046 Custom d11 '1' 1 p0"}, {0, "88 0 Custom d11 '1' 1 p0"},
        {-1, "88 16777215 Custom d11 '1' 1 p0"},      {int32_t(0xAB123456u), "88 1193046 Custom d11 '1' 1 p0"},
        {std::nullopt, "16 16711935 Objects: Light [Red] d11 '2' 2 p0"}};
    for (const auto& [chosen, want] : cases) {
        PaletteSelection sel;
        paletteItemClick(item("Pink1"), sel);
        int steps = 0;
        EXPECT_EQ(pickColourClick(chosen, sel, [&](SelectionStep, const PaletteSelection&) { ++steps; }),
                  chosen.has_value());
        EXPECT_EQ(describe(sel), want);
        EXPECT_EQ(steps, chosen ? 5 : 0);
    }
}

TEST(OriginalPaletteClick, PlainRestoreOnlyWhileEverySliderStandsAtZero) {
    struct Case { int32_t ambient, intensity, saturation; bool invertAndLights; int32_t want; };
    const Case cases[] = {{0, 0, 0, false, kCodeOriginal},      {0, 0, 0, true, kCodeOriginal},
                          {1, 0, 0, false, kCodeOriginalEffects}, {0, -1, 0, false, kCodeOriginalEffects},
                          {0, 0, 10, false, kCodeOriginalEffects}, {-10, 5, -3, false, kCodeOriginalEffects}};
    for (const Case& c : cases) {
        EffectSettings fx;
        fx.ambient = c.ambient, fx.intensity = c.intensity, fx.saturation = c.saturation;
        fx.invertOn = c.invertAndLights;
        if (c.invertAndLights) fx.lights = {false, true, true, true, true};
        PaletteSelection sel, want;
        paletteItemClick(item("Blonde1"), sel);
        paletteItemClick(item("Blonde1"), want);
        want.paletteCode = c.want, want.markerColour = 0x808080, want.selectionCaption = "Original: [Eraser]";
        originalPaletteClick(fx, sel);
        EXPECT_EQ(describe(sel), describe(want)) << c.ambient << " " << c.intensity << " " << c.saturation;
    }
}

TEST(FindPaletteItem, FindsNothingButAnExactSelectionCaption) {
    for (const char* none : {"", "sky: blue", "Sky: Blue ", "Sky:Blue", "Original: [Eraser]", "Sky"})
        EXPECT_EQ(findPaletteItem(none), nullptr) << '"' << none << '"';
}
