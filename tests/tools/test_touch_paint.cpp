#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/colour_mag.h"
#include "core/palette_networks.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "test_support.h"
#include "tools/core_paint_routines.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"
#include "tools/touch_paint.h"

using namespace cw;

namespace {

using cwtest::gray;
using cwtest::networkColour;

struct Canvas : cwtest::SessionRig<cwtest::ProbeProgress, cwtest::RecordingHost> {
    explicit Canvas(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.routines = std::make_unique<CorePaintRoutines>();
        s.tools.currentTool = kToolTouch;
        s.settings.grayStep = 16;
        s.settings.integrationTolerance = 52;
        s.pointer.paintLimitRect = {0, 0, s.ws->width - 1, s.ws->height - 1};
        progress.events.clear();
    }
};

// 32 x 32, gray level (x + 32 y) mod 256: each level on four known pixels.
Bitmap ramp() {
    Bitmap b(32, 32);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = gray(uint32_t(i % 256));
    return b;
}

} // namespace

TEST(TouchPaint, ToneBandWorkedExamples) {
    struct Row {
        int32_t gray, step, tolerance;
        ToneBand band;
    };
    const Row rows[] = {
        {100, 16, 52, {48, 159}},  {255, 16, 52, {192, 255}}, {100, 16, 15, {96, 111}}, {100, 16, 0, {96, 111}},
        {100, 1, 0, {100, 100}},   {0, 16, 52, {0, 63}},      {100, 16, 16, {80, 127}}, {100, 16, 48, {48, 159}},
        {37, 256, 0, {0, 255}},    {200, 1, 256, {0, 255}},   {7, 3, 2, {6, 8}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(toneBand(r.gray, r.step, r.tolerance), r.band)
            << "gray " << r.gray << " step " << r.step << " tolerance " << r.tolerance;
}

// Every variant over a picture whose pixels carry codes 0, 5 and 127, with a
// paint limit and a seed outside it.
TEST(TouchPaint, VariantsPaintTheBandInsideTheLimitPlusTheSeed) {
    struct Row {
        bool masked, overwrite;
    };
    const Row rows[] = {{true, true}, {true, false}, {false, true}, {false, false}};
    const int32_t code = 17;
    const Rect limit{4, 2, 27, 29};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "masked " << r.masked << " overwrite " << r.overwrite);
        Canvas c(ramp());
        Workspace& ws = c.ws();
        for (size_t i = 0; i < ws.pixelCount(); ++i) ws.codes[i] = int8_t(i % 3 == 0 ? 0 : i % 3 == 1 ? 5 : 127);
        const std::vector<int8_t> before(ws.codes.get(), ws.codes.get() + ws.pixelCount());
        c.s.pointer.paintLimitRect = limit;
        // Seed (1, 3): gray 97, band 48..159, outside the limit.
        const int32_t sx = 1, sy = 3;
        touchPaint(c.s, sx, sy, code, r.masked, r.overwrite);

        size_t painted = 0;
        for (int32_t y = 0; y < 32; ++y)
            for (int32_t x = 0; x < 32; ++x) {
                const size_t i = c.at(x, y);
                const uint32_t g = grayOf(ws.source.data()[i]);
                const bool candidate = (g >= 48 && g <= 159 && x >= limit.x1 && x <= limit.x2 && y >= limit.y1 &&
                                        y <= limit.y2) ||
                                       (x == sx && y == sy);
                const bool paint = candidate && (r.overwrite || before[i] != 5);
                const uint32_t want = !paint      ? gray(g)
                                      : r.masked ? gray(g) ^ 0x0000ffffu  // marker $FFFF00: green and blue
                                                 : networkColour(code, gray(g));
                ASSERT_EQ(ws.colour.data()[i], want) << x << ',' << y;
                ASSERT_EQ(ws.display.data()[i], want) << x << ',' << y;
                ASSERT_EQ(ws.codes[i], paint ? code : before[i]) << x << ',' << y;
                painted += paint;
            }
        EXPECT_GT(painted, 100u);
        EXPECT_TRUE(ws.imageModified);
        ASSERT_EQ(c.host.changed.size(), 1u);
        EXPECT_EQ(c.host.changed[0], (Rect{1, 2, 28, 30})) << "the limit and the seed";
    }
}

TEST(TouchPaint, MaskedTintOfTheDesignExampleAndTheMakeUpMarker) {
    Bitmap b(3, 1);
    for (int x = 0; x < 3; ++x) b.at(x, 0) = gray(100);
    Canvas c(std::move(b));
    c.s.palette.markerColour = 0xFFFF00;
    touchPaintMOY(c.s, 0, 0, 3);
    EXPECT_EQ(c.ws().colour.at(2, 0), rgb(100, 155, 155));
    EXPECT_EQ(c.ws().display.at(2, 0), rgb(100, 155, 155));
    // -1 (Make-up) complements the three channels and keeps the picture opaque.
    c.s.palette.markerColour = -1;
    touchPaintMOY(c.s, 0, 0, 3);
    EXPECT_EQ(c.ws().colour.at(1, 0), rgb(155, 155, 155));
    EXPECT_EQ(c.ws().colour.at(1, 0) >> 24, 0xffu);
}

TEST(TouchPaint, ToleranceZeroAndStepOnePaintOnlyTheSeedLevel) {
    for (int32_t step : {1, 16}) {
        Canvas c(ramp());
        c.s.settings.grayStep = step;
        c.s.settings.integrationTolerance = 0;
        touchPaintIOY(c.s, 10, 0, 17);  // gray 10
        size_t painted = 0;
        for (size_t i = 0; i < c.ws().pixelCount(); ++i) {
            const uint32_t g = grayOf(c.ws().source.data()[i]);
            const bool want = step == 1 ? g == 10 : g < 16;
            EXPECT_EQ(c.ws().codes[i] == 17, want) << "gray " << g;
            painted += want;
        }
        EXPECT_EQ(painted, step == 1 ? 4u : 64u);
    }
}

TEST(TouchPaint, AbortAfterALevelKeepsTheLevelsUpToItAndTheSeed) {
    // Band 48..159; poll n stands for the end of level 47 + n.
    for (uint64_t poll : {1u, 2u, 16u, 17u, 40u, 112u}) {
        Canvas c(ramp());
        c.progress.abortAtPoll = poll;
        touchPaintMOY(c.s, 4, 3, 9);  // gray 100
        const uint32_t last = 47 + uint32_t(poll);
        for (size_t i = 0; i < c.ws().pixelCount(); ++i) {
            const uint32_t g = grayOf(c.ws().source.data()[i]);
            ASSERT_EQ(c.ws().codes[i] == 9, (g >= 48 && g <= last) || i == c.at(4, 3)) << "gray " << g << " poll " << poll;
        }
        EXPECT_EQ(c.progress.polls, poll);
        EXPECT_FALSE(c.progress.locked());
        EXPECT_FALSE(c.progress.visible());
        EXPECT_TRUE(c.ws().imageModified);
    }
}

TEST(TouchPaint, MeterShowsThePhaseWithoutGaugeAndPollsOncePerLevel) {
    Canvas c(ramp());
    touchPaintION(c.s, 4, 3, 9);
    EXPECT_EQ(c.progress.polls, 159u - 48u + 1u);
    EXPECT_FALSE(c.progress.gaugeSeenAtPoll);
    EXPECT_FALSE(c.progress.unlockedAtPoll);
    EXPECT_EQ(c.progress.phases.back(), kTouchPaintPhase);
    EXPECT_EQ(c.progress.events, (std::vector<std::string>{"lock", "show", "hide", "unlock"}));
    EXPECT_TRUE(c.progress.gaugeVisible());
    EXPECT_TRUE(c.progress.gaugeTextVisible());
}

// Layered colours merge with what is there: the seed, which the walk meets
// again in its own level, must still be coloured once like its peers.
TEST(TouchPaint, LayeredFillColoursTheSeedOnceLikeItsLevel) {
    Canvas c(ramp());
    c.s.tools.layered = true;
    c.s.palette.damperOn = true;
    c.s.palette.blendStrength = 1;
    touchPaintIOY(c.s, 4, 3, 17);  // gray 100, also at (4, 11), (4, 19), (4, 27)
    const uint32_t seed = c.ws().colour.at(4, 3);
    EXPECT_NE(seed, gray(100));
    EXPECT_EQ(seed, c.ws().colour.at(4, 11));
    EXPECT_EQ(seed, c.ws().colour.at(4, 27));
}

TEST(TouchPaint, SeedOffThePictureDoesNothing) {
    Canvas c(ramp());
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {32, 0}, {0, 32}}) {
        touchPaintIOY(c.s, x, y, 17);
        touchPaintMON(c.s, x, y, 17);
    }
    for (size_t i = 0; i < c.ws().pixelCount(); ++i) ASSERT_EQ(c.ws().codes[i], 0);
    EXPECT_TRUE(c.progress.events.empty());
    EXPECT_FALSE(c.ws().imageModified);
}

// A real photograph: the painted pixels are exactly those of the band's
// levels (found by scanning the picture, not through the buckets), and the
// pixels already painted with another code stay in the N variant.
TEST(TouchPaint, PhotographBandMatchesAFullScan) {
    Canvas c(decodeJpegFile(cwtest::testdata("photos/camera.jpg")));
    Workspace& ws = c.ws();
    ASSERT_EQ(ws.width, 512);
    const int32_t sx = 300, sy = 100;
    const uint32_t seedGray = grayOf(ws.source.at(sx, sy));
    const ToneBand band = toneBand(int32_t(seedGray), 16, 52);
    for (size_t i = 0; i < ws.pixelCount(); i += 7) ws.codes[i] = 4;
    const std::vector<int8_t> before(ws.codes.get(), ws.codes.get() + ws.pixelCount());
    c.s.pointer.paintLimitRect = {100, 50, 400, 460};
    touchPaintION(c.s, sx, sy, 6);
    size_t painted = 0;
    for (int32_t y = 0; y < ws.height; ++y)
        for (int32_t x = 0; x < ws.width; ++x) {
            const size_t i = c.at(x, y);
            const int32_t g = int32_t(grayOf(ws.source.data()[i]));
            const bool inside = x >= 100 && x <= 400 && y >= 50 && y <= 460;
            const bool want = ((inside && g >= band.lo && g <= band.hi) || (x == sx && y == sy)) && before[i] != 4;
            ASSERT_EQ(ws.codes[i], want ? 6 : before[i]) << x << ',' << y;
            if (want) ASSERT_EQ(ws.colour.data()[i], networkColour(6, ws.source.data()[i]));
            else ASSERT_EQ(ws.colour.data()[i], ws.source.data()[i]);
            painted += want;
        }
    EXPECT_GT(painted, 10000u);
}

// The fill must colour each pixel as ColourMag does, whatever the settings:
// a colour photograph (no Force Gray), with effects, merging, inversion.
TEST(TouchPaint, InteractiveFillColoursLikeColourMagPerPixel) {
    struct Row {
        const char* what;
        int32_t code;
        void (*set)(Session&);
    };
    const Row rows[] = {
        {"plain network", 17, [](Session&) {}},
        {"effects and invert", 6,
         [](Session& s) {
             s.effects.saturation = 4;
             s.effects.ambient = -3;
             s.effects.invertOn = true;
         }},
        {"damper", 21,
         [](Session& s) {
             s.palette.damperOn = true;
             s.palette.blendStrength = 3;
         }},
        {"layered", 9, [](Session& s) { s.tools.layered = true; }},
        {"network 13 blend", 13, [](Session&) {}},
        {"original with effects", 124, [](Session& s) { s.effects.intensity = 5; }},
        {"brush skip rule", 17, [](Session& s) { s.tools.currentTool = kToolBrush; }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Canvas c(decodeJpegFile(cwtest::testdata("photos/astronaut.jpg")));
        Canvas ref(decodeJpegFile(cwtest::testdata("photos/astronaut.jpg")));
        for (Canvas* k : {&c, &ref}) {
            r.set(k->s);
            for (size_t i = 0; i < k->ws().pixelCount(); i += 5) {
                k->ws().colour.data()[i] = rgb(uint32_t(i) & 255, 90, 200);
                k->ws().codes[i] = 17;
            }
        }
        const int32_t sx = 200, sy = 300;
        touchPaintIOY(c.s, sx, sy, r.code);

        Workspace& w = ref.ws();
        const ColourMagContext ctx{w, ref.s.palette, ref.s.effects, paintRules(ref.s.tools), ref.s.pointer.shiftHeld};
        const ToneBand band = toneBand(int32_t(grayOf(w.source.at(sx, sy))), 16, 52);
        colourMag(ctx, r.code, sx, sy);
        w.codes[ref.at(sx, sy)] = int8_t(r.code);
        for (int32_t y = 0; y < w.height; ++y)
            for (int32_t x = 0; x < w.width; ++x) {
                const int32_t g = int32_t(grayOf(w.source.at(x, y)));
                if (g < band.lo || g > band.hi || (x == sx && y == sy)) continue;
                colourMag(ctx, r.code, x, y);
                w.codes[ref.at(x, y)] = int8_t(r.code);
            }
        ASSERT_EQ(std::memcmp(c.ws().colour.data(), w.colour.data(), w.pixelCount() * 4), 0);
        ASSERT_EQ(std::memcmp(c.ws().codes.get(), w.codes.get(), w.pixelCount()), 0);
    }
}

TEST(TouchPaint, ClickThroughTheGesturesPaintsTheBand) {
    Canvas c(ramp());
    selectTool(c.s.tools, kToolTouch);
    c.s.tools.scope = kScopeImageWide;
    c.s.tools.overwrite = false;
    c.s.palette.paletteCode = 17;
    c.ws().codes[c.at(4, 11)] = 127;  // gray 100 too: painted over
    pointerMove(c.s, false, 4, 3);
    pointerPress(c.s, MouseButton::Left, false, 4, 3);
    pointerClick(c.s);
    pointerUp(c.s, MouseButton::Left, false, 4, 3);
    for (size_t i = 0; i < c.ws().pixelCount(); ++i) {
        const uint32_t g = grayOf(c.ws().source.data()[i]);
        ASSERT_EQ(c.ws().codes[i] == 17, g >= 48 && g <= 159) << "gray " << g;
    }
    EXPECT_EQ(c.ws().codes[c.at(4, 11)], 17);
    EXPECT_EQ(std::memcmp(c.ws().display.data(), c.ws().colour.data(), c.ws().pixelCount() * 4), 0);
    EXPECT_FALSE(c.host.changed.empty());
}
