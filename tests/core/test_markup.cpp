#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "actions/fast_markup.h"
#include "actions/headless_host.h"
#include "actions/markup.h"
#include "actions/remark.h"
#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/markup.h"
#include "test_support.h"

using namespace cw;

namespace {

Bitmap flat(int w, int h, uint32_t g = 100) {
    Bitmap b(w, h);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = rgb(g, g, g);
    return b;
}

struct Scene : cwtest::SessionRig<> {
    explicit Scene(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.imageWindowOpen = true;
        s.settings.imageSpan = s.ws->width + s.ws->height;
        valSet(s.controls, s.settings);
        progress.phases.clear();
    }
    int w() { return ws().width; }
    void sizes(int d, int sep) {
        s.settings.minObjectSize = d;
        s.settings.minAnchorSeparation = sep;
    }
    // A coloured pixel as a paint tool leaves it: a colour other than the
    // source and a code.
    void colourIn(int x, int y, int8_t code = 1) {
        ws().colour.at(x, y) = ws().source.at(x, y) ^ 0x00ff00ffu;
        ws().codes[size_t(y) * w() + x] = code;
    }
    size_t count(int8_t code) { return size_t(std::count(ws().codes.get(), ws().codes.get() + ws().pixelCount(), code)); }
};

std::string describe(const Anchor& a) {
    return "{" + std::to_string(a.x) + "," + std::to_string(a.y) + " size " + std::to_string(a.size) + " code " +
           std::to_string(a.code) + " status " + std::to_string(a.status) + "}";
}

void expectSameList(const AnchorList& got, const AnchorList& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (size_t k = 0; k < got.size(); ++k) ASSERT_EQ(describe(got[k]), describe(want[k])) << what << " record " << k;
}

// Breadth-first order over a whole w x h raster from (0, 0), neighbours in
// the order left, right, up, down, up-left, up-right, down-left, down-right.
constexpr int kStepX[8] = {-1, 1, 0, 0, -1, 1, -1, 1}, kStepY[8] = {0, 0, -1, 1, -1, -1, 1, 1};

std::vector<std::pair<int, int>> bfsOrder(int w, int h) {
    std::vector<bool> seen(size_t(w) * h);
    std::deque<std::pair<int, int>> q{{0, 0}};
    seen[0] = true;
    std::vector<std::pair<int, int>> order;
    while (!q.empty()) {
        const auto [x, y] = q.front();
        q.pop_front();
        order.emplace_back(x, y);
        for (int k = 0; k < 8; ++k) {
            const int nx = x + kStepX[k], ny = y + kStepY[k];
            if (nx < 0 || ny < 0 || nx >= w || ny >= h || seen[size_t(ny) * w + nx]) continue;
            seen[size_t(ny) * w + nx] = true;
            q.emplace_back(nx, ny);
        }
    }
    return order;
}

// Mark-up written plainly, for comparison on real photos: a deque of (x, y)
// pairs over a raster of levels and barriers, every earlier anchor searched.
struct Raster {
    int w = 0, h = 0;
    std::vector<int> level;
    std::vector<int8_t> mark;
};

struct Rule {
    int d;
    bool secondRank;  // the anchor moves to the 2D-th pixel
    int separation;   // 0: no spacing test
    int factor;       // positions are multiplied by it
    int tolerance;
};

AnchorList plainMarkUp(Raster r, const Rule& rule, int left, int top, int right, int bottom) {
    AnchorList out;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x) {
            if (r.mark[size_t(y) * r.w + x] != 0) continue;
            const int base = r.level[size_t(y) * r.w + x];
            std::deque<std::pair<int, int>> q{{x, y}};
            r.mark[size_t(y) * r.w + x] = 127;
            int n = 0, ax = -1, ay = -1, lx = 0, ly = 0;
            while (!q.empty()) {
                ++n;
                const auto [cx, cy] = q.front();
                if (n == rule.d || (rule.secondRank && n == 2 * rule.d)) ax = cx, ay = cy;
                for (int k = 0; k < 8; ++k) {
                    const int nx = cx + kStepX[k], ny = cy + kStepY[k];
                    if (nx < 0 || ny < 0 || nx >= r.w || ny >= r.h) continue;
                    const size_t j = size_t(ny) * r.w + nx;
                    const int diff = r.level[j] - base;
                    if (r.mark[j] == 0 && diff > -rule.tolerance && diff < rule.tolerance) {
                        r.mark[j] = 127;
                        q.emplace_back(nx, ny);
                    }
                }
                q.pop_front();
                lx = cx, ly = cy;
            }
            Anchor a;
            a.size = n;
            bool place = n >= rule.d;
            if (place && rule.separation > 0) {
                long best = long(r.w) * r.h;
                const Anchor* nearest = nullptr;
                for (const Anchor& e : out)
                    if (e.status == 0 && std::abs(e.x - ax) + std::abs(e.y - ay) < best) {
                        best = std::abs(e.x - ax) + std::abs(e.y - ay);
                        nearest = &e;
                    }
                if (nearest)
                    place = std::abs(nearest->x - ax) >= rule.separation || std::abs(nearest->y - ay) >= rule.separation;
            }
            if (place) {
                a.x = ax * rule.factor, a.y = ay * rule.factor, a.status = 0;
            } else if (rule.separation == 0) {
                a.x = lx * rule.factor, a.y = ly * rule.factor;
            } else if (out.empty()) {
                a.x = lx, a.y = ly;
            }
            out.push_back(a);
        }
    return out;
}

Raster fullRaster(Workspace& ws, int step) {
    Raster r{ws.width, ws.height, {}, {}};
    for (size_t i = 0; i < ws.pixelCount(); ++i) {
        r.level.push_back(int(blueOf(ws.source.data()[i])) / step * step);
        r.mark.push_back(ws.codes[i]);
    }
    return r;
}

Raster gridRaster(Workspace& ws, int step, int f) {
    Raster r{ws.width / f, ws.height / f, {}, {}};
    for (int gy = 0; gy < r.h; ++gy)
        for (int gx = 0; gx < r.w; ++gx) {
            const int x = int(long(gx) * ws.width / r.w), y = int(long(gy) * ws.height / r.h);
            r.level.push_back(int(blueOf(ws.source.at(x, y))) / step * step);
            r.mark.push_back(ws.codes[size_t(y) * ws.width + x] != 0);
        }
    return r;
}

// Strokes of code 5 over a photo, as a user's first colouring.
void strokes(Scene& sc, unsigned seed, int count) {
    std::mt19937 rng(seed);
    for (int k = 0; k < count; ++k) {
        const int x0 = int(rng() % sc.w()), y0 = int(rng() % sc.ws().height), len = 3 + int(rng() % 40);
        for (int x = x0; x < std::min(sc.w(), x0 + len); ++x) sc.colourIn(x, y0, 5);
    }
}

} // namespace

TEST(MarkUp, MatchesAPlainFloodOnPhotos) {
    struct Case {
        const char* photo;
        int complexity, integration, objectivity, separation;
        bool coloured, selection;
    };
    const Case cases[] = {
        {"photos/camera.jpg", 16, 52, 10, 10, false, false},
        {"photos/camera.jpg", 64, 9, 1, 1, false, false},
        {"photos/coffee.jpg", 32, 20, 2, 3, true, false},
        {"photos/astronaut.jpg", 16, 30, 1, 5, true, true},
    };
    for (const Case& c : cases) {
        Scene sc(decodeJpegFile(cwtest::testdata(c.photo)));
        sc.s.controls.complexity = c.complexity;
        sc.s.controls.integration = c.integration;
        sc.s.controls.objectivity = c.objectivity;
        sc.s.controls.separation = c.separation;
        valSet(sc.s.controls, sc.s.settings);
        if (c.coloured) strokes(sc, 3, 300);
        if (c.selection) {
            sc.ws().selectionActive = true;
            sc.ws().selectionRect = Rect{40, 100, 300, 260};
        }
        const size_t uncoloured = sc.count(0);
        const int d = std::max(10, sc.s.settings.minObjectSize), sep = std::max(15, sc.s.settings.minAnchorSeparation);
        const Rect r = c.selection ? sc.ws().selectionRect : Rect{0, 0, sc.w() - 1, sc.ws().height - 1};
        const AnchorList want = plainMarkUp(fullRaster(sc.ws(), 256 / c.complexity), {d, true, sep, 1, c.integration},
                                            r.x1, r.y1, r.x2, r.y2);
        markUp(sc.s, false);
        expectSameList(sc.ws().anchors, want, c.photo);
        EXPECT_GT(std::count_if(want.begin(), want.end(), [](const Anchor& a) { return a.status == 0; }), 0);
        if (!c.selection) {
            const long total = std::accumulate(want.begin(), want.end(), 0L, [](long t, const Anchor& a) { return t + a.size; });
            EXPECT_EQ(size_t(total), uncoloured) << "every uncoloured pixel lies in one region";
        }
    }
}

TEST(MarkUp, FastMarkUpMatchesAPlainFloodOverTheGrid) {
    for (int scale : {25, 33, 50, 99}) {
        Scene sc(decodeJpegFile(cwtest::testdata("photos/coffee.jpg")));
        strokes(sc, 11, 200);
        const std::vector<int8_t> codes(sc.ws().codes.get(), sc.ws().codes.get() + sc.ws().pixelCount());
        sc.s.controls.scalePercent = scale;
        const int f = 100 / scale;
        const int d = std::max(10, sc.s.settings.minObjectSize / f);
        const Raster grid = gridRaster(sc.ws(), sc.s.settings.grayStep, f);
        const AnchorList want = plainMarkUp(grid, {d, false, 0, f, sc.s.settings.integrationTolerance}, 0, 0, grid.w - 1,
                                            grid.h - 1);
        fastMarkUp(sc.s);
        expectSameList(sc.ws().anchors, want, "scale " + std::to_string(scale));
        EXPECT_EQ(sc.ws().selectionRect, (Rect{0, 0, sc.w() - 1, sc.ws().height - 1})) << "in picture coordinates";
        // The grid has marks of its own: the picture's codes are as they were
        // (the closing recount only clears codes of uncoloured pixels, and
        // every code here belongs to a coloured one).
        EXPECT_TRUE(std::equal(codes.begin(), codes.end(), sc.ws().codes.get())) << "scale " << scale;
    }
}

TEST(MarkUp, FlatPictureGetsOneAnchorAtTheDthOr2DthPixel) {
    const auto order = bfsOrder(30, 20);
    // The flood's first pixels, worked out by hand.
    EXPECT_EQ(std::vector(order.begin(), order.begin() + 8),
              (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 0}, {2, 1}, {0, 2}, {1, 2}}));
    struct Case {
        int w, h, d;
        int rank;  // 1-based dequeue rank of the anchor; 0: no anchor
    };
    const Case cases[] = {{30, 20, 10, 20}, {30, 20, 37, 74}, {30, 20, 300, 600}, {30, 20, 301, 301},
                          {4, 4, 10, 10},   {5, 4, 10, 20},   {3, 3, 10, 0},      {30, 20, 601, 0},
                          {400, 300, 30000, 60000}};  // its queue grows while it wraps
    for (const Case& c : cases) {
        Scene sc(flat(c.w, c.h));
        sc.sizes(c.d, 15);
        markUp(sc.s, false);
        const auto bfs = bfsOrder(c.w, c.h);
        ASSERT_EQ(sc.ws().anchors.size(), 1u);
        const Anchor& a = sc.ws().anchors[0];
        EXPECT_EQ(a.size, c.w * c.h);
        EXPECT_EQ(a.code, -1);
        const auto at = c.rank ? bfs[size_t(c.rank) - 1] : bfs.back();  // no anchor: the last pixel taken
        EXPECT_EQ(a.status, c.rank ? 0 : -1) << c.w << "x" << c.h << " D " << c.d;
        EXPECT_EQ(std::make_pair(a.x, a.y), at) << c.w << "x" << c.h << " D " << c.d;
    }
}

TEST(MarkUp, SizeAndSeparationDecideWhichRegionsGetAnAnchor) {
    // Runs of uncoloured pixels on a coloured field: a run seeded at its left
    // end takes its pixels left to right, so a run of D = 10 pixels has its
    // anchor at x0 + 9. S = 15.
    struct Run {
        int y, x0, len;
    };
    struct Want {
        int8_t status;
        int x, y, size;
    };
    struct Case {
        const char* name;
        std::vector<Run> runs;
        std::vector<Want> want;
    };
    const Case cases[] = {
        {"D - 1 pixels: no anchor, the last pixel as position", {{0, 0, 9}}, {{-1, 8, 0, 9}}},
        {"within S - 1 on both axes", {{0, 0, 10}, {14, 14, 10}}, {{0, 9, 0, 10}, {-1, 0, 0, 10}}},
        {"S away on x", {{0, 0, 10}, {14, 15, 10}}, {{0, 9, 0, 10}, {0, 24, 14, 10}}},
        {"S away on y", {{0, 0, 10}, {15, 10, 10}}, {{0, 9, 0, 10}, {0, 19, 15, 10}}},
        {"the nearest anchor is S away on x, a farther one close on both axes",
         {{36, 27, 10}, {49, 56, 10}, {50, 41, 10}}, {{0, 36, 36, 10}, {0, 65, 49, 10}, {0, 50, 50, 10}}},
        {"the nearest anchor is close on both axes", {{36, 27, 10}, {49, 55, 10}, {50, 41, 10}},
         {{0, 36, 36, 10}, {0, 64, 49, 10}, {-1, 0, 0, 10}}},
        {"after small regions only, a large one still gets an anchor", {{0, 0, 5}, {3, 0, 10}},
         {{-1, 4, 0, 5}, {0, 9, 3, 10}}},
    };
    for (const Case& c : cases) {
        Scene sc(flat(100, 100));
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x) sc.colourIn(x, y);
        for (const Run& r : c.runs)
            for (int x = r.x0; x < r.x0 + r.len; ++x) {
                sc.ws().colour.at(x, r.y) = sc.ws().source.at(x, r.y);
                sc.ws().codes[size_t(r.y) * 100 + x] = 0;
            }
        sc.sizes(10, 15);
        markUp(sc.s, false);
        AnchorList want;
        for (const Want& w : c.want) {
            Anchor a;
            a.status = w.status, a.x = w.x, a.y = w.y, a.size = w.size;
            want.push_back(a);
        }
        expectSameList(sc.ws().anchors, want, c.name);
        // Markers only where there is an anchor.
        for (const Anchor& a : sc.ws().anchors)
            EXPECT_EQ(sc.ws().display.at(a.x, a.y) == fromBGR(0x00FFFF), a.status == 0) << c.name;
    }
}

TEST(MarkUp, ColouredPixelsAreNeverEntered) {
    Scene sc(flat(20, 20));
    for (int y = 0; y < 20; ++y) sc.colourIn(10, y, 7);
    markUp(sc.s, false);
    ASSERT_EQ(sc.ws().anchors.size(), 2u);
    EXPECT_EQ(sc.ws().anchors[0].size, 200);
    EXPECT_EQ(sc.ws().anchors[1].size, 180);
    EXPECT_EQ(sc.count(7), 20u);
    EXPECT_EQ(sc.count(0), 380u) << "the marks are cleaned up";
    EXPECT_EQ(sc.ws().freePixelCount, 380);

    Scene all(flat(12, 7));
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 12; ++x) all.colourIn(x, y, 3);
    markUp(all.s, false);
    EXPECT_TRUE(all.ws().anchors.empty());
    EXPECT_EQ(all.count(3), 84u);
}

TEST(MarkUp, SelectionSeedsRegionsThatGrowPastIt) {
    for (bool fast : {false, true}) {
        Bitmap b(60, 40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) b.at(x, y) = x < 30 ? rgb(0, 0, 0) : rgb(255, 255, 255);
        Scene sc(std::move(b));
        const Rect selection = fast ? Rect{32, 4, 58, 30} : Rect{5, 5, 20, 20};
        sc.ws().selectionActive = true;
        sc.ws().selectionRect = selection;
        sc.s.controls.scalePercent = 50;
        if (fast) fastMarkUp(sc.s);
        else markUp(sc.s, false);
        ASSERT_EQ(sc.ws().anchors.size(), 1u) << "only pixels inside the selection seed";
        EXPECT_EQ(sc.ws().anchors[0].size, fast ? 15 * 20 : 30 * 40) << "the region reaches the picture's edges";
        EXPECT_EQ(sc.ws().anchors[0].status, 0);
        EXPECT_EQ(sc.ws().selectionRect, selection);
    }
}

TEST(MarkUp, OneRowPicturesAndAStaleFreeCountDoNotFail) {
    struct Case {
        int w, h;
        bool staleCount;
        int scale;
        int size, x, y;
        int8_t status;
    };
    const Case cases[] = {
        {50, 1, false, 100, 50, 19, 0, 0}, {50, 1, true, 100, 50, 19, 0, 0},   {1, 50, true, 100, 50, 0, 19, 0},
        {1, 1, false, 100, 1, 0, 0, -1},   {40, 30, true, 100, 1200, 0, 0, 0}, {50, 2, false, 50, 25, 18, 0, 0},
        {50, 3, true, 33, 16, 27, 0, 0},   {18, 2, false, 50, 9, 16, 0, -1},
    };
    for (const Case& c : cases) {
        Scene sc(flat(c.w, c.h));
        sc.sizes(10, 15);
        if (c.staleCount) sc.ws().freePixelCount = 0;
        sc.s.controls.scalePercent = c.scale;
        markUpClick(sc.s);
        ASSERT_EQ(sc.ws().anchors.size(), 1u) << c.w << "x" << c.h;
        const Anchor& a = sc.ws().anchors[0];
        EXPECT_EQ(a.size, c.size) << c.w << "x" << c.h;
        EXPECT_EQ(a.status, c.status) << c.w << "x" << c.h;
        if (c.status == 0 && c.size == 1200) {
            const auto at = bfsOrder(40, 30)[19];
            EXPECT_EQ(std::make_pair(a.x, a.y), at);
        } else {
            EXPECT_EQ(std::make_pair(a.x, a.y), std::make_pair(c.x, c.y)) << c.w << "x" << c.h;
        }
        EXPECT_EQ(sc.ws().freePixelCount, c.w * c.h);
    }
    // A grid with no cells at all.
    Scene tiny(flat(3, 50));
    tiny.s.controls.scalePercent = 25;
    markUpClick(tiny.s);
    EXPECT_TRUE(tiny.ws().anchors.empty());
    EXPECT_FALSE(tiny.progress.locked());
}

TEST(MarkUp, FastMarkUpBarsTheCellsWhoseOwnPixelIsColoured) {
    // A 40 x 40 picture on a 20 x 20 grid (Scale% 50): cell (x, y) stands for
    // pixel (2x, 2y). The first 400 codes of the picture are its top ten rows.
    struct Case {
        const char* name;
        int x1, y1, x2, y2;  // coloured pixels, inclusive
        int cells;
    };
    const Case cases[] = {
        {"bottom half coloured", 0, 20, 39, 39, 20 * 10},
        {"top ten rows coloured", 0, 0, 39, 9, 20 * 15},
        {"two left columns coloured", 0, 0, 1, 39, 19 * 20},
        {"odd rows coloured: no cell's pixel", 0, 1, 39, 1, 400},
    };
    for (const Case& c : cases) {
        Scene sc(flat(40, 40));
        for (int y = c.y1; y <= c.y2; ++y)
            for (int x = c.x1; x <= c.x2; ++x) sc.colourIn(x, y, 4);
        const size_t coloured = sc.count(4);
        sc.s.controls.scalePercent = 50;
        fastMarkUp(sc.s);
        ASSERT_EQ(sc.ws().anchors.size(), 1u) << c.name;
        EXPECT_EQ(sc.ws().anchors[0].size, c.cells) << c.name;
        EXPECT_EQ(sc.count(4), coloured) << c.name;
        EXPECT_EQ(sc.count(0), 1600 - coloured) << c.name;
    }
}

TEST(MarkUp, FastMarkUpTakesTheDPrimeThCellAndKeepsTheStoredSize) {
    // 40 x 40 on a 20 x 20 grid: D' = max(10, D div 2), no 2D' rule, S unused.
    for (const auto& [d, rank] : std::vector<std::pair<int, int>>{{60, 30}, {4, 10}, {19, 10}}) {
        Scene sc(flat(40, 40));
        sc.sizes(d, 3);
        sc.s.controls.scalePercent = 50;
        fastMarkUp(sc.s);
        ASSERT_EQ(sc.ws().anchors.size(), 1u);
        const auto cell = bfsOrder(20, 20)[size_t(rank) - 1];
        EXPECT_EQ(std::make_pair(sc.ws().anchors[0].x, sc.ws().anchors[0].y),
                  std::make_pair(cell.first * 2, cell.second * 2)) << "D " << d;
        EXPECT_EQ(sc.s.settings.minObjectSize, d);
        EXPECT_EQ(sc.s.settings.minAnchorSeparation, 3);
    }
}

TEST(MarkUp, ObjectivityAndSeparationOfOneAreRaisedAndStored) {
    Scene sc(flat(100, 100));
    sc.s.controls.objectivity = 1;
    sc.s.controls.separation = 1;
    valSet(sc.s.controls, sc.s.settings);
    EXPECT_EQ(sc.s.settings.minObjectSize, 2);
    EXPECT_EQ(sc.s.settings.minAnchorSeparation, 2);
    markUp(sc.s, false);
    EXPECT_EQ(sc.s.settings.minObjectSize, 10);
    EXPECT_EQ(sc.s.settings.minAnchorSeparation, 15);
    EXPECT_EQ(sc.ws().anchors[0].x, bfsOrder(100, 100)[19].first);
}

TEST(MarkUp, AbortEndsTheRegionAndTheScanAtTheNextRow) {
    // Columns alternate black and white: each column is a region of its own.
    const int w = 8, h = 6;
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.at(x, y) = x % 2 ? rgb(255, 255, 255) : rgb(0, 0, 0);
    struct Case {
        uint64_t abortAt;  // poll 1 is row 0's; then one per pixel taken
        std::vector<int> sizes;
    };
    const Case cases[] = {
        {0, std::vector<int>(w, h)},
        {1, {}},
        {4, {3, 1, 1, 1, 1, 1, 1, 1}},
        {2 + h, {6, 1, 1, 1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        Scene sc(b.clone());
        sc.sizes(3, 15);
        sc.progress.abortAtPoll = c.abortAt;
        markUp(sc.s, false);
        std::vector<int> sizes;
        for (const Anchor& a : sc.ws().anchors) sizes.push_back(a.size);
        EXPECT_EQ(sizes, c.sizes) << "abort at poll " << c.abortAt;
        EXPECT_EQ(sc.count(127), 0u);
        EXPECT_EQ(sc.ws().freePixelCount, w * h);
        EXPECT_FALSE(sc.progress.locked());
        EXPECT_FALSE(sc.progress.visible());
        EXPECT_TRUE(sc.ws().imageModified);
        EXPECT_EQ(sc.progress.phases, (std::vector<std::string>{kPhasePreProcessing, kPhaseMarking, kPhasePostProcessing}));
    }
    // The fast variant polls at each row and after each cell.
    Scene fast(b.clone());
    fast.s.controls.scalePercent = 100;
    fast.progress.abortAtPoll = 1;
    fastMarkUp(fast.s);
    EXPECT_TRUE(fast.ws().anchors.empty());
    EXPECT_FALSE(fast.progress.locked());
}

TEST(MarkUp, ReMarkFromTheButtonOnlyDiscardsColouring) {
    for (bool fromButton : {true, false}) {
        Scene sc(flat(30, 30));
        for (int x = 0; x < 30; ++x) sc.colourIn(x, 12, 9);
        sc.s.controls.reMark = true;
        if (fromButton) markUpClick(sc.s);
        else markUp(sc.s, false);
        if (fromButton) {
            EXPECT_EQ(0, std::memcmp(sc.ws().colour.data(), sc.ws().source.data(), 900 * 4));
            EXPECT_EQ(sc.count(0), 900u);
            ASSERT_EQ(sc.ws().anchors.size(), 1u);
            EXPECT_EQ(sc.ws().anchors[0].size, 900);
        } else {
            EXPECT_EQ(sc.count(9), 30u);
            EXPECT_EQ(sc.ws().anchors.size(), 2u);
        }
    }
}

TEST(MarkUp, TheButtonChoosesTheVariantByScale) {
    struct Case {
        int scale;
        size_t records;
        int size;
    };
    const Case cases[] = {{100, 1, 1600}, {150, 1, 1600}, {50, 1, 400}, {25, 1, 100}, {20, 1, 64}, {0, 0, 0}};
    for (const Case& c : cases) {
        Scene sc(flat(40, 40));
        sc.s.controls.scalePercent = c.scale;
        sc.ws().toolRect = Rect{3, 3, 5, 5};
        markUpClick(sc.s);
        ASSERT_EQ(sc.ws().anchors.size(), c.records) << "scale " << c.scale;
        if (c.records) {
            EXPECT_EQ(sc.ws().anchors[0].size, c.size) << "scale " << c.scale;
        }
        EXPECT_EQ(sc.ws().toolRect, (Rect{0, 0, 39, 39}));
    }
    Scene closed(flat(10, 10));
    closed.s.imageWindowOpen = false;
    markUpClick(closed.s);
    EXPECT_TRUE(closed.progress.phases.empty());
}

TEST(MarkUp, MarkersAreDrawnOnTheDisplayOnlyAndClipped) {
    Scene sc(flat(40, 30, 50));
    Anchor a;
    a.x = 20, a.y = 15, a.status = 0;
    Anchor edge;
    edge.x = 1, edge.y = 29, edge.status = 0;
    Anchor none;
    none.x = 30, none.y = 5, none.status = -1;
    sc.ws().anchors = {a, edge, none};
    const uint32_t red = rgb(255, 0, 0), yellow = rgb(255, 255, 0), gray = rgb(50, 50, 50);
    for (ReMarkMode mode : {ReMarkMode::All, ReMarkMode::Pending}) {
        reMark(sc.s, mode);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x) {
                uint32_t want = gray;
                for (const Anchor* m : {&a, &edge}) {
                    const int dx = x - m->x, dy = y - m->y;
                    if (std::max(std::abs(dx), std::abs(dy)) > 4) continue;
                    if (dx == 0 && dy == 0) want = yellow;
                    else if (std::abs(dx) == 4 || std::abs(dy) == 4 || dx == 0 || dy == 0) want = red;
                }
                ASSERT_EQ(sc.ws().display.at(x, y), want) << x << "," << y;
            }
    }
    for (size_t i = 0; i < sc.ws().pixelCount(); ++i) ASSERT_EQ(sc.ws().colour.data()[i], gray);
    reMark(sc.s, ReMarkMode::Remove);
    EXPECT_TRUE(sc.displayIsColour());
}

TEST(MarkUp, XSortIsAStableSelectionSortBySize) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        AnchorList list(rng() % 40);
        for (size_t k = 0; k < list.size(); ++k) {
            list[k].size = int(rng() % 6);
            list[k].x = int(k);  // tells equal sizes apart
        }
        // The sort as designed: take the first smallest, append it, repeat.
        AnchorList rest = list, want;
        while (!rest.empty()) {
            size_t pick = 0;
            for (size_t k = 1; k < rest.size(); ++k)
                if (rest[k].size < rest[pick].size) pick = k;
            want.push_back(rest[pick]);
            rest.erase(rest.begin() + long(pick));
        }
        xSort(list);
        expectSameList(list, want, "round " + std::to_string(round));
    }
}
