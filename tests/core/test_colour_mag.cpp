#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "codecs/jpeg_decoder.h"
#include "core/catalogue.h"
#include "core/colour_mag.h"
#include "core/effects.h"
#include "core/palette_networks.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "test_support.h"

using namespace cw;

namespace {

constexpr uint32_t gray(uint32_t g) { return rgb(g, g, g); }

// A workspace with the settings ColourMag reads, as the image window holds them.
struct Rig {
    std::unique_ptr<Workspace> ws;
    PaletteSelection sel;
    EffectSettings fx;
    ToolSettings tools;
    PointerState pointer;

    explicit Rig(Bitmap picture) {
        cwtest::RecordingProgress progress;
        ws = buildWorkspace(std::move(picture), false, progress);
    }
    // A 4 x 3 picture of one gray, with (1, 1) set to `centre`.
    static Rig flat(uint32_t level = 128, uint32_t centre = gray(128)) {
        Bitmap b(4, 3);
        for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = gray(level);
        b.at(1, 1) = centre;
        return Rig(std::move(b));
    }
    void mag(int32_t code, int32_t x = 1, int32_t y = 1) {
        ws->curPixelIndex = int32_t(int64_t(y) * ws->width + x);  // as callers set it; wraps off the picture
        colourMag({*ws, sel, fx, paintRules(tools), pointer.shiftHeld}, code, x, y);
    }
    Rgb colourAt(int32_t x = 1, int32_t y = 1) const { return channelsOf(ws->colour.at(x, y)); }
    int8_t codeAt(int32_t x = 1, int32_t y = 1) const { return ws->codes[size_t(y) * ws->width + x]; }
    void select(std::string_view caption) { ASSERT_TRUE(paletteItemClick(*findPaletteItem(caption), sel)); }
};

struct Snapshot {
    std::vector<uint32_t> colour;
    std::vector<int8_t> codes;
    explicit Snapshot(const Workspace& ws)
        : colour(ws.colour.data(), ws.colour.data() + ws.pixelCount()),
          codes(ws.codes.get(), ws.codes.get() + ws.pixelCount()) {}
    bool operator==(const Snapshot&) const = default;
};

// The pixels (colour or code) that differ between two snapshots.
size_t changedPixels(const Snapshot& a, const Snapshot& b) {
    size_t n = 0;
    for (size_t i = 0; i < a.colour.size(); ++i) n += a.colour[i] != b.colour[i] || a.codes[i] != b.codes[i];
    return n;
}

} // namespace

TEST(ColourMag, DamperMergesWithTheGraySourceByStrength) {
    struct Case {
        const char* strength;
        bool invert;
        Rgb want;
    };
    // Code 17 at gray 128 is (2, 219, 2).
    const Case cases[] = {
        {"1", false, {65, 173, 65}},
        {"3", false, {96, 150, 96}},
        {"1", true, {190, 82, 190}},
    };
    for (const Case& c : cases) {
        Rig rig = Rig::flat();
        setDamperChecked(rig.sel, true);
        setStrengthText(rig.sel, c.strength);
        rig.fx.invertOn = c.invert;
        const Snapshot before(*rig.ws);
        rig.mag(17);
        EXPECT_EQ(rig.colourAt(), c.want) << c.strength << (c.invert ? " inverted" : "");
        EXPECT_EQ(rig.codeAt(), 17);
        EXPECT_EQ(changedPixels(before, Snapshot(*rig.ws)), 1u);
        EXPECT_FALSE(rig.pointer.shiftHeld);
    }
}

TEST(ColourMag, WithoutMergingThePaletteColourIsWrittenClamped) {
    struct Case {
        int32_t code;
        uint32_t source;
        Rgb want;
    };
    const Case cases[] = {
        {17, gray(128), {2, 219, 2}},
        {18, gray(255), {255, 255, 255}},  // raw (306, 426, 300)
        {2, gray(0), {32, 24, 0}},         // raw (32, 24, -13)
        {9, gray(128), {0, 200, 131}},     // raw (-10, 200, 131)
        {125, rgb(10, 20, 30), {20, 20, 20}},
        {13, gray(128), {169, 111, 93}},
    };
    for (const Case& c : cases) {
        Rig rig = Rig::flat(128, c.source);
        rig.mag(c.code);
        EXPECT_EQ(rig.colourAt(), c.want) << "code " << c.code;
        EXPECT_EQ(rig.codeAt(), c.code);
    }
}

TEST(ColourMag, EffectsActOnTheRawColourBeforeClampingAndMerging) {
    // Code 18 at 255, raw (306, 426, 300): light, so intensity -10 steps by
    // floor 300 div 10 x -10 = -300 -> (6, 126, 0). Clamping first would give
    // floor 255 and (0, 0, 0).
    Rig rig = Rig::flat(128, gray(255));
    rig.fx.intensity = -10;
    rig.mag(18);
    EXPECT_EQ(rig.colourAt(), (Rgb{6, 126, 0}));

    // Merged after the effects: ((255 + 6) / 2, (255 + 126) / 2, 255 / 2).
    Rig merged = Rig::flat(128, gray(255));
    merged.fx.intensity = -10;
    setDamperChecked(merged.sel, true);
    merged.mag(18);
    EXPECT_EQ(merged.colourAt(), (Rgb{130, 190, 127}));
}

TEST(ColourMag, LayeredShiftAndMakeUpMergeWithTheCurrentColour) {
    // First stroke: code 17 unmerged, (2, 219, 2); then code 6 at gray 128,
    // raw (2, 166, 251), over it.
    const Rgb first{2, 219, 2}, raw6{2, 166, 251};
    const Rgb onColour{(first.r + raw6.r) / 2, (first.g + raw6.g) / 2, (first.b + raw6.b) / 2};
    const Rgb onSource{(128 + raw6.r) / 2, (128 + raw6.g) / 2, (128 + raw6.b) / 2};
    struct Case {
        const char* what;
        bool layered, shift, damper;
        int32_t marker;
        Rgb want;
    };
    const Case cases[] = {
        {"plain: no merge", false, false, false, 0xFFFF00, raw6},
        {"Damper: with the source", false, false, true, 0xFFFF00, onSource},
        {"Layered: with the colour", true, false, false, 0xFFFF00, onColour},
        {"Shift: with the colour", false, true, false, 0xFFFF00, onColour},
        {"Make-up marker: with the colour", false, false, false, -1, onColour},
        {"Layered and Damper: with the colour", true, false, true, 0xFFFF00, onColour},
    };
    for (const Case& c : cases) {
        Rig rig = Rig::flat();
        rig.mag(17);
        ASSERT_EQ(rig.colourAt(), first);
        rig.tools.layered = c.layered;
        rig.pointer.shiftHeld = c.shift;
        rig.sel.damperOn = c.damper;
        rig.sel.markerColour = c.marker;
        rig.mag(6);
        EXPECT_EQ(rig.colourAt(), c.want) << c.what;
        EXPECT_EQ(rig.pointer.shiftHeld, c.shift || c.marker == -1) << c.what;
    }
}

TEST(ColourMag, MakeUpCustomAndClearLeaveShiftHeldForLaterCalls) {
    Rig rig = Rig::flat();
    rig.mag(17, 0, 0);
    rig.mag(17, 2, 2);
    const Rgb painted = rig.colourAt(2, 2);

    rig.mag(kCodeClear, 0, 0);  // Clear: keeps the colour, records 99
    EXPECT_EQ(rig.colourAt(0, 0), painted);
    EXPECT_EQ(rig.codeAt(0, 0), 99);
    EXPECT_TRUE(rig.pointer.shiftHeld);

    // Still held: a plain palette now merges with the existing colour.
    rig.mag(6, 2, 2);
    EXPECT_EQ(rig.colourAt(2, 2), (Rgb{2, (219 + 166) / 2, (2 + 251) / 2}));

    for (int32_t code : {0, -5, 40, 127}) {  // no colour, yet Make-up still sets the flag
        Rig r = Rig::flat();
        r.sel.markerColour = kMarkerMerge;
        const Snapshot before(*r.ws);
        r.mag(code);
        EXPECT_TRUE(r.pointer.shiftHeld) << code;
        EXPECT_EQ(before, Snapshot(*r.ws)) << code;
    }
    Rig custom = Rig::flat();
    ASSERT_TRUE(pickColourClick(0x0000FF, custom.sel));
    custom.mag(kCodeCustom);
    EXPECT_TRUE(custom.pointer.shiftHeld);
    // Marker red merged with the gray source, the pixel's own previous colour.
    EXPECT_EQ(custom.colourAt(), (Rgb{(128 + 255) / 2, 64, 64}));
}

TEST(ColourMag, CustomTakesTheMarkerCurrentAtTheTimeOfTheCall) {
    Rig rig = Rig::flat();
    rig.tools.currentTool = kToolTouch;
    rig.sel.damperOn = false;
    rig.pointer.shiftHeld = false;
    rig.sel.markerColour = 0x0000FF;
    rig.mag(kCodeCustom);
    const Rgb first = rig.colourAt();
    rig.sel.markerColour = 0xFF0000;  // blue now
    rig.pointer.shiftHeld = false;
    rig.mag(kCodeCustom);
    // Custom always merges (Shift is forced): with the red painted before.
    EXPECT_EQ(rig.colourAt(), (Rgb{first.r / 2, first.g / 2, (first.b + 255) / 2}));
}

TEST(ColourMag, OriginalWithEffectsWritesTheSourceBack) {
    Rig rig = Rig::flat(128, rgb(10, 200, 30));
    rig.tools.currentTool = kToolTouch;  // the brush would skip the second 124
    rig.mag(17);
    ASSERT_NE(rig.colourAt(), (Rgb{10, 200, 30}));
    rig.mag(kCodeOriginalEffects);
    EXPECT_EQ(rig.colourAt(), (Rgb{10, 200, 30}));
    EXPECT_EQ(rig.codeAt(), 124);
    // With an effect on, the source colour is tuned: saturation +10 doubles
    // the channel above gray 80 -> (10, 400 -> 255, 30).
    rig.fx.saturation = 10;
    rig.mag(kCodeOriginalEffects);
    EXPECT_EQ(rig.colourAt(), (Rgb{10, 255, 30}));
}

TEST(ColourMag, CodesWithoutColourChangeNothing) {
    for (int32_t code :
         {0, -1, -128, 31, 50, 87, 89, 98, 100, 123, 126, 127, 128, 200, 300, INT32_MIN, INT32_MAX}) {
        Rig rig = Rig::flat();
        rig.mag(17, 2, 2);
        const Snapshot before(*rig.ws);
        rig.mag(code);
        rig.mag(code, 2, 2);
        EXPECT_EQ(before, Snapshot(*rig.ws)) << code;
        EXPECT_FALSE(rig.pointer.shiftHeld) << code;
    }
}

TEST(ColourMag, BrushSkipsAPixelThatAlreadyHasTheCodeUnlessOverwrite) {
    struct Case {
        int32_t tool;
        bool overwrite;
        int8_t codeBefore;
        bool recoloured;
    };
    const Case cases[] = {
        {kToolBrush, false, 6, false},
        {kToolBrush, true, 6, true},
        {kToolTouch, false, 6, true},
        {kToolSelectionPaint, false, 6, true},
        {kToolBrush, false, 17, true},
        {kToolBrush, false, -6, true},  // finish-up's mark for code 6 is another byte
    };
    for (const Case& c : cases) {
        Rig rig = Rig::flat();
        rig.ws->codes[1 * 4 + 1] = c.codeBefore;
        rig.tools.currentTool = c.tool;
        rig.tools.overwrite = c.overwrite;
        rig.fx.saturation = 3;  // effects changed since: the skip still holds
        const Snapshot before(*rig.ws);
        rig.mag(6);
        EXPECT_EQ(before != Snapshot(*rig.ws), c.recoloured)
            << "tool " << c.tool << " overwrite " << c.overwrite << " code " << int(c.codeBefore);
        EXPECT_EQ(rig.codeAt(), c.recoloured ? 6 : c.codeBefore);
    }
}

TEST(ColourMag, SkippedBrushPixelStillSetsShiftForMakeUp) {
    Rig rig = Rig::flat();
    rig.sel.markerColour = kMarkerMerge;
    rig.ws->codes[5] = 16;
    const Snapshot before(*rig.ws);
    rig.mag(16);
    EXPECT_EQ(before, Snapshot(*rig.ws));
    EXPECT_TRUE(rig.pointer.shiftHeld);
}

TEST(ColourMag, PixelOutsideThePictureIsRefusedWithoutTouchingMemory) {
    Rig rig = Rig::flat();
    const Snapshot before(*rig.ws);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {4, 3}, {INT32_MIN, 1}, {1, INT32_MAX}}) {
        rig.mag(6, x, y);
        rig.mag(kCodeClear, x, y);
    }
    EXPECT_EQ(before, Snapshot(*rig.ws));
}

TEST(ColourMag, AddressesThePixelByItsCoordinatesWhateverCurPixelIndexHolds) {
    Rig rig = Rig::flat();
    rig.ws->curPixelIndex = 1 << 30;
    colourMag({*rig.ws, rig.sel, rig.fx, paintRules(rig.tools), rig.pointer.shiftHeld}, 17, 2, 1);
    EXPECT_EQ(rig.colourAt(2, 1), (Rgb{2, 219, 2}));
    EXPECT_EQ(rig.codeAt(2, 1), 17);
}

TEST(ColourMag, BlendStrengthOutsideItsRangeIsHeldTo1Through14) {
    // 0 would leave the colour unmerged, -1 divide by zero; the handlers
    // never produce either, so they count as the nearest strength.
    struct Case {
        int32_t strength;
        Rgb want;
    };
    const Case cases[] = {
        {0, {65, 173, 65}},
        {-1, {65, 173, 65}},
        {INT32_MIN, {65, 173, 65}},
        {14, {(128 * 14 + 2) / 15, (128 * 14 + 219) / 15, (128 * 14 + 2) / 15}},
        {1000000, {(128 * 14 + 2) / 15, (128 * 14 + 219) / 15, (128 * 14 + 2) / 15}},
    };
    for (const Case& c : cases) {
        Rig rig = Rig::flat();
        rig.sel.damperOn = true;
        rig.sel.blendStrength = c.strength;
        rig.mag(17);
        EXPECT_EQ(rig.colourAt(), c.want) << c.strength;
    }
}

// Every pixel of real photographs through ColourMag against a plain reading
// of its steps over the untabulated palette colour: the tables and the fast
// path must not change a single pixel.
TEST(ColourMag, EqualsTheUntabulatedStepsOnRealPhotos) {
    struct Settings {
        const char* what;
        int32_t sat, inten, amb;
        bool damper, layered, invert;
        int32_t marker, strength;
    };
    const Settings settings[] = {
        {"plain", 0, 0, 0, false, false, false, 0xFFFF00, 1},
        {"damper 3", 0, 0, 0, true, false, false, 0xFFFF00, 3},
        {"layered, effects", 4, -3, 6, false, true, false, 0x800080, 2},
        {"make-up, invert", -7, 2, -4, false, false, true, -1, 9},
        {"effects only", 10, 10, 10, false, false, false, 0x00FF00, 1},
        {"invert only", 0, 0, 0, false, false, true, 0x00FFFF, 1},
    };
    std::vector<int32_t> codes;
    for (int32_t c = 1; c <= 30; ++c) codes.push_back(c);
    for (int32_t c : {88, 99, 124, 125}) codes.push_back(c);

    for (const char* photo : {"photos/astronaut.jpg", "photos/camera.jpg"}) {
        const Bitmap picture = decodeJpegFile(cwtest::testdata(photo));
        for (const Settings& s : settings) {
            Rig rig(picture.clone());
            rig.tools.currentTool = kToolTouch;
            rig.fx.saturation = s.sat;
            rig.fx.intensity = s.inten;
            rig.fx.ambient = s.amb;
            rig.fx.invertOn = s.invert;
            rig.fx.lights = {false, true, false, false, true};
            rig.sel.damperOn = s.damper;
            rig.tools.layered = s.layered;
            rig.sel.markerColour = s.marker;
            rig.sel.blendStrength = s.strength;
            const int32_t w = rig.ws->width;
            size_t mismatches = 0;
            // Codes run over the picture in stripes, so later codes merge
            // with the colour earlier ones left.
            for (int32_t y = 0; y < rig.ws->height; ++y) {
                for (int32_t x = 0; x < w; ++x) {
                    const int32_t code = codes[size_t(x / 7 + y / 5) % codes.size()];
                    const uint32_t src = rig.ws->source.at(x, y), cur = rig.ws->colour.at(x, y);
                    rig.pointer.shiftHeld = false;
                    const bool shift = s.marker == -1 || code == 99 || code == 88;
                    const Rgb p = channelsOf(s.layered || shift ? cur : src);
                    const auto pc = paletteColourDirect(code, src, cur, s.marker);
                    Rgb c = applyEffects(pc->rgb, pc->gray, rig.fx);
                    for (int32_t* ch : {&c.r, &c.g, &c.b}) *ch = std::clamp(*ch, 0, 255);
                    if (shift || s.damper || s.layered || s.marker == -1) {
                        const int32_t n = s.strength;
                        c = {(p.r * n + c.r) / (n + 1), (p.g * n + c.g) / (n + 1), (p.b * n + c.b) / (n + 1)};
                    }
                    if (s.invert) c = {255 - c.r, 255 - c.g, 255 - c.b};

                    rig.mag(code, x, y);
                    mismatches += rig.colourAt(x, y) != c || rig.codeAt(x, y) != code;
                }
            }
            EXPECT_EQ(mismatches, 0u) << photo << ", " << s.what;
        }
    }
}
