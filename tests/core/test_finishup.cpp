#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "actions/finishup.h"
#include "actions/headless_host.h"
#include "actions/markup.h"
#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/colour_mag.h"
#include "test_support.h"

using namespace cw;

namespace {

// Records the gauge with the phase it was shown in.
class GaugeLog : public cwtest::RecordingProgress {
public:
    std::vector<std::pair<std::string, int>> gauge;

protected:
    void drawGauge() override {
        RecordingProgress::drawGauge();
        gauge.emplace_back(phase(), progress());
    }
};

Bitmap grayRamp(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t g = uint32_t(x * 17 + y * 29) & 255;
            b.at(x, y) = rgb(g, g, g);
        }
    return b;
}

Bitmap flatGray(int w, int h, uint32_t g) {
    Bitmap b(w, h);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = rgb(g, g, g);
    return b;
}

struct Scene : cwtest::SessionRig<GaugeLog> {
    explicit Scene(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.imageWindowOpen = true;
        s.tools.currentTool = kToolTouch;  // no skip rule while the scene is painted
        progress.phases.clear();
        progress.gauge.clear();
    }
    uint32_t colour(int x, int y) { return ws().colour.at(x, y); }
    ColourMagContext ctx() { return {ws(), s.palette, s.effects, paintRules(s.tools), s.pointer.shiftHeld}; }
    // A stroke as the paint tools leave it: the colour of the code and the code.
    void paint(int x, int y, int code) {
        ws().curPixelIndex = y * ws().width + x;
        colourMag(ctx(), code, x, y);
        ws().codes[size_t(y) * ws().width + x] = int8_t(code);
    }
    std::vector<int8_t> codes() { return {ws().codes.get(), ws().codes.get() + ws().pixelCount()}; }
    std::vector<uint32_t> colours() { return {ws().colour.data(), ws().colour.data() + ws().pixelCount()}; }
};

// The fill pass as first designed: eight rays cast from every uncoloured
// pixel, stepping over anything that does not vote.
void fillByRayCasting(Scene& sc) {
    Workspace& ws = sc.ws();
    const ColourMagContext ctx = sc.ctx();
    const int dx[8] = {-1, 1, 0, 0, -1, 1, -1, 1}, dy[8] = {0, 0, -1, 1, -1, -1, 1, 1};
    for (int y = 0; y < ws.height; ++y)
        for (int x = 0; x < ws.width; ++x) {
            const int8_t c = sc.code(x, y);
            if (c != 0 && c != 127) continue;
            int votes[128] = {};
            for (int r = 0; r < 8; ++r)
                for (int px = x + dx[r], py = y + dy[r]; px >= 0 && py >= 0 && px < ws.width && py < ws.height;
                     px += dx[r], py += dy[r]) {
                    const int8_t v = sc.code(px, py);
                    if (v >= 1 && v <= 126) {
                        ++votes[v];
                        break;
                    }
                }
            int best = 0;
            for (int code = 0; code < 128; ++code)
                if (votes[code] > votes[best]) best = code;
            if (votes[best] == 0) continue;
            ws.curPixelIndex = y * ws.width + x;
            colourMag(ctx, best, x, y);
            ws.codes[size_t(y) * ws.width + x] = int8_t(-best);
        }
    for (size_t i = 0; i < ws.pixelCount(); ++i)
        if (ws.codes[i] < 0) ws.codes[i] = int8_t(-ws.codes[i]);
}

// Codes with a colour of every kind, one without (50), and Custom and Clear,
// which turn merging on for the rest of the pass.
constexpr int kCodes[] = {1, 3, 6, 13, 17, 50, 88, 99, 124, 125, 126};

void scatter(Scene& sc, std::mt19937& rng, double density, bool withMergingCodes) {
    std::uniform_real_distribution<double> u(0, 1);
    const int n = withMergingCodes ? int(std::size(kCodes)) : int(std::size(kCodes)) - 4;
    std::uniform_int_distribution<int> pick(0, n - 1);
    for (int y = 0; y < sc.ws().height; ++y)
        for (int x = 0; x < sc.ws().width; ++x) {
            const double r = u(rng);
            if (r < density) sc.paint(x, y, withMergingCodes ? kCodes[pick(rng)] : kCodes[pick(rng) % 4]);
            else if (r < density * 1.2) sc.ws().codes[size_t(y) * sc.ws().width + x] = 127;  // marked, uncoloured
        }
}

} // namespace

TEST(Finishup, FillMatchesRayCastingOnRandomPictures) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 600; ++round) {
        const int w = 1 + int(rng() % 14), h = 1 + int(rng() % 14);
        const double density = (rng() % 40) / 100.0;
        const bool merging = round % 3 == 0;
        Scene fast(grayRamp(w, h)), plain(grayRamp(w, h));
        std::mt19937 a(round), b(round);
        scatter(fast, a, density, merging);
        scatter(plain, b, density, merging);
        for (Scene* sc : {&fast, &plain}) {
            sc->s.pointer.shiftHeld = false;  // as the release after the strokes leaves it
            sc->s.palette.markerColour = round % 7 == 0 ? kMarkerMerge : 16776960;
            sc->s.effects.intensity = int(round % 5) - 2;
            sc->s.tools.currentTool = round % 2 ? kToolBrush : kToolTouch;
        }
        finishup(fast.s, FinishupMode::Fill);
        fillByRayCasting(plain);
        ASSERT_EQ(fast.codes(), plain.codes()) << "round " << round << " " << w << "x" << h;
        ASSERT_EQ(fast.colours(), plain.colours()) << "round " << round;
        ASSERT_EQ(fast.s.pointer.shiftHeld, plain.s.pointer.shiftHeld) << "round " << round;
    }
}

TEST(Finishup, FillMatchesRayCastingOnAPhotoWithScatteredStrokes) {
    const Bitmap photo = decodeJpegFile(cwtest::testdata("photos/camera.jpg"));
    Scene fast(photo.clone()), plain(photo.clone());
    std::mt19937 rng(7);
    const int w = photo.width(), h = photo.height();
    for (int stroke = 0; stroke < 700; ++stroke) {
        const int x0 = int(rng() % w), y0 = int(rng() % h), len = 5 + int(rng() % 30);
        const int code = kCodes[rng() % 5];
        const int sx = int(rng() % 3) - 1, sy = int(rng() % 2);
        for (int k = 0, x = x0, y = y0; k < len && x >= 0 && x < w && y < h; ++k, x += sx, y += sy + (sx == 0)) {
            fast.paint(x, y, code);
            plain.paint(x, y, code);
        }
    }
    finishup(fast.s, FinishupMode::Fill);
    fillByRayCasting(plain);
    EXPECT_EQ(fast.codes(), plain.codes());
    EXPECT_EQ(fast.colours(), plain.colours());
}

TEST(Finishup, FillEdgeCases) {
    struct Voter {
        int x, y, code;
    };
    struct Probe {
        int x, y, expected;
    };
    struct Case {
        const char* name;
        int w, h;
        std::vector<Voter> voters;
        std::vector<Probe> probes;
    };
    const Case cases[] = {
        {"left/right meet 3, up/down meet 5: the lower code wins the tie", 7, 7,
         {{0, 3, 3}, {6, 3, 3}, {3, 0, 5}, {3, 6, 5}}, {{3, 3, 3}}},
        {"a third vote for 5 outweighs the lower code", 7, 7,
         {{0, 3, 3}, {6, 3, 3}, {3, 0, 5}, {3, 6, 5}, {0, 0, 5}}, {{3, 3, 5}}},
        {"only the nearest voter on a ray counts", 6, 1, {{0, 0, 3}, {1, 0, 9}}, {{2, 0, 9}, {5, 0, 9}}},
        {"a pixel between two codes on one row ties to the lower", 5, 1, {{0, 0, 9}, {4, 0, 4}}, {{2, 0, 4}}},
        {"marked pixels (127) are filled, not voters", 5, 1, {{0, 0, 6}, {2, 0, 127}}, {{2, 0, 6}, {4, 0, 6}}},
        {"a code without colour still votes and is written", 3, 1, {{0, 0, 50}}, {{1, 0, 50}, {2, 0, 50}}},
        {"no voter on any ray: stays uncoloured", 3, 5, {{0, 0, 6}}, {{1, 2, 0}, {0, 4, 6}, {2, 2, 6}}},
        {"one-pixel picture", 1, 1, {}, {{0, 0, 0}}},
        {"no coloured pixel: nothing changes", 23, 9, {}, {}},
    };
    for (const Case& c : cases) {
        Scene sc(grayRamp(c.w, c.h));
        for (const Voter& v : c.voters) {
            if (v.code == 127) sc.ws().codes[size_t(v.y) * c.w + v.x] = 127;
            else sc.paint(v.x, v.y, v.code);
        }
        const std::vector<uint32_t> colours = sc.colours();
        finishup(sc.s, FinishupMode::Recolour);
        finishup(sc.s, FinishupMode::Fill);
        for (const Probe& p : c.probes) EXPECT_EQ(sc.code(p.x, p.y), p.expected) << c.name << " at " << p.x << "," << p.y;
        if (c.voters.empty()) {
            EXPECT_EQ(sc.colours(), colours) << c.name;
            EXPECT_EQ(sc.codes(), std::vector<int8_t>(size_t(c.w) * c.h, 0)) << c.name;
        }
    }
}

TEST(Finishup, SingleVoterColoursExactlyItsLines) {
    const int w = 11, h = 8;
    for (const auto& [vx, vy] : std::vector<std::pair<int, int>>{{3, 2}, {0, 0}, {10, 7}, {5, 0}}) {
        Scene sc(grayRamp(w, h));
        sc.paint(vx, vy, 6);
        const Bitmap before = sc.ws().colour.clone();
        finishup(sc.s, FinishupMode::Fill);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const bool onLine = x == vx || y == vy || x - y == vx - vy || x + y == vx + vy;
                EXPECT_EQ(sc.code(x, y), onLine ? 6 : 0) << x << "," << y << " voter " << vx << "," << vy;
                if (!onLine) {
                    EXPECT_EQ(sc.colour(x, y), before.at(x, y));
                }
            }
    }
}

TEST(Finishup, RecolourAppliesTheCurrentEffectsInRowMajorOrder) {
    // (1,0) comes before the Clear pixel (0,1), which turns merging on, and
    // (1,1) comes after it.
    const Bitmap midGray = flatGray(2, 2, 128);
    Scene sc(midGray.clone());
    sc.paint(1, 0, 1);
    sc.paint(0, 1, 99);
    sc.paint(1, 1, 1);
    sc.s.pointer.shiftHeld = false;
    const uint32_t paintedA = sc.colour(1, 0), paintedC = sc.colour(1, 1);
    sc.s.effects.ambient = -5;

    Scene plain(midGray.clone());  // code 1 with the new effects, unmerged
    plain.s.effects.ambient = -5;
    plain.paint(1, 0, 1);
    plain.paint(1, 1, 1);
    const Rgb freshC = channelsOf(plain.colour(1, 1)), oldC = channelsOf(paintedC);

    finishup(sc.s, FinishupMode::Recolour);
    EXPECT_NE(sc.colour(1, 0), paintedA);
    EXPECT_EQ(sc.colour(1, 0), plain.colour(1, 0)) << "before the Clear pixel: not merged";
    const int n = sc.s.palette.blendStrength;
    const Rgb merged{(oldC.r * n + freshC.r) / (n + 1), (oldC.g * n + freshC.g) / (n + 1),
                     (oldC.b * n + freshC.b) / (n + 1)};
    EXPECT_EQ(channelsOf(sc.colour(1, 1)), merged) << "after the Clear pixel: merged with its colour";
    EXPECT_TRUE(sc.s.pointer.shiftHeld);
    EXPECT_EQ(sc.code(1, 0), 1);
    EXPECT_EQ(sc.code(0, 1), 99);
    EXPECT_EQ(sc.code(0, 0), 0);

    // Under the brush without Overwrite a pixel keeps its colour when it
    // gets its own code again.
    const std::vector<uint32_t> colours = sc.colours();
    sc.s.effects.ambient = 5;
    sc.s.tools.currentTool = kToolBrush;
    finishup(sc.s, FinishupMode::Recolour);
    EXPECT_EQ(sc.colours(), colours);
    sc.s.tools.overwrite = true;
    finishup(sc.s, FinishupMode::Recolour);
    EXPECT_NE(sc.colour(1, 0), colours[1]);
}

TEST(Finishup, FramesTheWorkWithProgressAndLeavesNoNegativeCode) {
    // abortAtPoll: the n-th poll presses Abort. Rows are polled once each,
    // first in the pass and then in the post-processing, which has no abort
    // test; 0 never aborts.
    const int w = 17, h = 12;
    Scene whole(grayRamp(w, h));
    whole.paint(4, 0, 6);
    whole.paint(12, 11, 3);
    finishup(whole.s, FinishupMode::Fill);
    for (uint64_t abortAt : {0, 1, 2, 5, 12, 13, 14, 20}) {
        Scene sc(grayRamp(w, h));
        sc.paint(4, 0, 6);
        sc.paint(12, 11, 3);
        const std::vector<int8_t> before = sc.codes();
        sc.progress.abortAtPoll = abortAt;
        finishup(sc.s, FinishupMode::Fill);
        const int rowsDone = abortAt == 0 || abortAt > uint64_t(h) ? h : int(abortAt) - 1;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ASSERT_GE(sc.code(x, y), 0) << "abort at poll " << abortAt;
                ASSERT_EQ(sc.code(x, y), y < rowsDone ? whole.code(x, y) : before[size_t(y) * w + x])
                    << "abort at poll " << abortAt << " pixel " << x << "," << y;
            }
        EXPECT_EQ(sc.progress.phases, (std::vector<std::string>{kPhaseFinishup, kPhasePostProcessing}));
        EXPECT_FALSE(sc.progress.visible());
        EXPECT_FALSE(sc.progress.locked());
        EXPECT_TRUE(sc.ws().imageModified);
        EXPECT_EQ(0, std::memcmp(sc.ws().display.data(), sc.ws().colour.data(), sc.ws().pixelCount() * 4));
        // The gauge is set per row without the monotonic test: it drops back
        // to 0 for the post-processing.
        std::vector<int> pass, post;
        for (const auto& [phase, value] : sc.progress.gauge)
            (phase == kPhaseFinishup ? pass : post).push_back(value);
        if (rowsDone > 1) {
            EXPECT_EQ(pass.back(), (rowsDone - 1) * 100 / h);
        }
        ASSERT_FALSE(post.empty());
        EXPECT_EQ(post.back(), (h - 1) * 100 / h);
    }
}

TEST(Finishup, NegativeCodesFromBeforeArePassedOverAndMadePositive) {
    Scene sc(grayRamp(5, 1));
    sc.paint(0, 0, 6);
    sc.ws().codes[2] = -9;
    sc.ws().codes[4] = INT8_MIN;
    finishup(sc.s, FinishupMode::Fill);
    EXPECT_EQ(sc.codes(), (std::vector<int8_t>{6, 6, 9, 6, 127}));
}

TEST(Finishup, AutoFinishButtonWithAndWithoutUnmaskOnly) {
    for (bool unmaskOnly : {false, true}) {
        Scene sc(grayRamp(20, 10));
        sc.paint(3, 3, 6);
        sc.paint(15, 7, 17);
        const std::vector<uint32_t> colours = sc.colours();
        sc.s.controls.unmaskOnly = unmaskOnly;
        sc.s.controls.layeredShown = false;
        sc.s.tools.layered = true;
        sc.s.tools.paintMode = kPaintMasked;
        autoFinishClick(sc.s);
        int filled = 0;
        for (size_t i = 0; i < colours.size(); ++i)
            if (sc.ws().codes[i] != 0 && i != 3 * 20 + 3 && i != 7 * 20 + 15) {
                ++filled;
                EXPECT_NE(sc.ws().colour.data()[i], colours[i]);
            }
        if (unmaskOnly) {
            EXPECT_EQ(filled, 0) << "Un-mask Only colours no uncoloured pixel";
        } else {
            EXPECT_GT(filled, 60);
        }
        EXPECT_FALSE(sc.s.tools.layered);
        EXPECT_TRUE(sc.s.controls.layeredShown);
        EXPECT_EQ(sc.s.tools.paintMode, kPaintInteractive);
        EXPECT_EQ(sc.progress.phases.size(), unmaskOnly ? 2u : 4u);
    }
    // Without a picture only Layered is unchecked.
    Scene closed(grayRamp(4, 4));
    closed.s.imageWindowOpen = false;
    closed.s.tools.layered = true;
    closed.s.tools.paintMode = kPaintMasked;
    autoFinishClick(closed.s);
    EXPECT_FALSE(closed.s.tools.layered);
    EXPECT_EQ(closed.s.tools.paintMode, kPaintMasked);
    EXPECT_TRUE(closed.progress.phases.empty());
}
