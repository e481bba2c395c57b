#include "core/markup.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>
#include <vector>

#include "core/progress.h"
#include "core/region_growth.h"
#include "core/remark.h"

namespace cw {

namespace markup_detail {

void PixelQueue::grow() {
    const size_t cap = std::min(limit_, std::max<size_t>(64, cap_ * 2));
    if (cap <= cap_) throw std::bad_alloc();
    auto buf = std::make_unique_for_overwrite<uint32_t[]>(cap);
    for (size_t k = 0, j = head_; k < count_; ++k) {
        buf[k] = buf_[j];
        if (++j == cap_) j = 0;
    }
    buf_ = std::move(buf);
    cap_ = cap;
    head_ = 0;
}

Rect closeMarkUp(Workspace& ws, Progress& progress, std::vector<Rect>* displayChanged) {
    progress.setPhase(kPhasePostProcessing);
    recountUncoloured(ws, progress);
    const Rect shown = reMark(ws, ReMarkMode::Pending, displayChanged);
    progress.end();
    ws.imageModified = true;
    return shown;
}

} // namespace markup_detail

namespace {

using markup_detail::Growth;
using markup_detail::PixelQueue;

// Where a region of at least D pixels may take its anchor: decided by the
// earlier anchor nearest to its anchor point in city-block distance (the
// earliest of equals), which must be S or more away on at least one axis.
class AnchorSpacing {
public:
    AnchorSpacing(const AnchorList& list, int32_t separation, int64_t farthest)
        : list_(list), separation_(separation), farthest_(farthest) {}

    bool allows(int32_t ax, int32_t ay) const {
        // With no anchor yet there is nothing to be too close to, whatever
        // small regions were recorded before.
        if (placed_.empty()) return true;
        int64_t best = farthest_;
        size_t nearest = placed_.front();
        for (size_t k : placed_) {
            const Anchor& a = list_[k];
            const int64_t d = std::llabs(int64_t(a.x) - ax) + std::llabs(int64_t(a.y) - ay);
            if (d < best) {
                best = d;
                nearest = k;
            }
        }
        const Anchor& a = list_[nearest];
        return std::llabs(int64_t(a.x) - ax) >= separation_ || std::llabs(int64_t(a.y) - ay) >= separation_;
    }
    void placed(size_t index) { placed_.push_back(index); }

private:
    const AnchorList& list_;
    int32_t separation_;
    int64_t farthest_;
    std::vector<size_t> placed_;  // indices of the records with Status 0
};

struct ScanRect {
    int32_t left, top, right, bottom;
};

// The work rectangle, kept inside the picture.
ScanRect workRect(Workspace& ws) {
    if (!ws.selectionActive) ws.selectionRect = Rect{0, 0, ws.width - 1, ws.height - 1};
    const Rect& r = ws.selectionRect;
    return {std::max(r.x1, 0), std::max(r.y1, 0), std::min(r.x2, ws.width - 1), std::min(r.y2, ws.height - 1)};
}

void scan(Workspace& ws, const MarkUpParams& params, Progress& progress, const ScanRect& rect) {
    const int32_t w = ws.width, h = ws.height;
    const int32_t d = params.minObjectSize;
    const int32_t tolerance = params.tolerance;
    const int32_t step = params.grayStep;
    std::array<uint8_t, 256> quantised;
    for (int v = 0; v < 256; ++v) quantised[v] = uint8_t(v / step * step);
    const uint32_t* src = ws.source.data();
    const auto level = [&](uint32_t i) { return int32_t(quantised[blueOf(src[i])]); };

    int8_t* codes = ws.codes.get();
    // A count of 0 can only be stale (uncoloured pixels whose colour differs
    // from the source): the gauge then stays where it is.
    const int64_t free = ws.freePixelCount;
    int& taken = progress.workCount;
    // The gauge moves when the count reaches its next whole percent; it
    // shows the same as working the percent out at every step.
    int64_t nextPercentAt = 0;
    const auto moveGauge = [&] {
        if (free > 0 && taken >= nextPercentAt) {
            const int64_t percent = int64_t(taken) * 100 / free;
            progress.reportMonotonic(int(percent));
            nextPercentAt = ((percent + 1) * free + 99) / 100;
        }
    };
    const auto stepDone = [&] {
        if (progress.poll()) return true;
        moveGauge();
        return false;
    };
    // Where no Abort waits for an exact poll, a region's rest is found whole
    // once its anchor is known: up to kOnePassPixels that takes well under
    // the tenth of a second within which Abort must be answered.
    std::vector<markup_detail::Span> spans;
    const auto stepsDone = [&](uint64_t n) {
        progress.pollsMade(n);
        moveGauge();
    };
    const bool whole = !progress.abortAwaitsPoll() && ws.pixelCount() <= kOnePassPixels;
    const markup_detail::WholeRest<decltype(stepsDone)> rest{whole && d > 0 ? 2 * int64_t(d) : 0, &spans, stepsDone,
                                                            src, quantised.data()};

    AnchorList& list = ws.anchors;
    AnchorSpacing spacing(list, params.minSeparation, int64_t(w) * h);
    PixelQueue queue(ws.pixelCount());
    for (int32_t y = rect.top; y <= rect.bottom; ++y) {
        if (progress.poll()) break;
        // A work rectangle of one row has nothing to divide by: its gauge stays.
        if (rect.bottom > 0) progress.reportMonotonic(int(int64_t(y) * 100 / rect.bottom));
        for (int32_t x = rect.left; x <= rect.right; ++x) {
            const uint32_t seed = uint32_t(y) * uint32_t(w) + uint32_t(x);
            if (codes[seed] != 0) continue;
            const Growth g = markup_detail::growRegion(queue, codes, w, h, seed, tolerance, d, 2 * int64_t(d),
                                                       level, taken, stepDone, rest);
            Anchor a;
            a.size = g.n;
            const int32_t ax = int32_t(g.anchor % w), ay = int32_t(g.anchor / w);
            if (g.n >= d && spacing.allows(ax, ay)) {
                a.x = ax;
                a.y = ay;
                a.status = 0;
                spacing.placed(list.size());
            } else if (list.empty()) {
                a.x = int32_t(g.last % uint32_t(w));
                a.y = int32_t(g.last / uint32_t(w));
            }
            list.push_back(a);
        }
    }
}

} // namespace

Rect markUp(Workspace& ws, const MarkUpParams& params, Progress& progress, std::vector<Rect>* displayChanged) {
    progress.begin(kPhasePreProcessing);
    WindowLock windows(progress);
    ws.anchors = AnchorList{};
    if (params.discardColouring) {
        ws.colour.copyFrom(ws.source);
        recountUncoloured(ws, progress);
    }
    progress.workCount = 0;
    progress.setPhase(kPhaseMarking);
    try {
        scan(ws, params, progress, workRect(ws));
    } catch (const std::bad_alloc&) {
        // The queue could not grow: what was found stays, as after an abort.
    }
    return markup_detail::closeMarkUp(ws, progress, displayChanged);
}

void xSort(AnchorList& list) {
    std::stable_sort(list.begin(), list.end(), [](const Anchor& a, const Anchor& b) { return a.size < b.size; });
}

} // namespace cw
