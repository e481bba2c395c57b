// The four painters (image-wide and connected Touch-paint, the brush, the
// selection) as the tools call them, judged pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/brush_stroke.h"
#include "core/colour_mag.h"
#include "core/connected_fill.h"
#include "core/selection_fill.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "test_support.h"
#include "tools/brush_tool.h"
#include "tools/colouring.h"
#include "tools/connected_paint.h"
#include "tools/image_wide_paint.h"
#include "tools/interaction.h"
#include "tools/selection_painting.h"
#include "tools/tool_choice.h"

using namespace cw; using cwtest::gray; using cwtest::networkColour; using Map = std::vector<std::string>;

namespace {

bool inside(const Rect& r, int32_t x, int32_t y) { return x >= r.x1 && x <= r.x2 && y >= r.y1 && y <= r.y2; }

struct Canvas : cwtest::SessionRig<cwtest::ProbeProgress, cwtest::RecordingHost> {
    explicit Canvas(Bitmap picture, int32_t tool = kToolTouch) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        selectTool(s.tools, tool);
        s.tools.overwrite = s.tools.layered = false; s.markUpGrayStep = 16;
        s.controls.integration = 52;
        s.pointer.paintLimitRect = {0, 0, s.ws->width - 1, s.ws->height - 1}; progress.events.clear();
    }
    Workspace& w() const { return *s.ws; }
    std::vector<int8_t> codes() const { return {s.ws->codes.get(), s.ws->codes.get() + s.ws->pixelCount()}; }
    ColourMagContext ctx() { return colouring(s); }
    void each(const std::function<void(int32_t, int32_t, size_t)>& f) const {
        for (int32_t y = 0; y < s.ws->height; ++y)
            for (int32_t x = 0; x < s.ws->width; ++x) f(x, y, at(x, y));
    }
    // Marks the pixels carrying `code` as '#'.
    Map map(int8_t code) const {
        Map rows(size_t(s.ws->height), std::string(size_t(s.ws->width), '.'));
        each([&](int32_t x, int32_t y, size_t) { if (this->code(x, y) == code) rows[size_t(y)][size_t(x)] = '#'; });
        return rows;
    }
    // Codes 0, 5 and 127 in turn; the painted (5) pixels get `paint` if given.
    std::vector<int8_t> mixCodes(uint32_t paint = 0) {
        for (size_t i = 0; i < w().pixelCount(); ++i) {
            w().codes[i] = int8_t(i % 3 == 0 ? 0 : i % 3 == 1 ? 5 : 127);
            if (paint && w().codes[i] == 5) w().colour.data()[i] = w().display.data()[i] = paint;
        }
        return codes();
    }
    void press(const Rect& window, uint32_t picked) { s.gesture.toolRect = s.gesture.prevToolRect = window, s.gesture.pickedColour = picked; }
    void squareBrush(int32_t code, int32_t size = 0) {
        s.tools.rounded = false; s.palette.paletteCode = code;
        if (size) s.tools.brushWidth = s.tools.brushWidthField = s.tools.brushHeight = s.tools.brushHeightField = size;
    }
    void drag(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        pointerMove(s, false, x1, y1); pointerPress(s, MouseButton::Left, false, x1, y1);
        pointerMove(s, false, (x1 + x2) / 2, (y1 + y2) / 2); pointerMove(s, false, x2, y2); pointerClick(s);
        pointerUp(s, MouseButton::Left, false, x2, y2);
    }
    // A fill's meter: a phase but no gauge, the windows locked until the end.
    void expectFillMeter() const {
        EXPECT_EQ(progress.events, (std::vector<std::string>{"lock", "show", "hide", "unlock"}));
        EXPECT_EQ(progress.phases.back(), kTouchPaintPhase); EXPECT_FALSE(progress.gaugeSeenAtPoll);
        EXPECT_FALSE(progress.unlockedAtPoll);
    }
};

Bitmap flat(int32_t w, int32_t h, uint32_t level = 100) {
    Bitmap b(w, h); std::fill(b.data(), b.data() + b.pixelCount(), gray(level));
    return b;
}
// 32 x 32, gray level (x + 33 y) mod 256: each level on four pixels, in
// four columns.
Bitmap ramp() {
    Bitmap b(32, 32);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = gray(uint32_t((i + i / 32) % 256));
    return b;
}
Bitmap photo(const char* name = "camera.jpg") { return decodeJpegFile(cwtest::testdata(std::string("photos/") + name)); }

} // namespace

TEST(Fills, ToneRulesOfBothScopes) {
    struct Band { int32_t gray, step, tolerance; ToneBand band; };
    for (const Band& r : {Band{100, 16, 52, {48, 159}}, Band{255, 16, 52, {192, 255}}, Band{100, 16, 15, {96, 111}},
                          Band{100, 16, 0, {96, 111}}, Band{100, 1, 0, {100, 100}}, Band{0, 16, 52, {0, 63}},
                          Band{100, 16, 16, {80, 127}}, Band{100, 16, 48, {48, 159}}, Band{37, 256, 0, {0, 255}},
                          Band{200, 1, 256, {0, 255}}, Band{7, 3, 2, {6, 8}}})
        EXPECT_EQ(toneBand(r.gray, r.step, r.tolerance), r.band) << r.gray << ' ' << r.step << ' ' << r.tolerance;
    struct Accept { int32_t tone, seed, step, tolerance; bool accepted; };
    for (const Accept& r : {Accept{144, 100, 16, 52, true}, Accept{48, 100, 16, 52, true}, Accept{160, 100, 16, 52, false},
                            Accept{32, 100, 16, 52, false}, Accept{144, 100, 16, 48, false}, Accept{48, 100, 16, 48, false},
                            Accept{128, 100, 16, 48, true}, Accept{100, 100, 16, 0, false}, Accept{111, 100, 16, 1, true},
                            Accept{112, 100, 16, 16, false}, Accept{101, 100, 1, 2, true}, Accept{102, 100, 1, 2, false}})
        EXPECT_EQ(connectedToneAccepts(r.tone, r.seed, r.step, r.tolerance), r.accepted)
            << r.tone << " vs " << r.seed << ' ' << r.step << ' ' << r.tolerance;
}

// Pictures built with the index of their pixels by gray level (as large ones
// are, whose image-wide fills walk their band's levels) or without.
struct LevelIndex {
    const size_t usual = levelIndexFrom();
    explicit LevelIndex(bool on) { setLevelIndexFrom(on ? 0 : size_t(1) << 40); }
    ~LevelIndex() { setLevelIndexFrom(usual); }
};

// Every image-wide routine over pixels carrying codes 0, 5 and 127, with a
// paint limit (inside the width, from its left edge, or all of it) and a
// seed outside it. Poll n ends level 47 + n of the band 48..159.
TEST(Fills, ImageWideRoutinesPaintTheBandInsideTheLimitPlusTheSeed) {
    struct Row { bool masked, overwrite; uint64_t abortAtPoll; /* 0: none */ Rect limit = {4, 2, 27, 29}; };
    const Rect left{0, 4, 27, 29}, all{0, 4, 31, 29};
    const Row rows[] = {{true, true, 0},   {true, false, 0},  {false, true, 0},       {false, false, 0},
                        {true, true, 1},   {true, false, 2},  {false, true, 17},      {true, true, 112},
                        {false, true, 0, all}, {false, false, 0, all}, {true, false, 0, all}, {false, false, 9, all},
                        {false, false, 0, left}};
    for (const bool indexed : {false, true})
    for (const Row& r : rows) {
        const LevelIndex index(indexed);
        const Rect limit = r.limit;
        SCOPED_TRACE(testing::Message() << "masked " << r.masked << " overwrite " << r.overwrite << " abort " << r.abortAtPoll
                                        << " limit x " << limit.x1 << ".." << limit.x2 << " indexed " << indexed);
        Canvas c(ramp()); Workspace& ws = c.w(); const std::vector<int8_t> before = c.mixCodes();
        c.s.pointer.paintLimitRect = limit; c.progress.abortAtPoll = r.abortAtPoll;
        paintImageWide(c.s, 1, 3, 17, r.masked, r.overwrite);  // gray 100: band 48..159
        const uint32_t last = r.abortAtPoll ? 47 + uint32_t(r.abortAtPoll) : 159;
        c.each([&](int32_t x, int32_t y, size_t i) {
            const uint32_t g = grayOf(ws.source.data()[i]);
            const bool paint = ((g >= 48 && g <= last && inside(limit, x, y)) || (x == 1 && y == 3)) && (r.overwrite || before[i] != 5);
            const uint32_t want = !paint ? gray(g) : r.masked ? gray(g) ^ 0x0000ffffu : networkColour(17, gray(g));
            ASSERT_EQ(ws.colour.data()[i], want) << x << ',' << y;
            ASSERT_EQ(ws.display.data()[i], want) << x << ',' << y;
            ASSERT_EQ(ws.codes[i], paint ? 17 : before[i]) << x << ',' << y;
        });
        EXPECT_TRUE(ws.imageModified);
        const Rect changed{std::min(1, limit.x1), std::min(3, limit.y1), limit.x2 + 1, limit.y2 + 1};
        EXPECT_EQ(c.host.changed, std::vector<Rect>{changed}) << "the limit and the seed";
        EXPECT_EQ(c.progress.polls, r.abortAtPoll ? r.abortAtPoll : 112u);
        c.expectFillMeter();
        EXPECT_TRUE(c.progress.gaugeVisible()); EXPECT_FALSE(c.progress.visible());
    }
    // The Make-up marker (-1) complements all three channels and stays opaque.
    Canvas c(flat(3, 1)); c.s.palette.markerColour = -1; paintImageWide(c.s, 0, 0, 3, true, true);
    EXPECT_EQ(c.w().colour.at(1, 0), rgb(155, 155, 155));
    EXPECT_EQ(c.w().colour.at(1, 0) >> 24, 0xffu);
}

TEST(Fills, SeedOffThePictureDoesNothing) {
    Canvas c(ramp());
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {32, 0}, {0, 32}}) {
        paintImageWide(c.s, x, y, 17, false, true); paintImageWide(c.s, x, y, 17, true, false);
        paintConnected(c.s, x, y, 3, true); paintConnected(c.s, x, y, 17, false);
    }
    EXPECT_EQ(c.map(0), Map(32, std::string(32, '#'))); EXPECT_TRUE(c.progress.events.empty());
    EXPECT_TRUE(c.host.changed.empty()); EXPECT_FALSE(c.w().imageModified);
}

// Without Overwrite a painted seed keeps its code while its band is painted;
// a connected fill whose tolerance passes no tone paints the unpainted seed alone.
TEST(Fills, PaintedSeedAndAToleranceThatPassesNoTone) {
    Canvas c(flat(8, 8));
    c.w().codes[0] = 5;
    paintImageWide(c.s, 0, 0, 17, true, false);
    EXPECT_EQ(c.code(0, 0), 5); EXPECT_EQ(c.code(7, 7), 17);
    Canvas d(flat(8, 8));
    d.s.controls.integration = 0;
    paintConnected(d.s, 3, 3, 17, true);
    Map seedOnly(8, std::string(8, '.'));
    seedOnly[3][3] = '#';
    EXPECT_EQ(d.map(17), seedOnly);
}

// An Interactive fill colours each painted pixel exactly as one ColourMag
// call would, whatever the settings: a second call would merge with the
// first's result. On a colour photograph, with effects, merging, inversion.
TEST(Fills, InteractiveFillsColourEachPixelOnceLikeColourMag) {
    // blend > 0: the Damper on.
    struct Row { const char* what; bool connected; int32_t code, saturation, ambient, intensity, blend; bool invert, layered; int32_t tool; int32_t tolerance = 52; };
    const Row rows[] = {
        {"plain network", false, 17, 0, 0, 0, 0, false, false, kToolTouch},
        {"effects and invert", false, 6, 4, -3, 0, 0, true, false, kToolTouch},
        {"damper", false, 21, 0, 0, 0, 3, false, false, kToolTouch},
        {"layered", false, 9, 0, 0, 0, 0, false, true, kToolTouch},
        {"network 13 blend", false, 13, 0, 0, 0, 0, false, false, kToolTouch},
        {"original with effects", false, 124, 0, 0, 5, 0, false, false, kToolTouch},
        {"brush skip rule", false, 17, 0, 0, 0, 0, false, false, kToolBrush},
        {"brush skip rule, one bucket", false, 17, 0, 0, 0, 0, false, false, kToolBrush, 0},
        {"layered, one bucket", false, 9, 0, 0, 0, 0, false, true, kToolTouch, 0},
        {"connected, layered with effects", true, 17, 4, 0, -3, 0, false, true, kToolTouch},
    };
    for (const bool indexed : {false, true})
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.what << (indexed ? ", indexed" : ""));
        const LevelIndex index(indexed);
        Canvas c(photo("astronaut.jpg")), ref(photo("astronaut.jpg"));
        for (Canvas* k : {&c, &ref}) {
            k->s.effects.saturation = r.saturation, k->s.effects.ambient = r.ambient, k->s.effects.intensity = r.intensity;
            k->s.effects.invertOn = r.invert; k->s.palette.damperOn = r.blend > 0;
            k->s.palette.blendStrength = std::max(r.blend, 1); k->s.tools.layered = r.layered;
            k->s.tools.currentTool = r.tool; k->s.controls.integration = r.tolerance;
            for (size_t i = 0; i < k->w().pixelCount(); i += 5) {
                // Some keep the source's colour under their code.
                if (i % 10) k->w().colour.data()[i] = rgb(uint32_t(i) & 255, 90, 200);
                k->w().codes[i] = r.connected ? 127 : 17;
            }
        }
        const int32_t sx = 200, sy = 300;
        r.connected ? paintConnected(c.s, sx, sy, r.code, false) : paintImageWide(c.s, sx, sy, r.code, false, true);
        Workspace& w = ref.w(); const ToneBand band = toneBand(int32_t(grayOf(w.source.at(sx, sy))), 16, r.tolerance);
        size_t painted = 0;
        ref.each([&](int32_t x, int32_t y, size_t i) {
            const int32_t g = int32_t(grayOf(w.source.at(x, y)));
            if (r.connected ? c.code(x, y) != r.code : (g < band.lo || g > band.hi) && (x != sx || y != sy)) return;
            colourMag(ref.ctx(), r.code, x, y); w.codes[i] = int8_t(r.code); ++painted;
        });
        EXPECT_GT(painted, 1000u);
        ASSERT_EQ(std::memcmp(c.w().colour.data(), w.colour.data(), w.pixelCount() * 4), 0);
        ASSERT_EQ(c.codes(), ref.codes());
        for (size_t i = 0; r.connected && i < w.pixelCount(); ++i)
            ASSERT_EQ(c.w().display.data()[i], c.w().codes[i] == r.code ? w.colour.data()[i] : w.source.data()[i]) << i;
    }
}

// A picture drawn in characters. Dark: '#' must be painted, 'x' must not,
// '7' carries code 127 and must be painted, '5' and the seed 'S' carry code
// 5 and keep it. '.' is light.
TEST(Fills, ConnectedPaintsTheUnpaintedRegionAroundTheSeed) {
    struct Case { const char* what; Map rows; int32_t sx, sy; };
    const Case cases[] = {
        {"diagonal chain", {"#...", ".#..", "..#.", "...#"}, 0, 0},
        {"light gap separates", {"##.x", "##.x", "...x", "xxxx"}, 1, 1},
        {"painted pixels block", {"#5x", "55x", "xxx"}, 0, 0},
        {"code 127 is painted over", {"#7#7#", "....."}, 2, 0},
        {"painted seed still spreads", {"#S#", "...", "x.x"}, 1, 0},
        {"one pixel wide", {"#", "#", "#", ".", "x"}, 0, 1},
        {"one pixel high", {"##.x"}, 1, 0},
    };
    for (bool masked : {true, false})
        for (const Case& k : cases) {
            SCOPED_TRACE(testing::Message() << k.what << (masked ? " (Mask'ed)" : " (Interactive)"));
            Bitmap b(int32_t(k.rows[0].size()), int32_t(k.rows.size()));
            auto ch = [&](int32_t x, int32_t y) { return k.rows[size_t(y)][size_t(x)]; };
            for (int32_t y = 0; y < b.height(); ++y)
                for (int32_t x = 0; x < b.width(); ++x) b.at(x, y) = gray(ch(x, y) == '.' ? 200 : 40);
            Canvas c(std::move(b));
            c.each([&](int32_t x, int32_t y, size_t i) {
                c.w().codes[i] = int8_t(ch(x, y) == '7' ? 127 : ch(x, y) == '5' || ch(x, y) == 'S' ? 5 : 0);
            });
            paintConnected(c.s, k.sx, k.sy, 17, masked);
            const uint32_t tint = masked ? maskedPixel(gray(40), c.s.palette.markerColour) : networkColour(17, gray(40));
            c.each([&](int32_t x, int32_t y, size_t) {
                const bool painted = ch(x, y) == '#' || ch(x, y) == '7';
                EXPECT_EQ(c.code(x, y), painted ? 17 : ch(x, y) == '5' || ch(x, y) == 'S' ? 5 : 0) << x << ',' << y;
                EXPECT_EQ(c.w().colour.at(x, y), painted ? tint : c.w().source.at(x, y)) << x << ',' << y;
                EXPECT_EQ(c.w().display.at(x, y), c.w().colour.at(x, y)) << x << ',' << y;
            });
            EXPECT_TRUE(c.w().imageModified);
        }
}

// Codes whose byte is 0 or 127 leave a painted pixel unpainted; the fill
// must still end and visit each pixel once: a second XOR would undo the
// first. The meter ends full.
TEST(Fills, ConnectedVisitsEachPixelOnceWhateverTheCode) {
    for (int32_t code : {0, 127, 256, 383, 17}) {
        SCOPED_TRACE(testing::Message() << "code " << code);
        Canvas c(flat(9, 6)); c.w().codes[c.at(4, 4)] = 127; paintConnected(c.s, 2, 3, code, true);
        for (size_t i = 0; i < c.w().pixelCount(); ++i) {
            ASSERT_EQ(c.w().colour.data()[i], maskedPixel(gray(100), c.s.palette.markerColour)) << i;
            ASSERT_EQ(c.w().codes[i], int8_t(uint8_t(code))) << i;
        }
        EXPECT_EQ(c.progress.polls, c.w().pixelCount());
        c.expectFillMeter();
        EXPECT_EQ(c.progress.progress(), 100) << "the queue ran empty";
        EXPECT_EQ(c.host.changed, (std::vector<Rect>{{0, 0, 9, 6}}));
    }
    // Interactive with code 0: no colour, but code 127 pixels become 0.
    Canvas c(flat(9, 6));
    for (size_t i = 0; i < c.w().pixelCount(); i += 2) c.w().codes[i] = 127;
    paintConnected(c.s, 0, 0, 0, false);
    EXPECT_EQ(c.map(0), Map(6, std::string(9, '#')));
    EXPECT_TRUE(cwtest::samePixels(c.w().colour, c.w().source));
}

// Beyond one batch of painting (4M appends), wherever it stops: against a
// literal breadth-first fill that paints each pixel as it is appended.
TEST(Fills, ConnectedMatchesALiteralBreadthFirstFillWhereverItStops) {
    const Bitmap tile = photo();
    const int32_t tw = tile.width(), th = tile.height(), w = tw * 5, h = th * 4;
    Bitmap big(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) big.at(x, y) = tile.at(x % tw, y % th);
    Canvas c(std::move(big)); Workspace& ws = c.w(); c.s.controls.integration = 200;
    for (int32_t y = 0; y < h - 40; ++y) ws.codes[c.at(w / 2, y)] = 5;  // a painted wall with a gap below
    const std::vector<int8_t> before = c.codes();
    const int32_t sx = w / 4, sy = h / 2, seedBase = int32_t(blueOf(ws.source.at(sx, sy))) / 16 * 16;
    auto literal = [&](uint64_t abortAtPoll) {
        std::vector<int8_t> codes = before;
        auto unpainted = [&](size_t i) { return codes[i] == 0 || codes[i] == 127; };
        std::vector<uint32_t> queue{uint32_t(c.at(sx, sy))};
        if (unpainted(queue[0])) codes[queue[0]] = 17;
        for (size_t head = 0; head < queue.size();) {
            const int32_t cx = int32_t(queue[head] % uint32_t(w)), cy = int32_t(queue[head] / uint32_t(w));
            for (const auto& d : {std::pair{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}}) {
                const int32_t nx = cx + d.first, ny = cy + d.second;
                if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                const size_t n = c.at(nx, ny);
                const int32_t diff = int32_t(blueOf(ws.source.data()[n])) / 16 * 16 - seedBase;
                if (-200 < diff && diff < 200 && unpainted(n)) codes[n] = 17, queue.push_back(uint32_t(n));
            }
            if (++head == abortAtPoll) break;
        }
        return codes;
    };
    for (uint64_t abortAt : {uint64_t(1000), uint64_t(4'500'000), uint64_t(0)}) {
        SCOPED_TRACE(testing::Message() << "abort at poll " << abortAt);
        std::copy(before.begin(), before.end(), ws.codes.get()); ws.colour.copyFrom(ws.source);
        ws.display.copyFrom(ws.source); c.host.changed.clear(); c.progress.abortAtPoll = abortAt;
        paintConnected(c.s, sx, sy, 17, true); const std::vector<int8_t> want = literal(abortAt); size_t painted = 0;
        Rect box{sx, sy, sx + 1, sy + 1};
        for (size_t i = 0; i < ws.pixelCount(); ++i) {
            ASSERT_EQ(ws.codes[i], want[i]) << "pixel " << i % size_t(w) << ',' << i / size_t(w);
            const uint32_t colour = want[i] == 17 ? maskedPixel(ws.source.data()[i], c.s.palette.markerColour) : ws.source.data()[i];
            ASSERT_EQ(ws.colour.data()[i], colour) << i;
            ASSERT_EQ(ws.display.data()[i], colour) << i;
            if (want[i] != 17) continue;
            ++painted; const int32_t x = int32_t(i % size_t(w)), y = int32_t(i / size_t(w));
            box = {std::min(box.x1, x), std::min(box.y1, y), std::max(box.x2, x + 1), std::max(box.y2, y + 1)};
        }
        if (abortAt == 0) { EXPECT_GT(painted, 4'600'000u) << "more than one batch of painting"; }
        EXPECT_EQ(c.host.changed, std::vector<Rect>{box});
        EXPECT_EQ(c.progress.polls, abortAt ? abortAt : painted); EXPECT_FALSE(c.progress.locked());
    }
}

TEST(Brush, RegionIsTheUncoveredStripOrTheWholeWindow) {
    // A press, moves by one and two each way, diagonal, round, apart, overlapping, from the corner, at the edge, clipped.
    struct Row { Rect prev, cur; bool rounded; Rect region; };
    const Row rows[] = {
        {{10, 10, 30, 30}, {10, 10, 30, 30}, false, {10, 10, 31, 31}}, {{10, 10, 30, 30}, {11, 10, 31, 30}, false, {29, 10, 32, 31}},
        {{11, 10, 31, 30}, {10, 10, 30, 30}, false, {10, 10, 13, 31}}, {{10, 10, 30, 30}, {10, 12, 30, 32}, false, {10, 29, 31, 33}},
        {{10, 12, 30, 32}, {10, 10, 30, 30}, false, {10, 10, 31, 14}}, {{10, 10, 30, 30}, {11, 11, 31, 31}, false, {11, 11, 32, 32}},
        {{10, 10, 30, 30}, {11, 10, 31, 30}, true, {11, 10, 32, 31}}, {{10, 10, 30, 30}, {10, 11, 30, 31}, true, {10, 11, 31, 32}},
        {{10, 10, 30, 30}, {40, 10, 60, 30}, false, {40, 10, 61, 31}}, {{10, 10, 30, 30}, {29, 10, 49, 30}, false, {29, 10, 50, 31}},
        {{10, 10, 30, 30}, {28, 10, 48, 30}, false, {29, 10, 49, 31}}, {{0, 0, 10, 10}, {0, 0, 11, 10}, false, {0, 0, 12, 11}},
        {{80, 10, 99, 30}, {81, 10, 99, 30}, false, {98, 10, 99, 31}}, {{-5, -5, 120, 3}, {-5, -5, 120, 3}, false, {0, 0, 99, 4}},
    };
    for (const Row& r : rows) EXPECT_EQ(brushRegion(r.prev, r.cur, r.rounded, 100, 100), r.region) << "row " << &r - rows;
    // What the painter gives back (x2 and y2 exclusive) is what it painted, with every colour accepted.
    struct Paint { Rect prev, cur, painted; };
    for (const Paint& r : {Paint{{10, 10, 30, 30}, {10, 10, 30, 30}, {10, 10, 32, 32}},
                           Paint{{10, 10, 30, 30}, {11, 10, 31, 30}, {29, 10, 33, 32}},
                           Paint{{10, 12, 30, 32}, {10, 10, 30, 30}, {10, 10, 32, 15}},
                           Paint{{-5, -5, 120, 3}, {-5, -5, 120, 3}, {0, 0, 100, 5}},
                           Paint{{95, 95, 99, 99}, {95, 95, 99, 99}, {95, 95, 100, 100}}}) {
        Canvas c(flat(100, 100), kToolBrush);
        const Rect got = brushPaint(c.ctx(), {.prev = r.prev, .cur = r.cur, .code = 4, .factor = 255, .masked = true});
        EXPECT_EQ(got, r.painted);
        Map want(100, std::string(100, '.'));
        for (int32_t y = got.y1; y < got.y2; ++y) want[size_t(y)].replace(size_t(got.x1), size_t(got.x2 - got.x1), size_t(got.x2 - got.x1), '#');
        EXPECT_EQ(c.map(4), want);
        EXPECT_EQ(c.w().curPixelIndex, int32_t(c.at(got.x2 - 1, got.y2 - 1)));
    }
}

// Through the gestures: the press paints its window, a move only the strip
// it uncovered; the painter writes the working picture, the release shows it.
TEST(Brush, PressAndMovePaintTheWindowThenTheStrip) {
    Canvas c(flat(60, 40), kToolBrush); c.s.tools.paintMode = kPaintMasked; c.squareBrush(4, 5);
    pointerMove(c.s, false, 20, 20); pointerPress(c.s, MouseButton::Left, false, 20, 20);
    auto box = [](int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        Map m(40, std::string(60, '.'));
        for (int32_t y = y1; y <= y2; ++y) m[size_t(y)].replace(size_t(x1), size_t(x2 - x1 + 1), size_t(x2 - x1 + 1), '#');
        return m;
    };
    EXPECT_EQ(c.map(4), box(16, 16, 26, 26)) << "press window (16, 16, 25, 25) and one more";
    pointerMove(c.s, false, 21, 20);  // window (16, 15, 26, 25)
    std::fill(c.w().codes.get(), c.w().codes.get() + c.w().pixelCount(), int8_t(0));
    pointerMove(c.s, false, 22, 20);  // window (17, 15, 27, 25)
    EXPECT_EQ(c.map(4), box(25, 15, 28, 26));
    EXPECT_EQ(c.host.changed.back(), (Rect{16, 15, 28, 27})) << "the old window and two more, around the new outline";
    EXPECT_EQ(c.w().colour.at(27, 25), maskedPixel(gray(100), c.s.palette.markerColour));
    EXPECT_EQ(c.w().display.at(27, 25), gray(100)) << "the painter does not write the display";
    pointerClick(c.s); pointerUp(c.s, MouseButton::Left, false, 22, 20);
    EXPECT_EQ(c.w().display.at(27, 25), c.w().colour.at(27, 25)) << "the release shows the strip";

    // A round brush keeps to the disc, clipped to its window.
    Canvas r(flat(100, 100), kToolBrush); r.s.tools.paintMode = kPaintMasked; r.s.palette.paletteCode = 4;
    quickBrush(r.s.tools, {"10 x 5", 10, 5}); pointerMove(r.s, false, 50, 50);
    pointerPress(r.s, MouseButton::Left, false, 50, 50);
    EXPECT_EQ(r.s.gesture.toolRect, (Rect{41, 46, 60, 55})); EXPECT_EQ(r.s.gesture.brushRadius, 10);
    r.each([&](int32_t x, int32_t y, size_t) {
        const int32_t dx = x - 50, dy = y - 50;
        ASSERT_EQ(r.code(x, y) == 4, dx * dx + dy * dy <= 100 && inside({41, 46, 61, 56}, x, y)) << x << ',' << y;
    });
}

// Selectivity compares the displayed colour (complemented under an outline)
// with the picked one; a press with selectivity 0 skips its own outline.
TEST(Brush, SelectivityReadsTheDisplayedPicture) {
    Bitmap b(8, 1);
    const uint32_t row[8] = {rgb(100, 100, 100), rgb(110, 100, 100), rgb(100, 90, 100), rgb(100, 100, 111),
                             rgb(89, 100, 100),  rgb(100, 100, 100), rgb(200, 0, 0),    rgb(100, 110, 90)};
    std::copy(row, row + 8, b.data()); struct Case { int32_t factor; const char* painted; };
    for (const Case& k : {Case{0, "#......."}, Case{10, "###....#"}, Case{255, "########"}}) {
        Canvas c(b.clone(), kToolBrush); c.squareBrush(6); c.s.tools.overwriteFactor = k.factor;
        c.w().display.at(5, 0) ^= 0x00ffffffu; c.press({0, 0, 7, 0}, rgb(100, 100, 100));
        paintBrushWindow(c.s, true);
        EXPECT_EQ(c.map(6)[0], k.painted) << "factor " << k.factor;
    }
    Canvas c(flat(40, 40), kToolBrush); c.squareBrush(17, 5); c.s.tools.overwriteFactor = 0;
    pointerMove(c.s, false, 20, 20);
    pointerPress(c.s, MouseButton::Left, false, 20, 20);  // window (16, 16, 25, 25)
    EXPECT_EQ(c.s.gesture.pickedColour, c.w().source.at(20, 20));
    for (int32_t y = 16; y <= 26; ++y)
        for (int32_t x = 16; x <= 26; ++x) {
            const bool outline = (x == 16 || x == 24 || y == 16 || y == 24) && x <= 24 && y <= 24;
            ASSERT_EQ(c.code(x, y), outline ? 0 : 17) << x << ',' << y;
        }
}

// The eraser restores the source (Mask'ed marks 127, Interactive 0); an
// Interactive brush leaves its own code alone unless Overwrite.
TEST(Brush, EraserAndOverwrite) {
    for (bool masked : {true, false}) {
        Canvas c(flat(10, 10), kToolBrush);
        std::fill(c.w().colour.data(), c.w().colour.data() + 100, rgb(1, 2, 3));
        std::fill(c.w().display.data(), c.w().display.data() + 100, rgb(1, 2, 3));
        std::fill(c.w().codes.get(), c.w().codes.get() + 100, int8_t(5)); c.squareBrush(127);
        c.press({2, 2, 5, 5}, 0); paintBrushWindow(c.s, masked);
        c.each([&](int32_t x, int32_t y, size_t) {
            const bool erased = inside({2, 2, 6, 6}, x, y);
            ASSERT_EQ(c.code(x, y), erased ? (masked ? 127 : 0) : 5) << x << ',' << y << " masked " << masked;
            ASSERT_EQ(c.w().colour.at(x, y), erased ? gray(100) : rgb(1, 2, 3));
        });
        EXPECT_EQ(c.w().display.at(3, 3), rgb(1, 2, 3)) << "the painter does not write the display";
    }
    for (bool overwrite : {false, true}) {
        Canvas c(flat(6, 6, 128), kToolBrush); c.squareBrush(17); c.s.tools.overwrite = overwrite;
        c.w().codes[c.at(1, 1)] = 17; c.w().colour.at(1, 1) = rgb(9, 9, 9); c.press({0, 0, 3, 3}, 0);
        paintBrushWindow(c.s, false);
        EXPECT_EQ(c.w().colour.at(2, 2), networkColour(17, gray(128))); EXPECT_EQ(c.code(2, 2), 17);
        EXPECT_EQ(c.w().colour.at(1, 1), overwrite ? networkColour(17, gray(128)) : rgb(9, 9, 9));
        EXPECT_EQ(c.w().colour.at(5, 5), gray(128));
    }
}

TEST(Selection, RegionSortsCornersAddsAColumnAndARowAndClips) {
    struct Row { Rect tool, region; };
    for (const Row& r : {Row{{10, 40, 50, 90}, {10, 40, 51, 91}}, Row{{50, 90, 10, 40}, {10, 40, 51, 91}},
                         Row{{50, 40, 10, 90}, {10, 40, 51, 91}}, Row{{-5, -3, 3, 2}, {0, 0, 4, 3}},
                         Row{{90, 90, 99, 99}, {90, 90, 99, 99}}, Row{{5, 5, -20, 30}, {0, 5, 6, 31}},
                         Row{{7, 7, 7, 7}, {7, 7, 8, 8}}})
        EXPECT_EQ(selectionRegion(r.tool, 100, 100), r.region);
}

// Both drag directions, both paint modes, Overwrite, the eraser and the
// Make-up marker, over a photograph whose pixels carry codes 0, 5 and 127.
// Every colour is accepted and the selectivity put back.
TEST(Selection, DraggedRectangleIsPaintedByTheCodeRules) {
    struct Row { bool masked, overwrite; int32_t code, marker; };
    const Row rows[] = {{true, false, 9, 0xFFFF00},  {true, true, 9, -1},        {false, false, 17, 0xFFFF00},
                        {false, true, 17, 0xFFFF00}, {true, false, 127, 0xFFFF00}, {false, false, 127, 0xFFFF00}};
    for (const Row& r : rows)
        for (bool upLeft : {false, true}) {
            SCOPED_TRACE(testing::Message() << "masked " << r.masked << " overwrite " << r.overwrite << " code "
                                            << r.code << (upLeft ? " dragged up-left" : ""));
            Canvas c(photo(), kToolSelectionPaint); Workspace& ws = c.w();
            const std::vector<int8_t> before = c.mixCodes(rgb(1, 2, 3));
            c.s.tools.paintMode = r.masked ? kPaintMasked : kPaintInteractive;
            c.s.tools.overwrite = r.overwrite; c.s.tools.overwriteFactor = 0;
            c.s.palette.paletteCode = r.code; c.s.palette.markerColour = r.marker;
            upLeft ? c.drag(150, 190, 110, 140) : c.drag(110, 140, 150, 190);
            for (int32_t y = 130; y < 200; ++y)
                for (int32_t x = 100; x < 160; ++x) {
                    const size_t i = c.at(x, y);
                    const uint32_t src = ws.source.data()[i];
                    const bool paint = inside({110, 140, 151, 191}, x, y) && (r.code == 127 || r.overwrite || before[i] != 5);
                    const uint32_t want = !paint          ? (before[i] == 5 ? rgb(1, 2, 3) : src)
                                          : r.code == 127 ? src
                                          : r.masked      ? maskedPixel(src, r.marker)
                                                          : networkColour(r.code, src);
                    ASSERT_EQ(ws.colour.data()[i], want) << x << ',' << y;
                    ASSERT_EQ(ws.codes[i], !paint ? before[i] : r.code == 127 ? 0 : r.code) << x << ',' << y;
                }
            EXPECT_TRUE(c.displayIsColour()) << "the band is gone and the result shown";
            EXPECT_EQ(c.s.tools.overwriteFactor, 0); EXPECT_FALSE(ws.selectionActive);
            EXPECT_TRUE(ws.imageModified);
            Rect all{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};  // what was shown covers the painted pixels
            for (const Rect& k : c.host.changed)
                all = {std::min(all.x1, k.x1), std::min(all.y1, k.y1), std::max(all.x2, k.x2), std::max(all.y2, k.y2)};
            EXPECT_TRUE(all.x1 <= 110 && all.y1 <= 140 && all.x2 >= 152 && all.y2 >= 192);
        }
}

// One poll per row with the gauge following; an abort keeps the rows done,
// and the painter gives back the rows it got through (x2 and y2 exclusive).
TEST(Selection, MeterAndAbortKeepTheRowsDone) {
    struct Row { uint64_t abortAtPoll; Rect rows; };
    for (const Row& r : {Row{0, {20, 100, 62, 132}}, Row{3, {20, 100, 62, 102}}, Row{32, {20, 100, 62, 131}}, Row{1, {}}}) {
        SCOPED_TRACE(testing::Message() << "abort at poll " << r.abortAtPoll);
        Canvas c(photo()); c.progress.abortAtPoll = r.abortAtPoll;
        const SelectionFill fill{.toolRect = {60, 130, 20, 100}, .code = 6, .factor = 255, .masked = true};
        const Rect got = colourSelection(c.ctx(), fill, c.progress);
        EXPECT_EQ(got, r.rows);
        for (int32_t y = 95; y < 140; ++y)
            for (int32_t x = 15; x < 70; ++x)
                ASSERT_EQ(c.code(x, y), x >= got.x1 && x < got.x2 && y >= got.y1 && y < got.y2 ? 6 : 0) << x << ',' << y;

        Canvas p(photo(), kToolSelectionPaint); p.s.palette.paletteCode = 6;
        p.progress.abortAtPoll = r.abortAtPoll; p.w().selectionRect = {20, 100, 60, 130};
        paintSelection(p.s);
        EXPECT_EQ(p.progress.events, (std::vector<std::string>{"show", "lock", "hide", "unlock"}));
        EXPECT_EQ(p.progress.phases.back(), kSelectionPhase); EXPECT_FALSE(p.progress.hiddenAtPoll);
        EXPECT_FALSE(p.progress.unlockedAtPoll); EXPECT_EQ(p.map(6), c.map(6));
        EXPECT_TRUE(p.w().imageModified);
        if (r.abortAtPoll) continue;
        ASSERT_EQ(p.progress.gaugeAtPoll.size(), 32u) << "one poll per row, 100..131";
        EXPECT_EQ(p.progress.gaugeAtPoll[0], 0);
        EXPECT_EQ(p.progress.gaugeAtPoll[1], 100 * 100 / 132);
        EXPECT_TRUE(std::is_sorted(p.progress.gaugeAtPoll.begin(), p.progress.gaugeAtPoll.end()));
        EXPECT_EQ(p.progress.progress(), 131 * 100 / 132);
        EXPECT_EQ(p.host.changed, (std::vector<Rect>{{20, 100, 62, 132}}));
        EXPECT_TRUE(p.displayIsColour());
    }
    // ColourSel alone writes only the working picture and tells no one.
    for (bool masked : {true, false}) {
        Canvas c(photo(), kToolSelectionPaint); c.s.palette.paletteCode = 6; c.s.gesture.toolRect = {5, 5, 9, 9};
        paintToolRect(c.s, masked);
        EXPECT_EQ(c.code(10, 10), 6);
        EXPECT_EQ(c.w().colour.at(10, 10), masked ? maskedPixel(c.w().source.at(10, 10), c.s.palette.markerColour)
                                                  : networkColour(6, c.w().source.at(10, 10)));
        EXPECT_EQ(c.w().display.at(10, 10), c.w().source.at(10, 10));
        EXPECT_TRUE(c.host.changed.empty());
    }
}
