#include <gtest/gtest.h>

#include <climits>

#include "core/catalogue.h"
#include "core/effects.h"
#include "core_rig.h"

using namespace coretest;
using cwtest::gray;

namespace {

// A 4 x 3 picture of gray 128 unless given one, painted at (1, 1) unless told.
struct Rig : Scene<> {
    explicit Rig(Bitmap pic = flat(4, 3, 128)) : Scene(std::move(pic)) {}
    void mag(int32_t code, int32_t x = 1, int32_t y = 1) {
        ws().curPixelIndex = int32_t(int64_t(y) * w() + x);  // as callers set it; wraps off the picture
        colourMag(ctx(), code, x, y);
    }
    Rgb at(int32_t x = 1, int32_t y = 1) const { return channelsOf(s.ws->colour.at(x, y)); }
};

} // namespace

TEST(ColourMag, MakeUpCustomAndClearMergeAndKeepShiftHeldForLaterCalls) {
    struct Case { int32_t code, marker; bool changes; };
    const Case cases[] = {{kCodeClear, 0xFFFF00, true}, {kCodeCustom, 0x0000FF, true}, {6, kMarkerMerge, true},
                          {0, kMarkerMerge, false},     {40, kMarkerMerge, false},   {127, kMarkerMerge, false}};
    for (const Case& c : cases) {
        Rig rig;
        rig.mag(17, 1, 1);
        rig.mag(17, 2, 2);
        const std::vector<uint32_t> before = rig.colours();
        rig.s.palette.markerColour = c.marker;
        rig.mag(c.code);
        EXPECT_TRUE(rig.s.pointer.shiftHeld) << c.code;
        EXPECT_EQ(rig.colours() != before, c.changes && c.code != kCodeClear) << c.code;
        if (c.changes) { EXPECT_EQ(rig.code(1, 1), c.code); }
        // Still held: a plain palette now merges with the existing colour.
        rig.s.palette.markerColour = 0xFFFF00;
        rig.mag(6, 2, 2);
        EXPECT_EQ(rig.at(2, 2), (Rgb{2, (219 + 166) / 2, (2 + 251) / 2})) << c.code;
    }
}

TEST(ColourMag, CallsThatChangeNothingAndTheBrushSkipRule) {
    struct Case { int32_t code, x, y, tool = kToolTouch; bool overwrite = false; int8_t codeBefore = 0; bool changes = false; int32_t marker = 0xFFFF00; };
    const Case cases[] = {
        {0, 1, 1}, {-128, 1, 1}, {31, 1, 1}, {87, 1, 1}, {100, 1, 1}, {126, 1, 1}, {300, 1, 1}, {INT32_MAX, 1, 1},
        {6, -1, 0}, {6, 0, -1}, {6, 4, 0}, {6, 0, 3}, {kCodeClear, 4, 3}, {6, INT32_MIN, 1}, {6, 2, 1, kToolTouch, 0, 0, 1},
        {6, 0, 2, kToolTouch, 0, 0, 1},
        // The brush skips a pixel that already has the code, unless Overwrite;
        // a skipped pixel still sets Shift for Make-up.
        {6, 1, 1, kToolBrush, false, 6}, {6, 1, 1, kToolBrush, true, 6, true}, {6, 1, 1, kToolTouch, false, 6, true},
        {6, 1, 1, kToolSelectionPaint, false, 6, true}, {6, 1, 1, kToolBrush, false, 17, true},
        {6, 1, 1, kToolBrush, false, -6, true}, {16, 1, 1, kToolBrush, false, 16, false, kMarkerMerge}};
    for (const Case& c : cases) {
        Rig rig;
        rig.ws().codes[5] = c.codeBefore;
        rig.s.tools.currentTool = c.tool;
        rig.s.tools.overwrite = c.overwrite;
        rig.s.palette.markerColour = c.marker;
        rig.s.effects.saturation = 3;  // effects changed since: the skip still holds
        const std::vector<uint32_t> colours = rig.colours();
        std::vector<int8_t> codes = rig.codes();
        rig.ws().curPixelIndex = 1 << 30;  // the pixel is addressed by its coordinates
        colourMag(rig.ctx(), c.code, c.x, c.y);
        const size_t at = size_t(c.y) * 4 + size_t(c.x);
        EXPECT_EQ(rig.colours() != colours, c.changes) << c.code << " at " << c.x << "," << c.y << " tool " << c.tool;
        if (c.changes) codes[at] = int8_t(c.code);
        EXPECT_EQ(rig.codes(), codes) << c.code;
        if (c.changes) { EXPECT_NE(rig.colours()[at], colours[at]); }
        EXPECT_EQ(rig.s.pointer.shiftHeld, c.marker == kMarkerMerge);
    }
}

// Every pixel of real photographs through ColourMag against a plain reading
// of its steps over the untabulated palette colour: the tables and the fast
// path must not change a single pixel.
TEST(ColourMag, EqualsTheUntabulatedStepsOnRealPhotos) {
    struct Settings { const char* what; int32_t sat, inten, amb; bool damper, layered, invert; int32_t marker, strength; };
    const Settings settings[] = {
        {"plain", 0, 0, 0, false, false, false, 0xFFFF00, 1}, {"damper 3", 0, 0, 0, true, false, false, 0xFFFF00, 3},
        {"layered, effects", 4, -3, 6, false, true, false, 0x800080, 2}, {"effects", 10, 10, 10, false, false, false, 0x00FF00, 1},
        {"make-up, invert", -7, 2, -4, false, false, true, -1, 9}, {"invert", 0, 0, 0, false, false, true, 0x00FFFF, 1},
        {"damper 14", 0, -1, 0, true, false, false, 0xFF00FF, 14},
        // Strengths the handlers never produce count as the nearest one.
        {"strength 0", 0, 0, 0, true, false, false, 0xFF00FF, 0}, {"strength -1", 0, 0, 0, true, false, false, 0xFF00FF, -1},
        {"strength above 14", 3, 0, 0, false, true, false, 0xFF00FF, 1000000}};
    const int32_t codes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                             18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 88, 99, 124, 125};
    for (const char* name : {"astronaut.jpg", "camera.jpg"}) {
        const Bitmap pic = photo(name);
        for (const Settings& s : settings) {
            Rig rig(pic.clone());
            EffectSettings& fx = rig.s.effects;
            fx.saturation = s.sat, fx.intensity = s.inten, fx.ambient = s.amb, fx.invertOn = s.invert;
            fx.lights = {false, true, false, false, true};
            rig.s.palette.damperOn = s.damper, rig.s.palette.markerColour = s.marker, rig.s.palette.blendStrength = s.strength;
            rig.s.tools.layered = s.layered;
            size_t mismatches = 0;
            // Codes run over the picture in stripes, so later codes merge
            // with the colour earlier ones left.
            for (int32_t y = 0; y < rig.ws().height; ++y)
                for (int32_t x = 0; x < rig.w(); ++x) {
                    const int32_t code = codes[size_t(x / 7 + y / 5) % std::size(codes)];
                    const uint32_t src = rig.ws().source.at(x, y), cur = rig.ws().colour.at(x, y);
                    rig.s.pointer.shiftHeld = false;
                    const bool shift = s.marker == -1 || code == 99 || code == 88;
                    const Rgb p = channelsOf(s.layered || shift ? cur : src);
                    const auto pc = paletteColourDirect(code, src, cur, s.marker);
                    Rgb c = applyEffects(pc->rgb, pc->gray, fx);
                    for (int32_t* ch : {&c.r, &c.g, &c.b}) *ch = std::clamp(*ch, 0, 255);
                    if (shift || s.damper || s.layered) {
                        const int32_t n = std::clamp(s.strength, 1, 14);
                        c = {(p.r * n + c.r) / (n + 1), (p.g * n + c.g) / (n + 1), (p.b * n + c.b) / (n + 1)};
                    }
                    if (s.invert) c = {255 - c.r, 255 - c.g, 255 - c.b};
                    rig.mag(code, x, y);
                    mismatches += rig.at(x, y) != c || rig.code(x, y) != code;
                }
            EXPECT_EQ(mismatches, 0u) << name << ", " << s.what;
        }
    }
}
