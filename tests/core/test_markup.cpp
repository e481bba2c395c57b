#include <deque>

#include "actions/remark_command.h"
#include "core_rig.h"

namespace {

// Mark-up written plainly: a deque of (x, y) pairs over the levels and marks of every pixel, or of one per f x f cell,
// every earlier anchor searched for the nearest; neighbours taken in the order of dx and dy.
struct Rule { int d; bool secondRank; int separation, tolerance; };  // separation 0: no spacing test

AnchorList plainMarkUp(const Workspace& ws, const std::vector<int8_t>& codes, int step, int f, const Rule& rule, const Rect& r) {
    const int w = ws.width / f, h = ws.height / f, dx[8] = {-1, 1, 0, 0, -1, 1, -1, 1}, dy[8] = {0, 0, -1, 1, -1, -1, 1, 1};
    std::vector<int> level;
    std::vector<int8_t> mark;
    for (int gy = 0; gy < h; ++gy)
        for (int gx = 0; gx < w; ++gx) {
            const int x = int(long(gx) * ws.width / w), y = int(long(gy) * ws.height / h);
            level.push_back(int(blueOf(ws.source.at(x, y))) / step * step);
            mark.push_back(codes[size_t(y) * ws.width + x]);
        }
    AnchorList out;
    for (int y = r.y1; y <= r.y2; ++y)
        for (int x = r.x1; x <= r.x2; ++x) {
            if (mark[size_t(y) * w + x] != 0) continue;
            const int base = level[size_t(y) * w + x];
            std::deque<std::pair<int, int>> q{{x, y}};
            mark[size_t(y) * w + x] = 127;
            int n = 0, ax = -1, ay = -1, lx = 0, ly = 0;
            for (; !q.empty(); q.pop_front()) {
                std::tie(lx, ly) = q.front();
                if (++n == rule.d || (rule.secondRank && n == 2 * rule.d)) ax = lx, ay = ly;
                for (int k = 0; k < 8; ++k) {
                    const int nx = lx + dx[k], ny = ly + dy[k];
                    const size_t j = size_t(ny) * w + nx;
                    if (nx >= 0 && ny >= 0 && nx < w && ny < h && mark[j] == 0 && std::abs(level[j] - base) < rule.tolerance)
                        mark[j] = 127, q.emplace_back(nx, ny);
                }
            }
            Anchor a{.size = n};
            bool place = n >= rule.d;
            const auto distance = [&](const Anchor& e) { return std::abs(e.x - ax) + std::abs(e.y - ay); };
            const Anchor* nearest = nullptr;
            for (const Anchor& e : out)
                if (place && rule.separation > 0 && e.status == 0 && (!nearest || distance(e) < distance(*nearest))) nearest = &e;
            if (nearest) place = std::abs(nearest->x - ax) >= rule.separation || std::abs(nearest->y - ay) >= rule.separation;
            if (place) a.x = ax * f, a.y = ay * f, a.status = 0;
            else if (rule.separation == 0) a.x = lx * f, a.y = ly * f;
            else if (out.empty()) a.x = lx, a.y = ly;
            out.push_back(a);
        }
    return out;
}

} // namespace

// The button marks up photos, coloured in part, and flat pictures at every scale and size, against the plain flood.
// Mark-up raises D to 10 and S to 15 and stores them, and anchors at the 2D-th pixel when there is one; the fast
// variant takes D' = max(10, D div f) and no spacing. Tolerances on a multiple of the gray step test the bound itself.
TEST(MarkUp, TheButtonMatchesAPlainFlood) {
    struct Case { const char* photo; int w, h, complexity, tolerance, d, sep, scale; bool selection = false, stale = false, reMark = false; };
    const auto plain = [](int w, int h, int d, int scale, bool stale = false) {
        return Case{nullptr, w, h, 32, 20, d, 2, scale, false, stale};
    };
    const Case cases[] = {
        {"camera.jpg", 0, 0, 16, 48, 85, 85, 100}, {"camera.jpg", 0, 0, 64, 8, 8, 8, 100},
        {"coffee.jpg", 0, 0, 32, 24, 17, 25, 100}, {"astronaut.jpg", 0, 0, 16, 30, 8, 42, 100, true},
        {"astronaut.jpg", 0, 0, 16, 30, 8, 42, 50, true}, {"coffee.jpg", 0, 0, 32, 24, 17, 25, 25},
        {"coffee.jpg", 0, 0, 32, 24, 17, 25, 100, false, false, true},  // Re-mark: the button discards the colouring
        {"coffee.jpg", 0, 0, 32, 20, 17, 25, 33}, {"coffee.jpg", 0, 0, 32, 24, 17, 25, 50}, {"coffee.jpg", 0, 0, 32, 24, 40, 25, 99},
        plain(30, 20, 10, 100), plain(30, 20, 37, 100), plain(30, 20, 300, 100), plain(30, 20, 301, 100), plain(4, 4, 10, 100),
        plain(5, 4, 10, 100), plain(3, 3, 10, 100), plain(30, 20, 601, 100), plain(1, 1, 10, 100), plain(400, 300, 30000, 100),
        plain(50, 1, 10, 100, true), plain(1, 50, 10, 100, true), plain(40, 40, 10, 150, true),  // a queue that wraps
        plain(40, 40, 60, 50), plain(40, 40, 19, 50), plain(50, 2, 10, 50), plain(50, 3, 10, 33, true), plain(18, 2, 10, 50),
        plain(40, 40, 10, 20), plain(3, 50, 10, 25), plain(40, 40, 10, 0)};
    for (const Case& c : cases) {
        Scene<> sc(c.photo ? photo(c.photo) : flat(c.w, c.h));
        const std::string what = "row " + std::to_string(&c - cases) + ", " + (c.photo ? c.photo : "flat");
        sc.s.controls.complexity = c.complexity, sc.s.controls.integration = c.tolerance;
        sc.s.markUpSizes = {c.d, c.sep};
        sc.s.controls.scalePercent = c.scale;
        // Strokes of code 5 over a photo, as a user's first colouring: a colour other than the source and a code.
        std::mt19937 rng(c.scale);
        for (int k = 0; c.photo && k < 300; ++k) {
            const int x0 = int(rng() % sc.w()), y0 = int(rng() % sc.ws().height), len = 3 + int(rng() % 40);
            for (int x = x0; x < std::min(sc.w(), x0 + len); ++x) {
                sc.ws().colour.at(x, y0) = sc.ws().source.at(x, y0) ^ 0x00ff00ffu;
                sc.ws().codes[size_t(y0) * sc.w() + x] = 5;
            }
        }
        if (c.selection) sc.ws().selectionActive = true, sc.ws().selectionRect = Rect{40, 100, 300, 260};
        const int f = std::max(1, 100 / std::clamp(c.scale, 1, 100));
        const bool full = c.scale >= 100;
        const Rect whole{0, 0, sc.w() - 1, sc.ws().height - 1}, shown = c.selection ? sc.ws().selectionRect : whole;
        const Rect within{shown.x1 / f, shown.y1 / f, std::min(shown.x2 / f, sc.w() / f - 1), std::min(shown.y2 / f, sc.ws().height / f - 1)};
        sc.s.controls.reMark = c.reMark;
        const std::vector<int8_t> codes = c.reMark ? std::vector<int8_t>(sc.ws().pixelCount()) : sc.codes();
        const std::vector<uint32_t> colours = c.reMark ? std::vector(sc.ws().source.data(), sc.ws().source.data() + codes.size()) : sc.colours();
        const int32_t uncoloured = int32_t(std::count(codes.begin(), codes.end(), 0));
        if (c.stale) sc.ws().freePixelCount = 0;
        sc.s.gesture.toolRect = Rect{3, 3, 5, 5};
        const AnchorList want = plainMarkUp(sc.ws(), codes, 256 / c.complexity, f, {std::max(10, c.d / f), full, full ? std::max(15, c.sep) : 0, c.tolerance},
                                            within);
        markUpClick(sc.s);
        EXPECT_EQ(sc.anchors(), describe(want)) << what;
        int64_t joined = 0;  // the gauge counts every pixel taken into a region
        for (const Anchor& a : want) joined += a.size;
        EXPECT_EQ(sc.progress.workCount, joined) << what;
        // The closing recount only clears codes of uncoloured pixels, and every code here belongs to a coloured one.
        EXPECT_EQ(std::make_tuple(sc.codes(), sc.colours(), sc.ws().freePixelCount),
                  std::tie(codes, colours, uncoloured)) << what;
        EXPECT_EQ(std::make_pair(sc.s.markUpSizes.minObjectSize, sc.s.markUpSizes.minAnchorSeparation),
                  full ? std::make_pair(std::max(c.d, 10), std::max(c.sep, 15)) : std::make_pair(c.d, c.sep));
        EXPECT_EQ(std::make_tuple(sc.s.gesture.toolRect, sc.ws().selectionRect, sc.progress.locked()),
                  std::make_tuple(whole, shown, false)) << "the selection in picture coordinates";
    }
    Scene<> closed(flat(10, 10));
    closed.s.imageWindowOpen = false;
    markUpClick(closed.s);
    EXPECT_TRUE(closed.progress.phases.empty());
}

TEST(MarkUp, AbortEndsTheRegionAndTheScanAtTheNextRow) {
    // Columns alternate black and white: each column is a region of its own. Poll 1 is row 0's, then one per pixel
    // taken; the fast variant polls at each row and after each cell.
    const std::pair<uint64_t, std::vector<int>> cases[] = {
        {0, std::vector<int>(8, 6)}, {1, {}}, {4, {3, 1, 1, 1, 1, 1, 1, 1}}, {8, {6, 1, 1, 1, 1, 1, 1, 1}}, {~0ull, {}}};
    for (const auto& [abortAt, sizes] : cases) {
        Scene<> sc(picture(8, 6, [](int x, int) { return x % 2 ? 255 : 0; }));
        sc.s.markUpSizes = {3, 15};
        sc.progress.abortAtPoll = abortAt == ~0ull ? 1 : abortAt;
        sc.s.controls.scalePercent = 100;
        abortAt == ~0ull ? runFastMarkUp(sc.s) : runMarkUp(sc.s, false);
        EXPECT_EQ(sc.anchorValues(), sizes) << "abort at poll " << abortAt;
        EXPECT_EQ(std::make_pair(sc.count(0), sc.ws().freePixelCount), std::make_pair(size_t(48), 48)) << "no mark is left";
        EXPECT_TRUE(sc.ws().imageModified && !sc.progress.locked() && !sc.progress.visible());
        EXPECT_EQ(sc.progress.phases, (std::vector<std::string>{kPhasePreProcessing, kPhaseMarking, kPhasePostProcessing}));
    }
}

TEST(MarkUp, MarkersAreDrawnOnTheDisplayOnlyAndClipped) {
    Scene<> sc(flat(40, 30, 50));
    sc.setAnchors({{20, 15, 1, 0}, {1, 29, 1, 0}, {30, 5, 1, -1}});
    for (ReMarkMode mode : {ReMarkMode::All, ReMarkMode::Pending}) {
        runReMark(sc.s, mode);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                uint32_t want = gray(50);
                for (const auto& [ax, ay] : {std::pair{20, 15}, {1, 29}})  // a square of reach 4, a cross, a yellow centre
                    if (const int dx = std::abs(x - ax), dy = std::abs(y - ay); std::max(dx, dy) <= 4 && (dx % 4 == 0 || dy % 4 == 0))
                        want = dx + dy ? rgb(255, 0, 0) : rgb(255, 255, 0);
                ASSERT_EQ(sc.ws().display.at(x, y), want) << x << "," << y;
            }
    }
    EXPECT_EQ(sc.colours(), std::vector<uint32_t>(1200, gray(50)));
    runReMark(sc.s, ReMarkMode::Remove);
    EXPECT_TRUE(sc.displayIsColour());
}
