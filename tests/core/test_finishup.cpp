#include "core_rig.h"

namespace {

using FScene = Scene<cwtest::ProbeProgress>;

// The fill pass as first designed: eight rays cast from every uncoloured pixel, stepping over what does not vote.
void fillByRayCasting(FScene& sc) {
    Workspace& ws = sc.ws();
    const int dx[8] = {-1, 1, 0, 0, -1, 1, -1, 1}, dy[8] = {0, 0, -1, 1, -1, -1, 1, 1};
    for (int y = 0; y < ws.height; ++y)
        for (int x = 0; x < ws.width; ++x) {
            if (sc.code(x, y) != 0 && sc.code(x, y) != 127) continue;
            int votes[128] = {};
            for (int r = 0; r < 8; ++r)
                for (int px = x + dx[r], py = y + dy[r]; px >= 0 && py >= 0 && px < ws.width && py < ws.height;
                     px += dx[r], py += dy[r])
                    if (const int8_t v = sc.code(px, py); v >= 1 && v <= 126 && ++votes[v]) break;
            const int best = int(std::max_element(votes, votes + 128) - votes);  // the lowest code of a tie
            if (votes[best] == 0) continue;
            sc.mag(best, x, y);
            ws.codes[size_t(y) * ws.width + x] = int8_t(-best);
        }
    for (size_t i = 0; i < ws.pixelCount(); ++i)
        if (ws.codes[i] < 0) ws.codes[i] = int8_t(-ws.codes[i]);
}

// Codes with a colour of every kind, one without (50), and Custom and Clear, which merge for the rest of the pass.
constexpr int kCodes[] = {1, 3, 6, 13, 17, 50, 88, 99, 124, 125, 126};

// Recolouring as designed: every painted pixel in row-major order, with the current settings.
void expectSame(FinishupMode mode, FScene& fast, FScene& plain, const std::string& what) {
    runFinishup(fast.s, mode);
    if (mode == FinishupMode::Fill) fillByRayCasting(plain);
    for (int y = 0; mode == FinishupMode::Recolour && y < plain.ws().height; ++y)
        for (int x = 0; x < plain.w(); ++x)
            if (!isUnpaintedCode(plain.code(x, y))) plain.mag(plain.code(x, y), x, y);
    ASSERT_EQ(std::make_tuple(fast.codes(), fast.colours(), fast.s.pointer.shiftHeld),
              std::make_tuple(plain.codes(), plain.colours(), plain.s.pointer.shiftHeld)) << what;
}

} // namespace

TEST(Finishup, RecolourAndFillMatchThePlainPassesOnRandomPictures) {
    std::mt19937 rng(20240611);
    for (int round = 0; round < 600; ++round) {
        // Now and then tall enough for the rays' kept states to matter.
        const int w = 1 + int(rng() % 14), h = round % 40 ? 1 + int(rng() % 14) : 40 + int(rng() % 90);
        const double density = (rng() % 40) / 100.0;
        FScene fast(ramp(w, h)), plain(ramp(w, h));
        for (FScene* sc : {&fast, &plain}) {
            sc->s.effects.intensity = round % 3 == 0 ? 2 : 0;  // the strokes' colours, unless recoloured
            std::mt19937 scatter{unsigned(round)};
            std::uniform_real_distribution<double> u(0, 1);
            std::uniform_int_distribution<int> pick(0, round % 3 == 0 ? int(std::size(kCodes)) - 1 : 3);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const double r = u(scatter);
                    if (r < density) sc->paint(x, y, kCodes[pick(scatter)]);
                    else if (r < density * 1.2) sc->ws().codes[size_t(y) * w + x] = 127;  // marked, uncoloured
                }
            sc->s.pointer.shiftHeld = false;  // as the release after the strokes leaves it
            sc->s.palette.markerColour = round % 7 == 0 ? kMarkerMerge : 0xFFFF00;
            sc->s.effects.intensity = int(round % 5) - 2;
            sc->s.tools.currentTool = round % 2 ? kToolBrush : kToolTouch;
            sc->s.tools.overwrite = round % 4 == 1;
        }
        // The effects changed since the strokes: recolouring shows it.
        if (round % 3 != 2) expectSame(FinishupMode::Recolour, fast, plain, "recolour, round " + std::to_string(round));
        expectSame(FinishupMode::Fill, fast, plain, "round " + std::to_string(round));
    }
}

TEST(Finishup, TallPicturesFilledInTwoSharesMatchTheRays) {
    // Codes with a plain table let the rows of a tall picture go in two shares at once; code 13 keeps them in order.
    std::mt19937 rng(20261208);
    for (int round = 0; round < 24; ++round) {
        const int w = 1 + int(rng() % 40), h = 64 + int(rng() % 150);
        const std::vector<int> codes = round % 4 == 3 ? std::vector<int>{1, 6, 13} : std::vector<int>{1, 6, 17, 125};
        FScene fast(ramp(w, h)), plain(ramp(w, h));
        for (FScene* sc : {&fast, &plain}) {
            std::mt19937 scatter{unsigned(round)};
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const unsigned r = scatter() % 100;
                    if (r < 3 + unsigned(round) % 20) sc->paint(x, y, codes[scatter() % codes.size()]);
                    else if (r > 96) sc->ws().codes[size_t(y) * w + x] = 127;
                }
            sc->s.pointer.shiftHeld = false;
        }
        const std::vector<int8_t> before = fast.codes();
        expectSame(FinishupMode::Fill, fast, plain, "tall round " + std::to_string(round));
        EXPECT_EQ(fast.progress.polls, uint64_t(2 * h)) << "a poll a row, in the pass and after it";
        int lastFilled = 0;  // the current pixel is the last the pass coloured
        for (int i = 0; i < w * h; ++i) lastFilled = before[size_t(i)] != fast.codes()[size_t(i)] ? i : lastFilled;
        EXPECT_EQ(fast.ws().curPixelIndex, lastFilled) << "tall round " << round;
    }
}

TEST(Finishup, FillEdgeCases) {
    struct Voter { int x, y, code; };
    struct Case { const char* name; int w, h; std::vector<Voter> voters, probes; };  // a probe holds the code it must get
    const Case cases[] = {
        {"left/right meet 3, up/down meet 5: the lower code wins the tie", 7, 7,
         {{0, 3, 3}, {6, 3, 3}, {3, 0, 5}, {3, 6, 5}}, {{3, 3, 3}}},
        {"a third vote for 5 outweighs the lower code", 7, 7,
         {{0, 3, 3}, {6, 3, 3}, {3, 0, 5}, {3, 6, 5}, {0, 0, 5}}, {{3, 3, 5}}},
        {"only the nearest voter on a ray counts", 6, 1, {{0, 0, 3}, {1, 0, 9}}, {{2, 0, 9}, {5, 0, 9}}},
        {"a single voter colours its eight lines", 11, 8, {{3, 2, 6}}, {{3, 7, 6}, {10, 2, 6}, {8, 7, 6}, {0, 5, 6}, {4, 4, 0}}},
        {"negative codes from before are passed over and made positive", 5, 1, {{0, 0, 6}, {2, 0, -9}, {4, 0, -128}},
         {{1, 0, 6}, {2, 0, 9}, {3, 0, 6}, {4, 0, 127}}},
        {"one-pixel picture", 1, 1, {}, {{0, 0, 0}}}};
    for (const Case& c : cases) {
        FScene sc(ramp(c.w, c.h));
        for (const Voter& v : c.voters)
            v.code < 0 ? void(sc.ws().codes[size_t(v.y) * c.w + v.x] = int8_t(v.code)) : sc.paint(v.x, v.y, v.code);
        const std::vector<uint32_t> colours = sc.colours();
        runFinishup(sc.s, FinishupMode::Fill);
        for (const Voter& p : c.probes) EXPECT_EQ(sc.code(p.x, p.y), p.code) << c.name << " at " << p.x << "," << p.y;
        for (int i = 0; i < c.w * c.h; ++i)
            if (sc.codes()[i] == 0) { EXPECT_EQ(sc.colours()[i], colours[i]) << c.name << " pixel " << i; }
    }
}

TEST(Finishup, FramesTheWorkWithProgressAndAbortsAtTheNextRow) {
    // Rows are polled once each, in the pass and then in the post-processing, which has no abort test; 0 never aborts.
    const int w = 17, h = 12;
    FScene whole(ramp(w, h));
    whole.paint(4, 0, 6), whole.paint(12, 11, 3);
    runFinishup(whole.s, FinishupMode::Fill);
    for (uint64_t abortAt : {0, 1, 2, 5, 12, 13, 14, 20}) {
        FScene sc(ramp(w, h));
        sc.paint(4, 0, 6), sc.paint(12, 11, 3);
        const std::vector<int8_t> before = sc.codes();
        sc.progress.abortAtPoll = abortAt;
        runFinishup(sc.s, FinishupMode::Fill);
        const int rowsDone = abortAt == 0 || abortAt > uint64_t(h) ? h : int(abortAt) - 1;
        for (int i = 0; i < w * h; ++i)
            ASSERT_EQ(sc.codes()[i], i < rowsDone * w ? whole.codes()[i] : before[i]) << "abort " << abortAt << " at " << i;
        EXPECT_EQ(sc.progress.phases, (std::vector<std::string>{kPhaseFinishup, kPhasePostProcessing}));
        EXPECT_TRUE(sc.ws().imageModified && sc.displayIsColour() && !sc.progress.visible() && !sc.progress.locked());
        // The gauge is set per row before its work, and again from 0 for the post-processing, not monotonically.
        const int passPolls = rowsDone + (rowsDone < h);
        if (passPolls > 1) { EXPECT_EQ(sc.progress.gaugeAtPoll[size_t(passPolls) - 1], (passPolls - 2) * 100 / h); }
        EXPECT_EQ(sc.progress.gaugeAtPoll[size_t(passPolls)], 0);
        EXPECT_EQ(sc.progress.progress(), (h - 1) * 100 / h);
    }
}

TEST(Finishup, AutoFinishButtonWithAndWithoutUnmaskOnlyOrAPicture) {
    for (int variant : {0, 1, 2}) {  // plain, Un-mask Only, no picture
        FScene sc(ramp(20, 10));
        sc.paint(3, 3, 6), sc.paint(15, 7, 17);
        sc.s.controls.unmaskOnly = variant == 1, sc.s.controls.layeredShown = false;
        sc.s.imageWindowOpen = variant != 2;
        sc.s.tools.layered = true, sc.s.tools.paintMode = kPaintMasked;
        autoFinishClick(sc.s);
        EXPECT_EQ(sc.count(0) < 200 - 60, variant == 0) << "Un-mask Only colours no uncoloured pixel";
        EXPECT_EQ(std::make_tuple(sc.s.tools.layered, sc.s.controls.layeredShown, sc.s.tools.paintMode),
                  std::make_tuple(false, variant != 2, variant == 2 ? kPaintMasked : kPaintInteractive));
        EXPECT_EQ(sc.progress.phases.size(), (std::vector<size_t>{4, 2, 0}[variant]));
    }
}
