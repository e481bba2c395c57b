#include "core/catalogue.h"

#include <iterator>

#include "core/effects.h"
#include "core/palette_networks.h"

namespace cw {

namespace {

constexpr bool kBold = true, kPlain = false;
constexpr bool kChecked = true, kUnchecked = false;
constexpr PaletteItemKind kPalette = PaletteItemKind::Palette;

constexpr PaletteMenuItem kPopupMenu2[] = {
    {"S&kin", "Fair1", "&Fair [Red]", kBold, "Fair1Click",
     kPalette, kUnchecked, 1, 1, 0xFFFF00, "Skin: Fair"},
    {"S&kin", "Pale1", "&Pale [Fair]", kPlain, "Pale1Click",
     kPalette, kUnchecked, 1, 12, 0xFFFF00, "Skin: Pale"},
    {"S&kin", "Dark1", "&Dark", kPlain, "Dark1Click",
     kPalette, kUnchecked, 1, 27, 0xFFFF00, "Skin: Dark"},
    {"&Hair", "Light1", "&Light [brown]", kPlain, "Light1Click",
     kPalette, kChecked, 1, 12, 0x800080, "Hair: Light [Brown]"},
    {"&Hair", "Darkblackbrown1", "&Dark [black/ brown]", kBold, "Darkblackbrown1Click",
     kPalette, kChecked, 1, 27, 0x800080, "Hair: Dark [Brown]"},
    {"&Hair", "Blonde1", "&Blonde", kPlain, "Blonde1Click",
     kPalette, kChecked, 2, 11, 0x800080, "Hair: Blonde"},
    {"&Hair", "Golden1", "G&olden", kPlain, "Golden1Click",
     kPalette, kChecked, 1, 11, 0x800080, "Hair: Golden"},
    {"&Hair", "Gray1", "&Gray", kPlain, "Gray1Click",
     kPalette, kChecked, 2, 8, 0x800080, "Hair: Gray"},
    {"&Hair", "Red1", "&Red", kPlain, "Red1Click",
     kPalette, kChecked, 1, 1, 0x800080, "Hair: Red"},
    {"&Pupil [eye]", "Brown1", "&Brown/ Black", kBold, "Brown1Click",
     kPalette, kChecked, 2, 27, 0x008080, "Eye: Black [Brown]"},
    {"&Pupil [eye]", "RedBrown2", "&Red Brown", kPlain, "RedBrown2Click",
     kPalette, kChecked, 2, 1, 0x008080, "Eye: Red [Brown]"},
    {"&Pupil [eye]", "Gray2", "&Gray", kPlain, "Gray2Click",
     kPalette, kChecked, 2, 8, 0x008080, "Eye: Gray"},
    {"&Pupil [eye]", "Blue1", "Bl&ue", kPlain, "Blue1Click",
     kPalette, kChecked, 2, 24, 0x008080, "Eye: Blue"},
    {"&Pupil [eye]", "Green1", "G&reen", kPlain, "Green1Click",
     kPalette, kChecked, 2, 25, 0x008080, "Eye: Green"},
    {"&Pupil [eye]", "Gold1", "G&old", kPlain, "Gold1Click",
     kPalette, kChecked, 2, 4, 0x008080, "Eye: Gold [Brown]"},
    {"Make-&up", "Reds1", "&Reds", kPlain, "Reds1Click",
     kPalette, kChecked, 1, 16, kMarkerMerge, "Make-up: Reds"},
    {"Make-&up", "Greens1", "&Greens", kPlain, "Greens1Click",
     kPalette, kChecked, 3, 17, kMarkerMerge, "Make-up: Greens"},
    {"Make-&up", "Blues1", "&Blues", kPlain, "Blues1Click",
     kPalette, kChecked, 3, 18, kMarkerMerge, "Make-up: Blues"},
    {"Make-&up", "GoldYellow1", "Gold/ &Yellow", kPlain, "GoldYellow1Click",
     kPalette, kChecked, 2, 11, kMarkerMerge, "Make-up: Gold/ Yellow"},
    {"Make-&up", "SilverGray1", "&Silver/ Gray", kPlain, "SilverGray1Click",
     kPalette, kChecked, 1, 125, kMarkerMerge, "Make-up: Silver/ Gray"},
    {"&Earth", "Light2", "&Light", kBold, "Light2Click",
     kPalette, kUnchecked, 1, 12, 0x00FF00, "Earth: Light"},
    {"&Earth", "Dark2", "&Dark", kPlain, "Dark2Click",
     kPalette, kChecked, 1, 11, 0x00FF00, "Earth: Dark"},
    {"&Bush [Greens]", "Autumn1", "&Autumn", kPlain, "Autumn1Click",
     kPalette, kChecked, 2, 11, 0x00FFFF, "Greens: Autumn"},
    {"&Bush [Greens]", "Winter1", "&Winter", kPlain, "Winter1Click",
     kPalette, kChecked, 1, 4, 0x00FFFF, "Greens: Winter"},
    {"&Bush [Greens]", "Spring1", "&Spring", kPlain, "Spring1Click",
     kPalette, kChecked, 1, 3, 0x00FFFF, "Greens: Spring"},
    {"&Bush [Greens]", "Summer1", "S&ummer", kPlain, "Summer1Click",
     kPalette, kChecked, 1, 5, 0x00FFFF, "Greens: Summer"},
    {"&Bush [Greens]", "Forest1", "&Forest", kBold, "Forest1Click",
     kPalette, kUnchecked, 1, 2, 0x00FFFF, "Greens: Forest"},
    {"&Water", "OceanBlue1", "&Ocean Blue", kBold, "OceanBlue1Click",
     kPalette, kChecked, 1, 24, 0x0000FF, "Water: Ocean [Blue]"},
    {"&Water", "SeaBlue1", "&Sea Blue", kPlain, "SeaBlue1Click",
     kPalette, kChecked, 1, 10, 0x0000FF, "Water: Sea [Blue]"},
    {"&Water", "AquaBlue1", "&Aqua Blue", kPlain, "AquaBlue1Click",
     kPalette, kChecked, 1, 23, 0x0000FF, "Water: Aqua [Blue]"},
    {"&Water", "HarbourGreen1", "&Harbour Green", kPlain, "HarbourGreen1Click",
     kPalette, kChecked, 1, 25, 0x0000FF, "Water: Harbour [Green]"},
    {"&Water", "SeaGreen1", "Sea &Green", kPlain, "SeaGreen1Click",
     kPalette, kChecked, 1, 9, 0x0000FF, "Water: Sea [Green]"},
    {"&Water", "SunsetYellow1", "Sunset &Yellow", kPlain, "SunsetYellow1Click",
     kPalette, kChecked, 3, 11, 0x0000FF, "Water: Sunset [Yellow]"},
    {"&Water", "Muddy1", "&Muddy", kPlain, "Muddy1Click",
     kPalette, kChecked, 2, 12, 0x0000FF, "Water: Muddy"},
    {"&Water", "Clear1", "&Clear", kPlain, "Clear1Click",
     kPalette, kChecked, 1, 8, 0x808000, "Water: Clear"},
    {"&Fire", "BrightFire1", "&Bright Fire", kBold, "BrightFire1Click",
     kPalette, kUnchecked, 1, 13, 0xFF0000, "Fire: Bright"},
    {"&Fire", "ButaneFlame1", "Butane &Flame", kPlain, "ButaneFlame1Click",
     kPalette, kUnchecked, 1, 14, 0xFF0000, "Fire: Butane [Flame]"},
    {"&Fire", "ForestFire1", "F&orest Fire", kPlain, "ForestFire1Click",
     kPalette, kChecked, 1, 28, 0xFFFFFF, "Fire: Forest"},
    {"Sk&y", "SkyBlue1", "&Sky Blue", kBold, "SkyBlue1Click",
     kPalette, kChecked, 1, 6, 0x808000, "Sky: Blue"},
    {"Sk&y", "TealBlue1", "&Teal Blue", kPlain, "TealBlue1Click",
     kPalette, kUnchecked, 1, 24, 0x808000, "Sky: Teal [Blue]"},
    {"Sk&y", "Sunriseset1", "S&un-rise/ set", kPlain, "Sunriseset1Click",
     kPalette, kUnchecked, 1, 7, 0x808000, "Sky: Sun-rise [Sunset]"},
    {"Sk&y", "DuskDawnGold1", "&Dusk/ Dawn Gold", kPlain, "DuskDawnGold1Click",
     kPalette, kChecked, 2, 11, 0x808000, "Sky: Dusk/ Dawn [Gold]"},
    {"Sk&y", "CloudyGray1", "&Cloudy/ Gray", kPlain, "CloudyGray1Click",
     kPalette, kUnchecked, 1, 8, 0x808000, "Sky: Cloudy [Gray]"},
    {"&Rock/ Concrete", "Brown2", "&Brown", kPlain, "Brown2Click",
     kPalette, kChecked, 5, 11, 0x00FF00, "Concrete: Brown"},
    {"&Rock/ Concrete", "BrownGreen1", "Brown/ &Green", kPlain, "BrownGreen1Click",
     kPalette, kUnchecked, 1, 4, 0x00FFFF, "Concrete: Brown [Green]"},
    {"&Rock/ Concrete", "MountainGrayBlue1", "&Mountain Gray/ Blue", kBold, "MountainGrayBlue1Click",
     kPalette, kUnchecked, 1, 8, 0x00FF00, "Concrete: Gray [Blue]"},
    {"W&ood", "LightBrown1", "&Light Brown", kBold, "LightBrown1Click",
     kPalette, kUnchecked, 1, 12, 0x00FF00, "Wood: Light [Brown]"},
    {"W&ood", "DarkBrown1", "&Dark Brown", kPlain, "DarkBrown1Click",
     kPalette, kUnchecked, 1, 27, 0xFFFF00, "Wood: Dark [Brown]"},
    {"W&ood", "GoldenBrown1", "&Golden Brown", kPlain, "GoldenBrown1Click",
     kPalette, kUnchecked, 1, 11, 0x00FF00, "Wood: Golden [Brown]"},
    {"W&ood", "RedBrown1", "&Red Brown", kPlain, "RedBrown1Click",
     kPalette, kUnchecked, 1, 1, 0x800080, "Wood: Red [Brown]"},
    {"&Marble", "Red2", "&Red", kPlain, "Red2Click",
     kPalette, kUnchecked, 1, 12, 0xFF00FF, "Marble: Red"},
    {"&Marble", "Green2", "&Green", kPlain, "Green2Click",
     kPalette, kUnchecked, 1, 25, 0xFF00FF, "Marble: Green"},
    {"&Marble", "Blue2", "&Blue", kPlain, "Blue2Click",
     kPalette, kUnchecked, 1, 24, 0xFF00FF, "Marble: Blue"},
    {"&Marble", "White1", "&White", kBold, "White1Click",
     kPalette, kUnchecked, 1, 125, 0xFF0000, "Marble: White"},
    {"&Other Objects", "RubyRed1", "&Ruby Red", kBold, "RubyRed1Click",
     kPalette, kUnchecked, 1, 16, 0xFF00FF, "Objects: Ruby [Red]"},
    {"&Other Objects", "Pink1", "&Pink", kPlain, "Pink1Click",
     kPalette, kChecked, 2, 16, 0xFF00FF, "Objects: Light [Red]"},
    {"&Other Objects", "Gold2", "&Gold", kPlain, "Gold2Click",
     kPalette, kUnchecked, 1, 11, 0xFF00FF, "Objects: Golden"},
    {"&Other Objects", "CitrineYellow1", "&Citrine Yellow", kPlain, "CitrineYellow1Click",
     kPalette, kUnchecked, 1, 19, 0xFF00FF, "Objects: Citrine [Yellow]"},
    {"&Other Objects", "MandarineFireOpal1", "&Mandarine/ Fire Opal", kPlain, "MandarineFireOpal1Click",
     kPalette, kUnchecked, 1, 22, 0xFF00FF, "Objects: Mandarine [Fire]"},
    {"&Other Objects", "GreenOpal1", "Green &Opal", kPlain, "GreenOpal1Click",
     kPalette, kChecked, 1, 25, 0xFF00FF, "Objects: Green [Opal]"},
    {"&Other Objects", "EmraldGreen1", "&Emrald Green", kPlain, "EmraldGreen1Click",
     kPalette, kChecked, 2, 17, 0xFF00FF, "Objects: Emrald [Green]"},
    {"&Other Objects", "Aquamarine1", "&Aquamarine/ Blue Topaz", kPlain, "Aquamarine1Click",
     kPalette, kUnchecked, 1, 23, 0xFF00FF, "Objects: Blue [Topaz]"},
    {"&Other Objects", "AmethystGrapeGarnet1", "Ameth&yst/ Grape Garnet", kPlain, "AmethystGrapeGarnet1Click",
     kPalette, kUnchecked, 1, 20, 0xFF00FF, "Objects: Grape [Amethyst]"},
    {"&Other Objects", "Sapphire1", "Sapphire/ Blue Lolite", kPlain, "Sapphire1Click",
     kPalette, kUnchecked, 1, 18, 0xFF00FF, "Objects: Sapphire [Blue]"},
    {"&Other Objects", "BlueQartz1", "Blue &Qartz", kPlain, "BlueQartz1Click",
     kPalette, kUnchecked, 1, 21, 0xFF00FF, "Objects: Blue [Qartz]"},
    {"Multi-co&loured Fabric", "BlueGreenYellow1", "&BlueGreenYellow", kBold, "BlueGreenYellow1Click",
     kPalette, kChecked, 2, 28, 0xFFFFFF, "Multitone: Blue [Green]"},
    {"Multi-co&loured Fabric", "PurpleYellow1", "&PurpleYellow", kPlain, "PurpleYellow1Click",
     kPalette, kChecked, 2, 14, 0xFF0000, "Multitone: Purple [Yellow]"},
    {"Multi-co&loured Fabric", "RedYellow1", "&RedYellow", kPlain, "RedYellow1Click",
     kPalette, kChecked, 1, 13, 0xFF0000, "Multitone: Red [Yellow]"},
    {"Multi-co&loured Fabric", "OrangeBlue1", "&OrangeBlue", kPlain, "OrangeBlue1Click",
     kPalette, kChecked, 1, 7, 0x808000, "Multitone: Orange [Blue]"},
    {"", "Clear2", "Cle&ar", kPlain, "Clear2Click",
     PaletteItemKind::Clear, kUnchecked, 1, kCodeClear, 0, "Clear"},
    {"", "PickColour1", "PickColour", kPlain, "PickColour1Click",
     PaletteItemKind::PickColour, kChecked, 1, kCodeCustom, 0, kCustomCaption},
};

constexpr const PaletteMenuItem& kPickColourItem = kPopupMenu2[std::size(kPopupMenu2) - 1];

void report(const SelectionObserver& observer, SelectionStep step, const PaletteSelection& sel) {
    if (observer) observer(step, sel);
}

void select(const PaletteMenuItem& item, int32_t marker, PaletteSelection& sel,
            const SelectionObserver& observer) {
    setDamperChecked(sel, item.damper);
    report(observer, SelectionStep::Damper, sel);
    setStrength(sel, item.strength);
    report(observer, SelectionStep::Strength, sel);
    sel.paletteCode = item.code;
    report(observer, SelectionStep::PaletteCode, sel);
    sel.markerColour = marker;
    report(observer, SelectionStep::MarkerColour, sel);
    sel.selectionCaption = item.selectionCaption;
    report(observer, SelectionStep::SelectionCaption, sel);
}

} // namespace

std::span<const PaletteMenuItem> paletteMenu() { return kPopupMenu2; }

std::vector<PaletteSubmenu> paletteSubmenus() {
    std::vector<PaletteSubmenu> out;
    const std::span<const PaletteMenuItem> all = paletteMenu();
    size_t begin = 0;
    for (size_t i = 1; i <= all.size(); ++i) {
        if (i == all.size() || all[i].submenu != all[begin].submenu) {
            out.push_back({all[begin].submenu, all.subspan(begin, i - begin)});
            begin = i;
        }
    }
    return out;
}

const PaletteMenuItem* findPaletteItem(std::string_view selectionCaption) {
    for (const PaletteMenuItem& item : paletteMenu())
        if (item.selectionCaption == selectionCaption) return &item;
    return nullptr;
}

bool paletteItemClick(const PaletteMenuItem& item, PaletteSelection& sel, const SelectionObserver& observer) {
    if (item.kind == PaletteItemKind::PickColour) return false;
    select(item, item.marker, sel, observer);
    return true;
}

bool pickColourClick(std::optional<int32_t> chosen, PaletteSelection& sel, const SelectionObserver& observer) {
    if (!chosen) return false;
    // A dialog colour is 24-bit; -1 would turn Custom into a Make-up merge.
    select(kPickColourItem, *chosen & 0xffffff, sel, observer);
    return true;
}

void originalPaletteClick(const EffectSettings& fx, PaletteSelection& sel, const SelectionObserver& observer) {
    sel.paletteCode = effectsActive(fx) ? kCodeOriginalEffects : kCodeOriginal;
    report(observer, SelectionStep::PaletteCode, sel);
    sel.markerColour = kOriginalMarker;
    report(observer, SelectionStep::MarkerColour, sel);
    sel.selectionCaption = kOriginalCaption;
    report(observer, SelectionStep::SelectionCaption, sel);
}

} // namespace cw
