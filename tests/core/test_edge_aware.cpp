#include <cmath>

#include "core/edge_aware_fill.h"
#include "core/natural_light.h"
#include "core_rig.h"

namespace {

using FScene = Scene<cwtest::ProbeProgress>;

// A picture of regions with grain: the region of each pixel, its tone, and
// noise of the given spread drawn from a fixed seed.
struct Regions {
    int w, h;
    std::vector<int> region;
    Bitmap picture(const std::vector<int>& tones, double grain) const {
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0, grain);
        return coretest::picture(w, h, [&](int x, int y) {
            return std::clamp(int(std::lround(tones[size_t(region[size_t(y * w + x)])] + noise(rng))), 0, 255);
        });
    }
};

Regions regionsOf(int w, int h, auto regionAt) {
    Regions r{w, h, std::vector<int>(size_t(w * h))};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) r.region[size_t(y * w + x)] = regionAt(x, y);
    return r;
}

struct Stroke { int x, y, code; };

void paintStroke(FScene& sc, const Stroke& s) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -2; dx <= 2; ++dx) sc.paint(s.x + dx, s.y + dy, s.code);
}

} // namespace

TEST(EdgeAwareFill, EachRegionTakesItsOwnStrokesCode) {
    struct Case {
        const char* name;
        Regions regions;
        std::vector<int> tones;
        double grain;
        std::vector<Stroke> strokes;  // stroke i lies in region i
    };
    const Case cases[] = {
        {"three bands, steps of 30, grain 6", regionsOf(90, 40, [](int x, int) { return x / 30; }), {60, 90, 120}, 6,
         {{15, 20, 1}, {45, 5, 6}, {75, 35, 24}}},
        {"a disc inside a field, a step of 20", regionsOf(64, 64, [](int x, int y) {
             return (x - 40) * (x - 40) + (y - 30) * (y - 30) < 15 * 15;
         }), {100, 120}, 4, {{8, 8, 1}, {40, 30, 17}}},
        {"quarters touching at their corners only", regionsOf(60, 60, [](int x, int y) {
             return (x < 30) == (y < 30) ? (x < 30 ? 0 : 2) : (x < 30 ? 1 : 3);
         }), {50, 170, 60, 160}, 5, {{10, 10, 3}, {10, 50, 5}, {50, 50, 9}, {50, 10, 12}}},
        {"a thin band between two fields", regionsOf(80, 40, [](int, int y) { return y < 18 ? 0 : y < 23 ? 1 : 2; }),
         {80, 180, 90}, 4, {{40, 6, 1}, {60, 20, 13}, {20, 33, 27}}},
        {"one grainy field, two strokes share it by distance", regionsOf(60, 60, [](int, int y) { return y < 30; }),
         {120, 120}, 4, {{30, 49, 6}, {30, 10, 1}}},
    };
    for (const Case& c : cases) {
        FScene sc(c.regions.picture(c.tones, c.grain));
        for (const Stroke& s : c.strokes) paintStroke(sc, s);
        sc.s.controls.finishMode = kFinishEdgeAware;
        autoFinishClick(sc.s);
        size_t own = 0;
        for (size_t i = 0; i < c.regions.region.size(); ++i)
            own += sc.ws().codes[i] == c.strokes[size_t(c.regions.region[i])].code;
        EXPECT_GE(double(own) / double(c.regions.region.size()), 0.99) << c.name;
        EXPECT_EQ(sc.count(0), 0u) << c.name << ": every pixel is reached";

        // The designed vote, from the same strokes, spreads them across the edges.
        FScene rays(c.regions.picture(c.tones, c.grain));
        for (const Stroke& s : c.strokes) paintStroke(rays, s);
        autoFinishClick(rays.s);
        EXPECT_NE(rays.codes(), sc.codes()) << c.name;
    }
}

TEST(EdgeAwareFill, ColoursThroughColourMagAndCustomStrokesLendTheirColour) {
    const Regions halves = regionsOf(40, 20, [](int x, int) { return x / 20; });
    FScene sc(halves.picture({80, 160}, 0));
    FScene designed(halves.picture({80, 160}, 0));
    paintStroke(sc, {10, 10, 6});
    sc.s.palette.markerColour = 0x0000C0;  // red, as 0x00BBGGRR
    paintStroke(sc, {30, 10, kCodeCustom});
    sc.s.palette.markerColour = 0xC00000;  // the current Custom colour is now blue
    sc.s.pointer.shiftHeld = false;
    runFinishup(sc.s, FinishupMode::FillEdgeAware);
    // Left: palette 6 at each pixel's own level, as ColourMag gives it.
    designed.mag(6, 0, 0);
    EXPECT_EQ(sc.ws().colour.at(0, 0), designed.ws().colour.at(0, 0));
    EXPECT_EQ(sc.code(0, 0), 6);
    // Right: the red of its stroke, not the blue now chosen.
    const Rgb right = sc.rgbAt(39, 19);
    EXPECT_EQ(sc.code(39, 19), kCodeCustom);
    EXPECT_GT(right.r, right.b + 40);
    EXPECT_EQ(sc.rgbAt(39, 19), sc.rgbAt(25, 2)) << "flat tone, flat colour";
    EXPECT_TRUE(sc.s.pointer.shiftHeld) << "as a Custom colour through ColourMag leaves it";
}

TEST(EdgeAwareFill, AnAbortLeavesEachPixelAsBeforeOrFinished) {
    const Regions bands = regionsOf(300, 240, [](int x, int y) { return x / 100 + 3 * (y / 120); });
    const Bitmap pic = bands.picture({40, 90, 140, 190, 60, 230}, 5);
    const std::vector<Stroke> strokes{{50, 60, 1}, {150, 60, 6}, {250, 60, 17}, {50, 180, 24}, {150, 180, 27}, {250, 180, 3}};
    FScene whole(pic.clone());
    for (const Stroke& s : strokes) paintStroke(whole, s);
    runFinishup(whole.s, FinishupMode::FillEdgeAware);
    const uint64_t polls = whole.progress.polls;
    ASSERT_GT(polls, uint64_t(2 * bands.h)) << "the smoothing and the rows are polled";
    for (uint64_t abortAt : {uint64_t(1), uint64_t(bands.h / 2), polls - bands.h - 40, polls - bands.h / 2}) {
        FScene sc(pic.clone());
        for (const Stroke& s : strokes) paintStroke(sc, s);
        const std::vector<int8_t> codes = sc.codes();
        const std::vector<uint32_t> colours = sc.colours();
        sc.progress.abortAtPoll = abortAt;
        runFinishup(sc.s, FinishupMode::FillEdgeAware);
        const std::vector<int8_t> codesAfter = sc.codes(), codesDone = whole.codes();
        const std::vector<uint32_t> coloursAfter = sc.colours(), coloursDone = whole.colours();
        size_t finished = 0;
        for (size_t i = 0; i < codes.size(); ++i) {
            const bool before = codesAfter[i] == codes[i] && coloursAfter[i] == colours[i];
            const bool done = codesAfter[i] == codesDone[i] && coloursAfter[i] == coloursDone[i];
            ASSERT_TRUE(before || done) << "abort at poll " << abortAt << ", pixel " << i;
            finished += !before;
        }
        EXPECT_EQ(finished > 0, abortAt > polls - bands.h - 50) << "only the rows' part writes, abort " << abortAt;
        EXPECT_TRUE(sc.displayIsColour() && !sc.progress.locked());
    }
}

TEST(NaturalLight, WrittenColoursKeepTheSourcesLightnessAndTheDesignedHue) {
    struct Case {
        const char* name;
        int code;
        int intensity;
        bool damper;
    };
    const Case cases[] = {{"a table palette", 6, 0, false},
                          {"another", 24, 0, false},
                          {"network 13, mixed with the source", 13, 0, false},
                          {"with an effect", 17, 3, false},
                          {"merged with the gray", 1, 0, true},
                          {"Custom", kCodeCustom, 0, false}};
    for (const Case& c : cases) {
        FScene designed(ramp(16, 16)), natural(ramp(16, 16));
        for (FScene* sc : {&designed, &natural}) {
            sc->s.effects.intensity = c.intensity;
            sc->s.palette.damperOn = c.damper;
            sc->s.palette.markerColour = 0x2080E0;
        }
        natural.s.effects.naturalLight = true;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) designed.mag(c.code, x, y), natural.mag(c.code, x, y);
        EXPECT_EQ(natural.codes(), designed.codes()) << c.name;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const int g = grayOf(channelsOf(natural.ws().source.at(x, y)));
                const Lab out = labOf(natural.ws().colour.at(x, y)), want = labOf(designed.ws().colour.at(x, y));
                ASSERT_NEAR(out.l, lightnessOfGray(g), 1.0) << c.name << " at gray " << g;
                // The hue, where the colour left enough chroma to have one.
                if (std::hypot(out.a, out.b) > 8 && std::hypot(want.a, want.b) > 8) {
                    const double turn = std::remainder(std::atan2(out.b, out.a) - std::atan2(want.b, want.a), 2 * M_PI);
                    ASSERT_LT(std::abs(turn), 0.12) << c.name << " at gray " << g;
                }
            }
    }
}

TEST(NaturalLight, ColoursInsideTheGamutKeepTheirChromaAndGraysStayGray) {
    for (int g : {0, 1, 37, 128, 200, 254, 255}) EXPECT_EQ(naturalColour(gray(uint32_t(g)), g), gray(uint32_t(g)));
    // A colour whose lightness already is the gray's comes back as it was, give or take rounding.
    const uint32_t tan = rgb(181, 140, 110);
    int best = 0;
    for (int v = 0; v < 256; ++v)
        if (std::abs(lightnessOfGray(v) - labOf(tan).l) < std::abs(lightnessOfGray(best) - labOf(tan).l)) best = v;
    const Lab back = labOf(naturalColour(tan, best)), was = labOf(tan);
    EXPECT_NEAR(back.a, was.a, 1.5);
    EXPECT_NEAR(back.b, was.b, 1.5);
    // Saturated blue at a light gray cannot keep its chroma: less of it, same hue, still inside.
    const Lab blue = labOf(rgb(0, 0, 255)), light = labOf(naturalColour(rgb(0, 0, 255), 230));
    EXPECT_LT(std::hypot(light.a, light.b), std::hypot(blue.a, blue.b) * 0.6);
    EXPECT_NEAR(std::atan2(light.b, light.a), std::atan2(blue.b, blue.a), 0.05);
}
