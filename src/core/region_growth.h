#pragma once
// Inside the core only: the region growth and closing steps that mark-up and
// its grid variant share.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/markup.h"

namespace cw {

namespace markup_detail {

// First-in first-out queue of row-major pixel indices on a ring that grows
// by doubling, up to `limit` entries: every pixel enters at most once per
// mark-up, so a region never needs more than the picture holds.
class PixelQueue {
public:
    explicit PixelQueue(size_t limit) : limit_(limit) {}
    bool empty() const { return count_ == 0; }
    void clear() { head_ = count_ = 0; }
    uint32_t front() const { return buf_[head_]; }
    void pop() {
        if (++head_ == cap_) head_ = 0;
        --count_;
    }
    void push(uint32_t i) {
        if (count_ == cap_) grow();
        size_t tail = head_ + count_;
        if (tail >= cap_) tail -= cap_;
        buf_[tail] = i;
        ++count_;
    }

private:
    void grow();  // throws std::bad_alloc
    std::unique_ptr<uint32_t[]> buf_;
    size_t cap_ = 0, head_ = 0, count_ = 0, limit_;
};

struct Growth {
    int32_t n = 0;         // pixels dequeued
    int64_t anchor = -1;   // index of the anchor point, -1 while none
    uint32_t last = 0;     // the last pixel dequeued
};

// Grows the region of `seed` breadth-first over the w x h raster `marks`
// (non-zero: barrier or visited; joined pixels get kCodeOriginal). A neighbour
// joins when its level is within `tolerance` of the seed's, exclusive.
// The anchor point is the pixel dequeued as number rank1 or rank2 (the later
// wins). `taken` counts the pixels marked. After each dequeued pixel
// `stepDone()` runs; true ends the region.
template <class Level, class StepDone>
Growth growRegion(PixelQueue& q, int8_t* marks, int32_t w, int32_t h, uint32_t seed, int32_t tolerance,
                  int64_t rank1, int64_t rank2, const Level& level, int& taken, StepDone&& stepDone) {
    Growth g;
    const int32_t base = level(seed);
    q.clear();
    q.push(seed);
    marks[seed] = int8_t(kCodeOriginal);
    ++taken;
    const auto visit = [&](uint32_t j) {
        if (marks[j] != 0) return;
        const int32_t d = level(j) - base;
        if (d > -tolerance && d < tolerance) {
            marks[j] = int8_t(kCodeOriginal);
            q.push(j);
            ++taken;
        }
    };
    const uint32_t uw = uint32_t(w);
    while (!q.empty()) {
        ++g.n;
        const uint32_t i = q.front();
        if (g.n == rank1 || g.n == rank2) g.anchor = i;
        const int32_t y = int32_t(i / uw), x = int32_t(i - uint32_t(y) * uw);
        const bool l = x > 0, r = x < w - 1, u = y > 0, d = y < h - 1;
        if (l) visit(i - 1);
        if (r) visit(i + 1);
        if (u) visit(i - uw);
        if (d) visit(i + uw);
        if (u && l) visit(i - uw - 1);
        if (u && r) visit(i - uw + 1);
        if (d && l) visit(i + uw - 1);
        if (d && r) visit(i + uw + 1);
        q.pop();
        g.last = i;
        if (stepDone()) break;
    }
    return g;
}

// The closing steps every mark-up runs, aborted or not: clean the marks and
// recount, show the anchors, end the progress display (the caller's lock
// unlocks after it). Returns the
// part of the display redrawn, exclusive bounds.
Rect closeMarkUp(Workspace& ws, Progress& progress);

} // namespace markup_detail

} // namespace cw
