#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/bitmap.h"
#include "core/catalogue.h"
#include "core/effects.h"
#include "core/palette_networks.h"

using namespace cw;

namespace {

// The menu as the palette menu shows it: submenu caption, then its items by
// name, the bold default marked with '*'.
const std::vector<std::pair<std::string, std::string>> kMenuLayout = {
    {"S&kin", "Fair1* Pale1 Dark1"},
    {"&Hair", "Light1 Darkblackbrown1* Blonde1 Golden1 Gray1 Red1"},
    {"&Pupil [eye]", "Brown1* RedBrown2 Gray2 Blue1 Green1 Gold1"},
    {"Make-&up", "Reds1 Greens1 Blues1 GoldYellow1 SilverGray1"},
    {"&Earth", "Light2* Dark2"},
    {"&Bush [Greens]", "Autumn1 Winter1 Spring1 Summer1 Forest1*"},
    {"&Water", "OceanBlue1* SeaBlue1 AquaBlue1 HarbourGreen1 SeaGreen1 SunsetYellow1 Muddy1 Clear1"},
    {"&Fire", "BrightFire1* ButaneFlame1 ForestFire1"},
    {"Sk&y", "SkyBlue1* TealBlue1 Sunriseset1 DuskDawnGold1 CloudyGray1"},
    {"&Rock/ Concrete", "Brown2 BrownGreen1 MountainGrayBlue1*"},
    {"W&ood", "LightBrown1* DarkBrown1 GoldenBrown1 RedBrown1"},
    {"&Marble", "Red2 Green2 Blue2 White1*"},
    {"&Other Objects",
     "RubyRed1* Pink1 Gold2 CitrineYellow1 MandarineFireOpal1 GreenOpal1 EmraldGreen1 Aquamarine1 "
     "AmethystGrapeGarnet1 Sapphire1 BlueQartz1"},
    {"Multi-co&loured Fabric", "BlueGreenYellow1* PurpleYellow1 RedYellow1 OrangeBlue1"},
    {"", "Clear2 PickColour1"},
};

struct Row {
    const char* name;
    const char* caption;
    const char* selectionCaption;
    int32_t code;
    int32_t marker;
    const char* strength;
    bool damper;
};

// A spread of rows, each checked in every field: first and last of the
// menu, every strength digit, every marker colour, both Damper states,
// captions whose accelerator is not the first letter or missing.
const Row kSampleRows[] = {
    {"Fair1", "&Fair [Red]", "Skin: Fair", 1, 0xFFFF00, "1", false},
    {"Darkblackbrown1", "&Dark [black/ brown]", "Hair: Dark [Brown]", 27, 0x800080, "1", true},
    {"Blonde1", "&Blonde", "Hair: Blonde", 11, 0x800080, "2", true},
    {"Golden1", "G&olden", "Hair: Golden", 11, 0x800080, "1", true},
    {"Gray1", "&Gray", "Hair: Gray", 8, 0x800080, "2", true},
    {"Gray2", "&Gray", "Eye: Gray", 8, 0x008080, "2", true},
    {"Gold1", "G&old", "Eye: Gold [Brown]", 4, 0x008080, "2", true},
    {"Greens1", "&Greens", "Make-up: Greens", 17, -1, "3", true},
    {"SilverGray1", "&Silver/ Gray", "Make-up: Silver/ Gray", 125, -1, "1", true},
    {"Light2", "&Light", "Earth: Light", 12, 0x00FF00, "1", false},
    {"Forest1", "&Forest", "Greens: Forest", 2, 0x00FFFF, "1", false},
    {"SunsetYellow1", "Sunset &Yellow", "Water: Sunset [Yellow]", 11, 0x0000FF, "3", true},
    {"Clear1", "&Clear", "Water: Clear", 8, 0x808000, "1", true},
    {"ForestFire1", "F&orest Fire", "Fire: Forest", 28, 0xFFFFFF, "1", true},
    {"SkyBlue1", "&Sky Blue", "Sky: Blue", 6, 0x808000, "1", true},
    {"Sunriseset1", "S&un-rise/ set", "Sky: Sun-rise [Sunset]", 7, 0x808000, "1", false},
    {"Brown2", "&Brown", "Concrete: Brown", 11, 0x00FF00, "5", true},
    {"DarkBrown1", "&Dark Brown", "Wood: Dark [Brown]", 27, 0xFFFF00, "1", false},
    {"White1", "&White", "Marble: White", 125, 0xFF0000, "1", false},
    {"Pink1", "&Pink", "Objects: Light [Red]", 16, 0xFF00FF, "2", true},
    {"Sapphire1", "Sapphire/ Blue Lolite", "Objects: Sapphire [Blue]", 18, 0xFF00FF, "1", false},
    {"BlueQartz1", "Blue &Qartz", "Objects: Blue [Qartz]", 21, 0xFF00FF, "1", false},
    {"PurpleYellow1", "&PurpleYellow", "Multitone: Purple [Yellow]", 14, 0xFF0000, "2", true},
    {"OrangeBlue1", "&OrangeBlue", "Multitone: Orange [Blue]", 7, 0x808000, "1", true},
};

const PaletteMenuItem& item(std::string_view name) {
    for (const PaletteMenuItem& i : paletteMenu())
        if (i.name == name) return i;
    throw std::runtime_error("no item " + std::string(name));
}

void expectSameSelection(const PaletteSelection& a, const PaletteSelection& b) {
    EXPECT_EQ(a.paletteCode, b.paletteCode);
    EXPECT_EQ(a.markerColour, b.markerColour);
    EXPECT_EQ(a.selectionCaption, b.selectionCaption);
    EXPECT_EQ(a.damperChecked, b.damperChecked);
    EXPECT_EQ(a.damperOn, b.damperOn);
    EXPECT_EQ(a.strengthText, b.strengthText);
    EXPECT_EQ(a.blendStrength, b.blendStrength);
    EXPECT_EQ(a.pressure, b.pressure);
}

struct Snapshot {
    SelectionStep step;
    PaletteSelection state;
};

} // namespace

TEST(PaletteCatalogue, MenuHasEverySubmenuAndItemInOrderWithItsDefault) {
    const std::vector<PaletteSubmenu> menus = paletteSubmenus();
    ASSERT_EQ(menus.size(), kMenuLayout.size());
    size_t total = 0;
    for (size_t m = 0; m < menus.size(); ++m) {
        EXPECT_EQ(menus[m].caption, kMenuLayout[m].first);
        std::ostringstream names;
        for (const PaletteMenuItem& i : menus[m].items) {
            names << (names.tellp() ? " " : "") << i.name << (i.isDefault ? "*" : "");
            EXPECT_EQ(i.submenu, menus[m].caption);
        }
        EXPECT_EQ(names.str(), kMenuLayout[m].second) << kMenuLayout[m].first;
        total += menus[m].items.size();
    }
    EXPECT_EQ(total, paletteMenu().size());
    EXPECT_EQ(total, 71u);  // 69 palettes, Clear, PickColour
}

TEST(PaletteCatalogue, SampleRowsCarryExactlyTheirSettings) {
    for (const Row& r : kSampleRows) {
        const PaletteMenuItem& i = item(r.name);
        EXPECT_EQ(i.kind, PaletteItemKind::Palette) << r.name;
        EXPECT_EQ(i.caption, r.caption) << r.name;
        EXPECT_EQ(i.selectionCaption, r.selectionCaption) << r.name;
        EXPECT_EQ(i.code, r.code) << r.name;
        EXPECT_EQ(i.marker, r.marker) << r.name;
        EXPECT_EQ(i.strength, r.strength) << r.name;
        EXPECT_EQ(i.damper, r.damper) << r.name;
    }
}

TEST(PaletteCatalogue, SettingsAcrossTheCatalogueAddUp) {
    std::map<int32_t, int> codes, markers;
    std::map<std::string_view, int> strengths;
    std::set<std::string_view> names, selectionCaptions;
    int checked = 0;
    for (const PaletteMenuItem& i : paletteMenu()) {
        EXPECT_EQ(i.handler, std::string(i.name) + "Click");
        EXPECT_TRUE(names.insert(i.name).second) << i.name;
        EXPECT_TRUE(selectionCaptions.insert(i.selectionCaption).second) << i.selectionCaption;
        EXPECT_LE(std::count(i.caption.begin(), i.caption.end(), '&'), 1) << i.caption;
        if (i.kind != PaletteItemKind::Palette) continue;
        ++codes[i.code];
        ++markers[i.marker];
        ++strengths[i.strength];
        checked += i.damper;
        // Make-up and only Make-up merges through the marker.
        EXPECT_EQ(i.marker == kMarkerMerge, i.submenu == "Make-&up") << i.name;
        // Every code has a colour function.
        EXPECT_TRUE(paletteColourDirect(i.code, rgb(90, 90, 90), 0, i.marker)) << i.name;
    }
    const std::map<int32_t, int> wantCodes = {
        {1, 4},  {2, 1},  {3, 1},  {4, 3},  {5, 1},  {6, 1},  {7, 2},  {8, 5},  {9, 1},
        {10, 1}, {11, 10}, {12, 6}, {13, 2}, {14, 2}, {16, 3}, {17, 2}, {18, 2}, {19, 1},
        {20, 1}, {21, 1}, {22, 1}, {23, 2}, {24, 4}, {25, 4}, {27, 4}, {28, 2}, {125, 2}};
    EXPECT_EQ(codes, wantCodes);
    const std::map<int32_t, int> wantMarkers = {
        {0x0000FF, 7}, {0x008080, 6}, {0x00FF00, 6}, {0x00FFFF, 6}, {0x800080, 7}, {0x808000, 7},
        {0xFF0000, 5}, {0xFF00FF, 14}, {0xFFFF00, 4}, {0xFFFFFF, 2}, {-1, 5}};
    EXPECT_EQ(markers, wantMarkers);
    EXPECT_EQ(strengths, (std::map<std::string_view, int>{{"1", 49}, {"2", 16}, {"3", 3}, {"5", 1}}));
    EXPECT_EQ(checked, 41);
}

TEST(PaletteCatalogue, SpecialItemsClearAndPickColour) {
    const PaletteMenuItem& clear = item("Clear2");
    EXPECT_EQ(clear.kind, PaletteItemKind::Clear);
    EXPECT_EQ(clear.caption, "Cle&ar");
    EXPECT_EQ(clear.handler, "Clear2Click");
    EXPECT_EQ(clear.code, kCodeClear);
    EXPECT_EQ(clear.marker, 0);
    EXPECT_EQ(clear.strength, "1");
    EXPECT_FALSE(clear.damper);
    EXPECT_EQ(clear.selectionCaption, "Clear");
    EXPECT_FALSE(offeredInMenu(clear, false));
    EXPECT_TRUE(offeredInMenu(clear, true));
    const PaletteMenuItem& pick = item("PickColour1");
    EXPECT_EQ(pick.kind, PaletteItemKind::PickColour);
    EXPECT_EQ(pick.caption, "PickColour");
    EXPECT_EQ(pick.handler, "PickColour1Click");
    for (const PaletteMenuItem& i : paletteMenu()) {
        EXPECT_EQ(offeredInMenu(i, false), i.kind != PaletteItemKind::Clear) << i.name;
    }
}

TEST(PaletteItemClick, SetsDamperThenStrengthThenCodeThenMarkerThenCaption) {
    PaletteSelection sel;  // start-up: Skin: Fair, Damper off, strength "0"
    sel.pressure = -2;
    std::vector<Snapshot> seen;
    ASSERT_TRUE(paletteItemClick(item("Blonde1"), sel, [&](SelectionStep s, const PaletteSelection& now) {
        seen.push_back({s, now});
    }));
    ASSERT_EQ(seen.size(), 5u);
    const std::vector<SelectionStep> order = {SelectionStep::Damper, SelectionStep::Strength,
                                              SelectionStep::PaletteCode, SelectionStep::MarkerColour,
                                              SelectionStep::SelectionCaption};
    for (size_t k = 0; k < order.size(); ++k) EXPECT_EQ(seen[k].step, order[k]);

    // Each step sees the ones before it done and the ones after it not yet.
    EXPECT_TRUE(seen[0].state.damperChecked);
    EXPECT_TRUE(seen[0].state.damperOn);
    EXPECT_EQ(seen[0].state.strengthText, "0");
    EXPECT_EQ(seen[1].state.strengthText, "2");
    EXPECT_EQ(seen[1].state.blendStrength, 4);  // "2" less pressure -2
    EXPECT_EQ(seen[1].state.paletteCode, 1);
    EXPECT_EQ(seen[2].state.paletteCode, 11);
    EXPECT_EQ(seen[2].state.markerColour, 0xFFFF00);
    EXPECT_EQ(seen[3].state.markerColour, 0x800080);
    EXPECT_EQ(seen[3].state.selectionCaption, "Skin: Fair");
    EXPECT_EQ(seen[4].state.selectionCaption, "Hair: Blonde");
    expectSameSelection(sel, seen[4].state);
}

TEST(PaletteItemClick, EveryPaletteItemMakesItsSettings) {
    for (const PaletteMenuItem& i : paletteMenu()) {
        if (i.kind == PaletteItemKind::PickColour) continue;
        for (const bool damperBefore : {false, true}) {
            PaletteSelection sel;
            setDamperChecked(sel, damperBefore);
            ASSERT_TRUE(paletteItemClick(i, sel)) << i.name;
            EXPECT_EQ(sel.damperChecked, i.damper) << i.name;
            EXPECT_EQ(sel.damperOn, i.damper) << i.name;
            EXPECT_EQ(sel.strengthText, i.strength) << i.name;
            EXPECT_EQ(sel.blendStrength, blendStrengthFor(i.strength, 0)) << i.name;
            EXPECT_EQ(sel.paletteCode, i.code) << i.name;
            EXPECT_EQ(sel.markerColour, i.marker) << i.name;
            EXPECT_EQ(sel.selectionCaption, i.selectionCaption) << i.name;
        }
    }
}

TEST(PickColourClick, CancelledDialogChangesNothing) {
    PaletteSelection sel;
    paletteItemClick(item("Pink1"), sel);
    const PaletteSelection before = sel;
    int calls = 0;
    EXPECT_FALSE(pickColourClick(std::nullopt, sel, [&](SelectionStep, const PaletteSelection&) { ++calls; }));
    expectSameSelection(sel, before);
    EXPECT_EQ(calls, 0);
    // The menu item alone cannot select Custom: it needs the dialog's answer.
    EXPECT_FALSE(paletteItemClick(item("PickColour1"), sel));
    expectSameSelection(sel, before);
}

// The chosen colour keeps only 24 bits, so it never means Make-up (-1).
TEST(PickColourClick, ConfirmedColourBecomesCustom) {
    struct Case {
        int32_t chosen, marker;
    };
    const Case cases[] = {{0x123456, 0x123456}, {0, 0}, {0xFFFFFF, 0xFFFFFF}, {-1, 0xFFFFFF},
                          {int32_t(0xAB123456u), 0x123456}};
    for (const Case& c : cases) {
        PaletteSelection sel;
        std::vector<SelectionStep> steps;
        ASSERT_TRUE(pickColourClick(c.chosen, sel, [&](SelectionStep s, const PaletteSelection&) {
            steps.push_back(s);
        }));
        EXPECT_EQ(steps.size(), 5u);
        EXPECT_TRUE(sel.damperChecked);
        EXPECT_TRUE(sel.damperOn);
        EXPECT_EQ(sel.strengthText, "1");
        EXPECT_EQ(sel.blendStrength, 1);
        EXPECT_EQ(sel.paletteCode, kCodeCustom);
        EXPECT_EQ(sel.markerColour, c.marker) << c.chosen;
        EXPECT_EQ(sel.selectionCaption, "Custom");
    }
}

TEST(OriginalPaletteClick, PlainRestoreOnlyWhileAllThreeSlidersStandAtZero) {
    struct Case {
        int32_t ambient, intensity, saturation;
        bool invert, otherLights;
        int32_t want;
    };
    const Case cases[] = {
        {0, 0, 0, false, false, kCodeOriginal}, {0, 0, 0, true, true, kCodeOriginal},
        {1, 0, 0, false, false, kCodeOriginalEffects}, {0, -1, 0, false, false, kCodeOriginalEffects},
        {0, 0, 10, false, false, kCodeOriginalEffects}, {-10, 5, -3, false, false, kCodeOriginalEffects},
    };
    for (const Case& c : cases) {
        EffectSettings fx;
        fx.ambient = c.ambient;
        fx.intensity = c.intensity;
        fx.saturation = c.saturation;
        fx.invertOn = c.invert;
        if (c.otherLights) fx.lights = {false, true, true, true, true};
        PaletteSelection sel;
        paletteItemClick(item("Blonde1"), sel);
        const PaletteSelection before = sel;
        originalPaletteClick(fx, sel);
        EXPECT_EQ(sel.paletteCode, c.want) << c.ambient << " " << c.intensity << " " << c.saturation;
        EXPECT_EQ(sel.markerColour, 0x808080);
        EXPECT_EQ(sel.selectionCaption, "Original: [Eraser]");
        EXPECT_EQ(sel.damperChecked, before.damperChecked);
        EXPECT_EQ(sel.damperOn, before.damperOn);
        EXPECT_EQ(sel.strengthText, before.strengthText);
        EXPECT_EQ(sel.blendStrength, before.blendStrength);
    }
}

TEST(FindPaletteItem, FindsEachItemBySelectionCaptionExactly) {
    for (const PaletteMenuItem& i : paletteMenu()) EXPECT_EQ(findPaletteItem(i.selectionCaption), &i);
    ASSERT_NE(findPaletteItem("Sky: Blue"), nullptr);
    EXPECT_EQ(findPaletteItem("Sky: Blue")->name, "SkyBlue1");
    EXPECT_EQ(findPaletteItem("Clear")->name, "Clear2");
    EXPECT_EQ(findPaletteItem("Custom")->name, "PickColour1");
    for (const char* none : {"", "sky: blue", "Sky: Blue ", "Sky:Blue", "Original: [Eraser]", "Sky"})
        EXPECT_EQ(findPaletteItem(none), nullptr) << '"' << none << '"';
}
