#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/colour_mag.h"
#include "core/palette_networks.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "test_support.h"
#include "tools/connected_paint.h"
#include "tools/core_paint_routines.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"
#include "tools/touch_paint.h"

using namespace cw;

namespace {

constexpr uint32_t gray(uint32_t g) { return rgb(g, g, g); }
constexpr uint32_t kDark = 40, kLight = 200;

struct Canvas {
    cwtest::ProbeProgress progress;
    cwtest::ScriptedMessages messages;
    cwtest::ScriptedDialogs dialogs;
    cwtest::RecordingHost host;
    Session s{progress, messages, dialogs, host, "/nonexistent"};

    explicit Canvas(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.routines = std::make_unique<CorePaintRoutines>();
        s.tools.currentTool = kToolTouch;
        s.settings.grayStep = 16;
        s.settings.integrationTolerance = 52;
        progress.events.clear();
    }
    Workspace& ws() { return *s.ws; }
    size_t at(int32_t x, int32_t y) const { return size_t(y) * size_t(s.ws->width) + size_t(x); }
    int8_t code(int32_t x, int32_t y) const { return s.ws->codes[at(x, y)]; }
};

// A picture drawn in characters. Dark pixels: '#' must be painted, 'x' must
// not, '7' carries code 127 and must be painted, '5' and the seed 'S' carry
// code 5 and keep it. '.' is light.
struct Drawing {
    std::vector<std::string> rows;
    int32_t w() const { return int32_t(rows[0].size()); }
    int32_t h() const { return int32_t(rows.size()); }
    Bitmap picture() const {
        Bitmap b(w(), h());
        for (int32_t y = 0; y < h(); ++y)
            for (int32_t x = 0; x < w(); ++x) b.at(x, y) = gray(rows[size_t(y)][size_t(x)] == '.' ? kLight : kDark);
        return b;
    }
    void setCodes(Workspace& ws) const {
        for (int32_t y = 0; y < h(); ++y)
            for (int32_t x = 0; x < w(); ++x) {
                const char c = rows[size_t(y)][size_t(x)];
                ws.codes[size_t(y) * size_t(w()) + size_t(x)] = int8_t(c == '7' ? 127 : c == '5' || c == 'S' ? 5 : 0);
            }
    }
};

uint32_t networkColour(int32_t code, uint32_t source) {
    const auto pc = paletteColourDirect(code, source, source, 0);
    EXPECT_TRUE(pc.has_value());
    const Rgb c = pc->rgb;
    return rgb(uint32_t(std::clamp(c.r, 0, 255)), uint32_t(std::clamp(c.g, 0, 255)), uint32_t(std::clamp(c.b, 0, 255)));
}

// Marks the pixels painted with `code` as '#', the others as '.'.
std::vector<std::string> paintedMap(const Canvas& c, int8_t code) {
    std::vector<std::string> rows(size_t(c.s.ws->height), std::string(size_t(c.s.ws->width), '.'));
    for (int32_t y = 0; y < c.s.ws->height; ++y)
        for (int32_t x = 0; x < c.s.ws->width; ++x)
            if (c.code(x, y) == code) rows[size_t(y)][size_t(x)] = '#';
    return rows;
}

Bitmap flat(int32_t w, int32_t h, uint32_t level = 100) {
    Bitmap b(w, h);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = gray(level);
    return b;
}

} // namespace

TEST(ConnectedPaint, ToneTestIsStrict) {
    struct Row {
        int32_t tone, seed, step, tolerance;
        bool accepted;
    };
    const Row rows[] = {
        {144, 100, 16, 52, true},   // bucket bases 144 and 96: 48 apart
        {48, 100, 16, 52, true},    // -48
        {160, 100, 16, 52, false},  // 64
        {32, 100, 16, 52, false},   // -64
        {144, 100, 16, 48, false},  // 48 is not below 48
        {128, 100, 16, 48, true},   // 32
        {100, 100, 16, 0, false},   // nothing passes a tolerance of 0
        {111, 100, 16, 1, true},    // same bucket
        {112, 100, 16, 16, false},
        {101, 100, 1, 2, true},
        {102, 100, 1, 2, false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(connectedToneAccepts(r.tone, r.seed, r.step, r.tolerance), r.accepted)
            << r.tone << " vs " << r.seed << " step " << r.step << " tolerance " << r.tolerance;
}

TEST(ConnectedPaint, PaintsTheUnpaintedRegionConnectedToTheSeed) {
    struct Case {
        const char* what;
        Drawing d;
        int32_t sx, sy;
    };
    const Case cases[] = {
        {"diagonal chain", {{"#...", ".#..", "..#.", "...#"}}, 0, 0},
        {"light gap separates", {{"##.x", "##.x", "...x", "xxxx"}}, 1, 1},
        {"painted pixels block", {{"#5x", "55x", "xxx"}}, 0, 0},
        {"code 127 is painted over", {{"#7#7#", "....."}}, 2, 0},
        {"painted seed still spreads", {{"#S#", "...", "x.x"}}, 1, 0},
        {"one pixel wide", {{"#", "#", "#", ".", "x"}}, 0, 1},
        {"one pixel high", {{"##.x"}}, 1, 0},
    };
    for (bool masked : {true, false})
        for (const Case& k : cases) {
            SCOPED_TRACE(testing::Message() << k.what << (masked ? " (Mask'ed)" : " (Interactive)"));
            Canvas c(k.d.picture());
            k.d.setCodes(c.ws());
            clickPaint(c.s, k.sx, k.sy, 17, masked);
            const uint32_t tint = masked ? maskedPixel(gray(kDark), c.s.palette.markerColour)
                                         : networkColour(17, gray(kDark));
            for (int32_t y = 0; y < k.d.h(); ++y)
                for (int32_t x = 0; x < k.d.w(); ++x) {
                    const char ch = k.d.rows[size_t(y)][size_t(x)];
                    const bool painted = ch == '#' || ch == '7';
                    const uint32_t src = c.ws().source.at(x, y);
                    EXPECT_EQ(c.code(x, y), painted ? 17 : ch == '5' || ch == 'S' ? 5 : 0) << x << ',' << y;
                    EXPECT_EQ(c.ws().colour.at(x, y), painted ? tint : src) << x << ',' << y;
                    EXPECT_EQ(c.ws().display.at(x, y), c.ws().colour.at(x, y)) << x << ',' << y;
                }
            EXPECT_TRUE(c.ws().imageModified);
        }
}

TEST(ConnectedPaint, ToleranceDecidesHowFarAlongARampTheFillRuns) {
    // Bucket bases 96, 144, 128, 160, 128: the tone test compares with the seed.
    Bitmap b(5, 1);
    const uint32_t levels[] = {100, 150, 130, 170, 130};
    for (int32_t x = 0; x < 5; ++x) b.at(x, 0) = gray(levels[x]);
    struct Row {
        int32_t tolerance;
        const char* painted;
    };
    for (const Row& r : {Row{52, "###.."}, Row{48, "#...."}, Row{0, "#...."}, Row{65, "#####"}}) {
        Canvas c(b.clone());
        c.s.settings.integrationTolerance = r.tolerance;
        clickPaintM(c.s, 0, 0, 3);
        EXPECT_EQ(paintedMap(c, 3)[0], r.painted) << "tolerance " << r.tolerance;
    }
}

// The neighbour order decides what an abort leaves: after the seed its
// eight neighbours, then those the left one adds, then the right one's, then
// the upper one's.
TEST(ConnectedPaint, AbortLeavesTheBreadthFirstPrefix) {
    struct Row {
        uint64_t poll;
        std::vector<std::string> painted;
    };
    const Row rows[] = {
        {1, {".......", ".......", "..###..", "..###..", "..###..", ".......", "......."}},
        {2, {".......", ".......", ".####..", ".####..", ".####..", ".......", "......."}},
        {3, {".......", ".......", ".#####.", ".#####.", ".#####.", ".......", "......."}},
        {4, {".......", "..###..", ".#####.", ".#####.", ".#####.", ".......", "......."}},
    };
    for (const Row& r : rows) {
        Canvas c(flat(7, 7));
        c.progress.abortAtPoll = r.poll;
        clickPaintI(c.s, 3, 3, 17);
        EXPECT_EQ(paintedMap(c, 17), r.painted) << "abort at poll " << r.poll;
        EXPECT_EQ(c.progress.polls, r.poll);
        EXPECT_FALSE(c.progress.locked());
        EXPECT_FALSE(c.progress.visible());
    }
}

// Codes whose byte is 0 or 127 leave a painted pixel unpainted; the fill
// must still end, and visit (so tint) each pixel exactly once: a second
// XOR would undo the first.
TEST(ConnectedPaint, FillWithACodeThatLeavesPixelsUnpaintedVisitsEachPixelOnce) {
    for (int32_t code : {0, 127, 256, 383}) {
        Canvas c(flat(9, 6));
        c.ws().codes[c.at(4, 4)] = 127;
        clickPaintM(c.s, 2, 3, code);
        const uint32_t tint = maskedPixel(gray(100), c.s.palette.markerColour);
        for (size_t i = 0; i < c.ws().pixelCount(); ++i) {
            ASSERT_EQ(c.ws().colour.data()[i], tint) << "code " << code << " pixel " << i;
            ASSERT_EQ(c.ws().codes[i], int8_t(uint8_t(code))) << "code " << code << " pixel " << i;
        }
        EXPECT_EQ(c.progress.polls, c.ws().pixelCount()) << "each pixel dequeued once, code " << code;
    }
    // Interactive with code 0: no colour, but code 127 pixels become 0.
    Canvas c(flat(9, 6));
    for (size_t i = 0; i < c.ws().pixelCount(); i += 2) c.ws().codes[i] = 127;
    clickPaintI(c.s, 0, 0, 0);
    for (size_t i = 0; i < c.ws().pixelCount(); ++i) {
        ASSERT_EQ(c.ws().codes[i], 0) << i;
        ASSERT_EQ(c.ws().colour.data()[i], gray(100)) << i;
    }
    EXPECT_EQ(c.progress.polls, c.ws().pixelCount());
}

TEST(ConnectedPaint, MeterHidesTheGaugeLocksAndEndsFull) {
    Canvas c(flat(20, 10));
    clickPaintI(c.s, 5, 5, 17);
    EXPECT_EQ(c.progress.events, (std::vector<std::string>{"lock", "show", "hide", "unlock"}));
    EXPECT_EQ(c.progress.phases.back(), kTouchPaintPhase);
    EXPECT_FALSE(c.progress.gaugeSeenAtPoll);
    EXPECT_FALSE(c.progress.unlockedAtPoll);
    EXPECT_EQ(c.progress.polls, 200u);
    EXPECT_EQ(c.progress.progress(), 100) << "the queue ran empty";
    EXPECT_TRUE(c.progress.gaugeVisible());
    ASSERT_EQ(c.host.changed.size(), 1u);
    EXPECT_EQ(c.host.changed[0], (Rect{0, 0, 20, 10}));
}

// A real photograph against an independent depth-first flood.
TEST(ConnectedPaint, PhotographFillMatchesADepthFirstOracle) {
    Canvas c(decodeJpegFile(cwtest::testdata("photos/camera.jpg")));
    Workspace& ws = c.ws();
    const int32_t w = ws.width, h = ws.height;
    for (int32_t y = 0; y < h; ++y) ws.codes[c.at(200, y)] = 5;  // a painted wall
    const std::vector<int8_t> before(ws.codes.get(), ws.codes.get() + ws.pixelCount());

    for (auto [sx, sy] : {std::pair{100, 400}, {300, 100}, {250, 300}}) {
        SCOPED_TRACE(testing::Message() << "seed " << sx << ',' << sy);
        std::copy(before.begin(), before.end(), ws.codes.get());
        ws.colour.copyFrom(ws.source);
        const int32_t seedBase = int32_t(blueOf(ws.source.at(sx, sy))) / 16 * 16;
        auto passes = [&](int32_t x, int32_t y) {
            const int32_t d = int32_t(blueOf(ws.source.at(x, y))) / 16 * 16 - seedBase;
            return std::abs(d) < 52 && (before[c.at(x, y)] == 0 || before[c.at(x, y)] == 127);
        };
        std::vector<char> want(ws.pixelCount(), 0);
        std::vector<std::pair<int32_t, int32_t>> stack{{sx, sy}};
        want[c.at(sx, sy)] = 1;
        Rect box{sx, sy, sx + 1, sy + 1};
        while (!stack.empty()) {
            auto [x, y] = stack.back();
            stack.pop_back();
            for (int32_t dy = -1; dy <= 1; ++dy)
                for (int32_t dx = -1; dx <= 1; ++dx) {
                    const int32_t nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= w || ny >= h || want[c.at(nx, ny)] || !passes(nx, ny)) continue;
                    want[c.at(nx, ny)] = 1;
                    stack.push_back({nx, ny});
                    box = {std::min(box.x1, nx), std::min(box.y1, ny), std::max(box.x2, nx + 1), std::max(box.y2, ny + 1)};
                }
        }
        c.host.changed.clear();
        clickPaintI(c.s, sx, sy, 17);
        size_t painted = 0;
        for (size_t i = 0; i < ws.pixelCount(); ++i) {
            ASSERT_EQ(ws.codes[i], want[i] ? 17 : before[i]) << "pixel " << i % w << ',' << i / w;
            ASSERT_EQ(ws.colour.data()[i], want[i] ? networkColour(17, ws.source.data()[i]) : ws.source.data()[i]);
            painted += want[i];
        }
        EXPECT_GT(painted, 1000u);
        ASSERT_EQ(c.host.changed.size(), 1u);
        EXPECT_EQ(c.host.changed[0], box);
    }
}

TEST(ConnectedPaint, ClickThroughTheGesturesFloodsTheRegion) {
    const Drawing d{{"##..", "#..#", "...#"}};
    Canvas c(d.picture());
    selectTool(c.s.tools, kToolTouch);
    c.s.tools.scope = kScopeConnected;
    c.s.tools.paintMode = kPaintMasked;
    c.s.palette.paletteCode = 9;
    pointerMove(c.s, false, 1, 0);
    pointerPress(c.s, MouseButton::Left, false, 1, 0);
    pointerClick(c.s);
    pointerUp(c.s, MouseButton::Left, false, 1, 0);
    EXPECT_EQ(paintedMap(c, 9), (std::vector<std::string>{"##..", "#...", "...."}));
}

TEST(ConnectedPaint, SeedOffThePictureDoesNothing) {
    Canvas c(flat(5, 4));
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {5, 0}, {0, 4}}) {
        clickPaintM(c.s, x, y, 3);
        clickPaintI(c.s, x, y, 17);
    }
    for (size_t i = 0; i < c.ws().pixelCount(); ++i) ASSERT_EQ(c.ws().codes[i], 0);
    EXPECT_TRUE(c.progress.events.empty());
    EXPECT_TRUE(c.host.changed.empty());
}

// Beyond one batch of painting (4M appends), wherever it stops: against a
// literal breadth-first fill that paints each pixel as it is appended.
TEST(ConnectedPaint, LargeFillMatchesALiteralBreadthFirstFillWhereverItStops) {
    const Bitmap tile = decodeJpegFile(cwtest::testdata("photos/camera.jpg"));
    const int32_t tw = tile.width(), th = tile.height(), w = tw * 5, h = th * 4;
    Bitmap big(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) big.at(x, y) = tile.at(x % tw, y % th);
    Canvas c(std::move(big));
    Workspace& ws = c.ws();
    constexpr int32_t kTolerance = 200;
    c.s.settings.integrationTolerance = kTolerance;
    for (int32_t y = 0; y < h - 40; ++y) ws.codes[c.at(w / 2, y)] = 5;  // a painted wall with a gap below
    const std::vector<int8_t> before(ws.codes.get(), ws.codes.get() + ws.pixelCount());
    const int32_t sx = w / 4, sy = h / 2;

    const int32_t seedBase = int32_t(blueOf(ws.source.at(sx, sy))) / 16 * 16;
    auto literal = [&](uint64_t abortAtPoll) {
        std::vector<int8_t> codes = before;
        auto unpainted = [&](size_t i) { return codes[i] == 0 || codes[i] == 127; };
        std::vector<uint32_t> queue{uint32_t(c.at(sx, sy))};
        if (unpainted(queue[0])) codes[queue[0]] = 17;
        uint64_t polls = 0;
        for (size_t head = 0; head < queue.size();) {
            const int32_t cx = int32_t(queue[head] % uint32_t(w)), cy = int32_t(queue[head] / uint32_t(w));
            const int32_t order[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
            for (const auto& d : order) {
                const int32_t nx = cx + d[0], ny = cy + d[1];
                if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
                const size_t n = c.at(nx, ny);
                const int32_t diff = int32_t(blueOf(ws.source.data()[n])) / 16 * 16 - seedBase;
                if (-kTolerance < diff && diff < kTolerance && unpainted(n)) {
                    codes[n] = 17;
                    queue.push_back(uint32_t(n));
                }
            }
            ++head;
            if (++polls == abortAtPoll) break;
        }
        return codes;
    };

    for (uint64_t abortAt : {uint64_t(1000), uint64_t(4'500'000), uint64_t(0)}) {
        SCOPED_TRACE(testing::Message() << "abort at poll " << abortAt);
        std::copy(before.begin(), before.end(), ws.codes.get());
        ws.colour.copyFrom(ws.source);
        ws.display.copyFrom(ws.source);
        c.host.changed.clear();
        c.progress.abortAtPoll = abortAt;
        clickPaintM(c.s, sx, sy, 17);
        const std::vector<int8_t> want = literal(abortAt);
        size_t painted = 0;
        Rect box{sx, sy, sx + 1, sy + 1};
        for (size_t i = 0; i < ws.pixelCount(); ++i) {
            ASSERT_EQ(ws.codes[i], want[i]) << "pixel " << i % size_t(w) << ',' << i / size_t(w);
            const uint32_t src = ws.source.data()[i];
            const uint32_t colour = want[i] == 17 ? maskedPixel(src, c.s.palette.markerColour) : src;
            ASSERT_EQ(ws.colour.data()[i], colour) << i;
            ASSERT_EQ(ws.display.data()[i], colour) << i;
            if (want[i] == 17) {
                ++painted;
                const int32_t x = int32_t(i % size_t(w)), y = int32_t(i / size_t(w));
                box = {std::min(box.x1, x), std::min(box.y1, y), std::max(box.x2, x + 1), std::max(box.y2, y + 1)};
            }
        }
        if (abortAt == 0) {
            EXPECT_GT(painted, 4'600'000u) << "more than one batch of painting";
        }
        ASSERT_EQ(c.host.changed.size(), 1u);
        EXPECT_EQ(c.host.changed[0], box);
    }
}

// With effects and layering each painted pixel gets exactly one ColourMag
// call: a second would merge with the first's result.
TEST(ConnectedPaint, InteractiveFillWithEffectsGivesEachPixelOneColourMag) {
    auto prepared = [] {
        auto c = std::make_unique<Canvas>(decodeJpegFile(cwtest::testdata("photos/camera.jpg")));
        c->s.effects.saturation = 4;
        c->s.effects.intensity = -3;
        c->s.tools.layered = true;
        Workspace& ws = c->ws();
        for (size_t i = 0; i < ws.pixelCount(); ++i) ws.colour.data()[i] = ws.source.data()[i] ^ 0x00304050u;
        return c;
    };
    auto filled = prepared(), expected = prepared();
    clickPaintI(filled->s, 100, 400, 17);
    Workspace& a = filled->ws();
    Workspace& b = expected->ws();
    const ColourMagContext ctx{b, expected->s.palette, expected->s.effects, paintRules(expected->s.tools), expected->s.pointer.shiftHeld};
    size_t painted = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            if (a.codes[filled->at(x, y)] == 17) {
                colourMag(ctx, 17, x, y);
                ++painted;
            }
    EXPECT_GT(painted, 1000u);
    for (size_t i = 0; i < a.pixelCount(); ++i) {
        ASSERT_EQ(a.colour.data()[i], b.colour.data()[i]) << "pixel " << i;
        ASSERT_EQ(a.codes[i], b.codes[i]) << "pixel " << i;
        ASSERT_EQ(a.display.data()[i], a.codes[i] == 17 ? a.colour.data()[i] : a.source.data()[i]) << "pixel " << i;
    }
}
