#include "core/fast_markup.h"

#include <algorithm>
#include <array>
#include <memory>
#include <new>

#include "core/progress.h"
#include "core/region_growth.h"
#include "core/workspace.h"

namespace cw {

namespace {

// The picture sampled nearest-neighbour onto the grid: each cell stands for
// the top-left pixel of the source span it covers, and takes its quantised
// level from it; the cell is barred where that pixel is coloured. The marks
// are the grid's own, so PixelCodes is never written.
struct Grid {
    int32_t w = 0, h = 0;
    std::unique_ptr<uint8_t[]> level;
    std::unique_ptr<int8_t[]> marks;

    Grid(const Workspace& ws, int32_t f, int32_t grayStep) : w(ws.width / f), h(ws.height / f) {
        if (w == 0 || h == 0) return;
        const size_t n = size_t(w) * size_t(h);
        level = std::make_unique_for_overwrite<uint8_t[]>(n);
        marks = std::make_unique_for_overwrite<int8_t[]>(n);
        std::array<uint8_t, 256> quantised;
        for (int v = 0; v < 256; ++v) quantised[v] = uint8_t(v / grayStep * grayStep);
        auto column = std::make_unique_for_overwrite<int32_t[]>(size_t(w));
        for (int32_t x = 0; x < w; ++x) column[x] = int32_t(int64_t(x) * ws.width / w);
        for (int32_t y = 0; y < h; ++y) {
            const int32_t sy = int32_t(int64_t(y) * ws.height / h);
            const uint32_t* src = ws.source.row(sy);
            const int8_t* codes = ws.codes.get() + size_t(sy) * size_t(ws.width);
            uint8_t* lv = level.get() + size_t(y) * size_t(w);
            int8_t* mk = marks.get() + size_t(y) * size_t(w);
            for (int32_t x = 0; x < w; ++x) {
                lv[x] = quantised[blueOf(src[column[x]])];
                mk[x] = codes[column[x]] != 0 ? int8_t(kCodeOriginal) : kCodeUncoloured;
            }
        }
    }
};

void scanGrid(Workspace& ws, const MarkUpParams& params, Progress& progress, int32_t f) {
    const Grid grid(ws, f, params.grayStep);
    int32_t left = 0, top = 0, right = grid.w - 1, bottom = grid.h - 1;
    if (!ws.selectionActive) {
        // In picture coordinates, as everything else reads it, not the grid's.
        ws.selectionRect = Rect{0, 0, ws.width - 1, ws.height - 1};
    } else {
        const Rect& r = ws.selectionRect;
        left = std::max(r.x1 / f, 0);
        top = std::max(r.y1 / f, 0);
        right = std::min(r.x2 / f, grid.w - 1);
        bottom = std::min(r.y2 / f, grid.h - 1);
    }
    if (grid.w == 0 || grid.h == 0) return;

    const int32_t d = std::max(kMinObjectSizeFloor, params.minObjectSize / f);
    const uint8_t* lv = grid.level.get();
    const auto level = [lv](uint32_t i) { return int32_t(lv[i]); };
    const auto stepDone = [&progress] { return progress.poll(); };
    AnchorList& list = ws.anchors;
    markup_detail::PixelQueue queue(size_t(grid.w) * size_t(grid.h));
    const uint32_t gw = uint32_t(grid.w);
    for (int32_t y = top; y <= bottom; ++y) {
        if (progress.poll()) break;
        if (bottom > 0) progress.reportMonotonic(int(int64_t(y) * 100 / bottom));
        for (int32_t x = left; x <= right; ++x) {
            const uint32_t seed = uint32_t(y) * gw + uint32_t(x);
            if (grid.marks[seed] != 0) continue;
            const markup_detail::Growth g =
                markup_detail::growRegion(queue, grid.marks.get(), grid.w, grid.h, seed, params.tolerance, d, 0,
                                          level, progress.workCount, stepDone, markup_detail::walkToTheEnd());
            Anchor a;
            a.size = g.n;
            const uint32_t at = g.n >= d ? uint32_t(g.anchor) : g.last;
            a.x = int32_t(at % gw) * f;
            a.y = int32_t(at / gw) * f;
            if (g.n >= d) a.status = 0;
            list.push_back(a);
        }
    }
}

} // namespace

Rect fastMarkUp(Workspace& ws, const MarkUpParams& params, int32_t factor, Progress& progress,
                std::vector<Rect>* displayChanged) {
    progress.begin(kPhasePreProcessing);
    WindowLock windows(progress);
    ws.anchors = AnchorList{};
    progress.workCount = 0;
    progress.setPhase(kPhaseMarking);
    try {
        scanGrid(ws, params, progress, factor);
    } catch (const std::bad_alloc&) {
        // No room for the grid or its queue: the closing steps still run.
    }
    return markup_detail::closeMarkUp(ws, progress, displayChanged);
}

} // namespace cw
