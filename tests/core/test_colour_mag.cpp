#include "core/effects.h"
#include "core_rig.h"

namespace {

// A 4 x 3 picture of gray 128 unless given one, painted at (1, 1) unless told.
struct Rig : Scene<> { explicit Rig(Bitmap pic = flat(4, 3, 128)) : Scene(std::move(pic)) {} };

// Every code with a colour, in the order the stripes of the photo tests use.
constexpr int32_t kCodes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                              18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 88, 99, 124, 125};

std::optional<PaletteResult> colourBy(bool tabulated, int32_t code, uint32_t source, uint32_t current, int32_t marker) {
    return tabulated ? paletteColour(code, source, current, marker) : paletteColourDirect(code, source, current, marker);
}

} // namespace

TEST(ColourMag, MakeUpCustomAndClearMergeAndKeepShiftHeldForLaterCalls) {
    // Clear keeps the colour, codes without one change nothing.
    const std::pair<int32_t, int32_t> cases[] = {{kCodeClear, 0xFFFF00}, {kCodeCustom, 0x0000FF}, {6, kMarkerMerge},
                                                 {0, kMarkerMerge},       {40, kMarkerMerge},     {127, kMarkerMerge}};
    for (const auto& [code, marker] : cases) {
        Rig rig;
        rig.mag(17, 1, 1), rig.mag(17, 2, 2);
        const std::vector<uint32_t> before = rig.colours();
        rig.s.palette.markerColour = marker;
        rig.mag(code);
        EXPECT_TRUE(rig.s.pointer.shiftHeld) << code;
        EXPECT_EQ(rig.colours() != before, code == kCodeCustom || code == 6) << code;
        EXPECT_EQ(rig.code(1, 1), code == kCodeClear || code == kCodeCustom || code == 6 ? code : 17);
        // Still held: a plain palette now merges with the existing colour.
        rig.s.palette.markerColour = 0xFFFF00;
        rig.mag(6, 2, 2);
        EXPECT_EQ(rig.rgbAt(2, 2), (Rgb{2, (219 + 166) / 2, (2 + 251) / 2})) << code;
    }
}

TEST(ColourMag, CallsThatChangeNothingAndTheBrushSkipRule) {
    struct Case { int32_t code, x, y, tool = kToolTouch; bool overwrite = false; int8_t codeBefore = 0; bool changes = false; int32_t marker = 0xFFFF00; };
    const Case cases[] = {
        {0, 1, 1}, {-128, 1, 1}, {31, 1, 1}, {87, 1, 1}, {100, 1, 1}, {126, 1, 1}, {300, 1, 1}, {INT32_MAX, 1, 1},
        {6, -1, 0}, {6, 0, -1}, {6, 4, 0}, {6, 0, 3}, {kCodeClear, 4, 3}, {6, INT32_MIN, 1}, {6, 2, 1, kToolTouch, 0, 0, 1},
        {6, 0, 2, kToolTouch, 0, 0, 1},
        // The brush skips a pixel that already has the code, unless Overwrite; a skipped one still sets Shift.
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

// Every pixel of real photographs through ColourMag against a plain reading of its steps over the untabulated palette
// colour: the tables and the fast path must not change a single pixel.
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
    for (const char* name : {"astronaut.jpg", "camera.jpg"}) {
        const Bitmap pic = photo(name);
        for (const Settings& s : settings) {
            Rig rig(pic.clone());
            const EffectSettings& fx = rig.s.effects = {.ambient = s.amb, .intensity = s.inten, .saturation = s.sat,
                                                        .lights = {false, true, false, false, true}, .invertOn = s.invert};
            rig.s.palette.damperOn = s.damper, rig.s.palette.markerColour = s.marker, rig.s.palette.blendStrength = s.strength;
            rig.s.tools.layered = s.layered;
            size_t mismatches = 0;
            // Codes run over the picture in stripes, so later codes merge with the colour earlier ones left.
            for (int32_t y = 0; y < rig.ws().height; ++y)
                for (int32_t x = 0; x < rig.w(); ++x) {
                    const int32_t code = kCodes[size_t(x / 7 + y / 5) % std::size(kCodes)];
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
                    mismatches += rig.rgbAt(x, y) != c || rig.code(x, y) != code;
                }
            EXPECT_EQ(mismatches, 0u) << name << ", " << s.what;
        }
    }
}

// Raw results for a gray source pixel at levels 0, 128 and 255: the reference values of the weights.
TEST(PaletteColour, GivesTheCheckValuesOfEveryCodeTabulatedAndDirect) {
    // -4 / 3 = -1 for code 13 at 0: integer division goes toward zero.
    struct Row { int32_t code; Rgb at0, at128, at255; };
    const Row rows[] = {
        {1, {25, 21, 0}, {167, 118, 108}, {256, 252, 250}}, {2, {32, 24, -13}, {115, 148, 62}, {274, 242, 204}},
        {3, {1, 15, -7}, {65, 180, 25}, {270, 249, 220}}, {4, {29, 0, -46}, {128, 134, 99}, {253, 250, 248}},
        {5, {-26, 41, 4}, {153, 142, 4}, {250, 231, 231}}, {6, {13, -10, 14}, {2, 166, 251}, {245, 259, 214}},
        {7, {67, 21, 81}, {112, 112, 251}, {265, 249, 255}}, {8, {11, 11, 59}, {128, 128, 139}, {258, 258, 234}},
        {9, {10, 39, 18}, {-10, 200, 131}, {242, 246, 274}}, {10, {4, -10, 76}, {-4, 187, 223}, {254, 262, 252}},
        {11, {12, 14, 7}, {184, 122, 11}, {236, 246, 255}}, {12, {5, 2, -5}, {162, 118, 90}, {255, 238, 251}},
        {13, {-1, -5, 20}, {169, 111, 93}, {259, 254, 249}}, {14, {-27, 23, 28}, {180, 124, 31}, {252, 250, 219}},
        {15, {3, -45, 315}, {79, 177, -15}, {290, 263, 119}}, {16, {16, 10, 12}, {219, 67, 89}, {250, 321, 346}},
        {17, {6, 16, 6}, {2, 219, 2}, {246, 250, 246}}, {18, {9, 17, 19}, {54, 159, 262}, {306, 426, 300}},
        {19, {11, 22, 1}, {160, 139, -1}, {259, 267, 236}}, {20, {24, 3, 33}, {229, 55, 230}, {221, 241, 227}},
        {21, {59, -26, 16}, {113, 120, 220}, {254, 257, 221}}, {22, {11, 10, 2}, {212, 110, 12}, {258, 249, 249}},
        {23, {5, 13, 13}, {-3, 191, 191}, {254, 257, 257}}, {24, {-7, -9, 2}, {90, 140, 159}, {244, 255, 249}},
        {25, {-10, 17, 3}, {119, 141, 94}, {243, 259, 259}}, {26, {8, -1, -4}, {141, 122, 116}, {263, 248, 232}},
        {27, {-27, 15, 29}, {162, 118, 90}, {252, 256, 240}}, {28, {5, -11, 24}, {197, 116, 19}, {263, 269, 215}},
        {29, {-4, -15, 62}, {253, 77, 24}, {268, 254, 239}}, {30, {-28, 5, 53}, {208, 106, 59}, {254, 269, 208}},
        {125, {0, 0, 0}, {128, 128, 128}, {255, 255, 255}}};
    const int levels[3] = {0, 128, 255};
    for (const Row& r : rows)
        for (int k = 0; k < 3; ++k)
            for (const bool tabulated : {true, false})
                EXPECT_EQ(colourBy(tabulated, r.code, gray(levels[k]), 0, 0),
                          (PaletteResult{std::array{r.at0, r.at128, r.at255}[k], levels[k]})) << "code " << r.code << " g " << levels[k];
}

TEST(PaletteColour, TablesEqualTheDirectEvaluationAtEveryLevelAndOnAColourPhoto) {
    const Bitmap pic = photo("astronaut.jpg");
    for (int32_t code : kCodes) {
        for (int g = 0; g < 256; ++g) {
            // A tinted current colour and marker so 88 and 99 are compared too.
            const uint32_t current = rgb(uint32_t(g), 255 - uint32_t(g), 40);
            EXPECT_EQ(paletteColour(code, gray(g), current, 0x102030 + g),
                      paletteColourDirect(code, gray(g), current, 0x102030 + g)) << "code " << code << " g " << g;
        }
        // Colour sources: code 13 mixes in each channel, 124 returns it.
        size_t mismatches = 0;
        for (size_t i = 0; i < pic.pixelCount(); i += 7) {
            const uint32_t s = pic.data()[i];
            mismatches += paletteColour(code, s, s, 0) != paletteColourDirect(code, s, s, 0);
        }
        EXPECT_EQ(mismatches, 0u) << "code " << code;
    }
}

// Special codes take their colour from the marker, the current colour or the source; code 13 on a coloured source
// picks the network's row by the gray (40 + 100 + 220) / 3 = 120 and mixes each channel with its own.
TEST(PaletteColour, SpecialCodesAndCodesOutsideTheDispatch) {
    const Rgb n = *evaluatePaletteNet(13, 120);
    struct Case { int32_t code; uint32_t source, current; int32_t marker; std::optional<PaletteResult> want; };
    std::vector<Case> cases = {
        {88, gray(10), gray(200), 0x0000FF, {{{255, 0, 0}, 85}}},  // marker 0x00BBGGRR
        {88, gray(10), gray(200), 0x123456, {{{0x56, 0x34, 0x12}, (0x56 + 0x34 + 0x12) / 3}}},
        {88, gray(10), gray(200), -1, {{{255, 255, 255}, 255}}},  // Make-up marker
        {99, gray(10), rgb(30, 60, 91), 0, {{{30, 60, 91}, 60}}},  // current, its own gray
        {124, rgb(10, 20, 30), gray(0), 0, {{{10, 20, 30}, 20}}}, {125, rgb(10, 20, 30), gray(0), 0, {{{20, 20, 20}, 20}}},
        {13, rgb(40, 100, 220), gray(0), 0, {{{(n.r + 80) / 3, (n.g + 200) / 3, (n.b + 440) / 3}, 120}}}};
    for (int32_t code : {0, 255, 256, 1000, -1, -13, -128, -129, INT32_MIN, INT32_MAX}) cases.push_back({code, gray(128), gray(3), 0xFF, {}});
    for (int32_t code = 31; code <= 128; ++code)
        if (code != 88 && code != 99 && code != 124 && code != 125) cases.push_back({code, gray(128), gray(3), 0xFF, {}});
    for (const Case& c : cases)
        for (const bool tabulated : {true, false})
            EXPECT_EQ(colourBy(tabulated, c.code, c.source, c.current, c.marker), c.want) << "code " << c.code;
    for (int32_t net = -2; net <= 33; ++net) {
        const bool isNet = (net >= 1 && net <= 13) || net == 15 || net == 17 || (net >= 19 && net <= 28) || net == 30;
        EXPECT_EQ(evaluatePaletteNet(net, 100).has_value(), isNet) << net;
    }
    EXPECT_FALSE(evaluatePaletteNet(2, -1) || evaluatePaletteNet(2, 256));
}
