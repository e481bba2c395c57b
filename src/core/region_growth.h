#pragma once
// Inside the core only: the region growth and closing steps that mark-up and
// its grid variant share.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/bitmap.h"
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
    size_t size() const { return count_; }
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
    uint32_t last = 0;     // the last pixel dequeued (not kept once the rest is found whole)
};

// A run of joined pixels on row y, x1..x2, whose neighbours on the rows above
// and below are still to be looked at; those on row `fromY` between fromX1
// and fromX2 (the run it was found from) are joined already.
struct Span {
    int32_t y, x1, x2;
    int32_t fromY, fromX1, fromX2;
};

// When the rest of a region may be found whole: once the pixel of rank
// `from` has been dequeued (0: never), nothing later depends on the order.
// `stepsDone(n)` then stands for the n steps the walk would have taken.
// The levels are `levels[blueOf(source[i])]` (needed from `from` on): the
// rest's runs are looked along sixteen pixels at a time.
template <class StepsDone>
struct WholeRest {
    int64_t from = 0;
    std::vector<Span>* spans = nullptr;  // room, kept from region to region
    StepsDone stepsDone;
    const uint32_t* source = nullptr;
    const uint8_t* levels = nullptr;
};
inline auto walkToTheEnd() {
    return WholeRest<void (*)(uint64_t)>{0, nullptr, [](uint64_t) {}};
}

// The first of pixels rowStart + x .. rowStart + last that is not open (not
// marked, its source's blue byte in lo .. lo + span), or last + 1.
inline int32_t firstClosed(const int8_t* marks, const uint32_t* source, size_t rowStart, int32_t x, int32_t last,
                           uint8_t lo, uint8_t span) {
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128(), low = _mm_set1_epi32(0xff), los = _mm_set1_epi8(char(lo)),
                  spans = _mm_set1_epi8(char(span));
    for (; x + 16 <= last + 1; x += 16) {
        const size_t i = rowStart + size_t(x);
        const __m128i free = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(marks + i)), zero);
        const auto blue = [&](int k) {
            return _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(source + i + 4 * size_t(k))), low);
        };
        const __m128i gray = _mm_packus_epi16(_mm_packs_epi32(blue(0), blue(1)), _mm_packs_epi32(blue(2), blue(3)));
        const __m128i above = _mm_sub_epi8(gray, los);  // gray - lo, wrapping: <= span when in the band
        const __m128i inBand = _mm_cmpeq_epi8(_mm_min_epu8(above, spans), above);
        const int open = _mm_movemask_epi8(_mm_and_si128(free, inBand));
        if (open != 0xffff) return x + std::countr_one(unsigned(open));
    }
#endif
    for (; x <= last; ++x) {
        const size_t i = rowStart + size_t(x);
        if (marks[i] != 0 || uint8_t(blueOf(source[i]) - lo) > span) return x;
    }
    return x;
}

// Every pixel joined to those queued, found a run at a time and marked; the
// queue is emptied. `openUntil(rowStart, x, last)` is the first pixel from x
// on, up to last, that is not open, or last + 1. The same set the breadth-first walk reaches from them,
// in another order. Returns how many pixels it marked.
template <class Open, class OpenUntil>
int64_t joinTheRest(PixelQueue& q, int8_t* marks, int32_t w, int32_t h, const Open& open, const OpenUntil& openUntil,
                    std::vector<Span>& spans) {
    const size_t uw = size_t(w);
    int64_t joined = 0;
    const auto markRun = [&](size_t rowStart, int32_t a, int32_t b) {
        std::memset(marks + rowStart + size_t(a), int8_t(kCodeOriginal), size_t(b - a + 1));
        joined += b - a + 1;
    };
    // The run through (x, row y) that open pixels make with it; x itself is
    // marked already or about to be.
    const auto runAround = [&](size_t rowStart, int32_t x, int32_t& a, int32_t& b) {
        a = b = x;
        while (a > 0 && open(rowStart + size_t(a - 1))) --a;
        b = openUntil(rowStart, x + 1, w - 1) - 1;
    };
    spans.clear();
    for (; !q.empty(); q.pop()) {
        const uint32_t i = q.front();
        const int32_t y = int32_t(i / uw), x = int32_t(i - size_t(y) * uw);
        const size_t rowStart = size_t(y) * uw;
        int32_t a, b;
        runAround(rowStart, x, a, b);
        if (a < x) markRun(rowStart, a, x - 1);
        if (b > x) markRun(rowStart, x + 1, b);
        spans.push_back({y, a, b, -1, 0, -1});
    }
    while (!spans.empty()) {
        const Span s = spans.back();
        spans.pop_back();
        for (const int32_t ny : {s.y - 1, s.y + 1}) {
            if (ny < 0 || ny >= h) continue;
            const size_t rowStart = size_t(ny) * uw;
            const int8_t* row = marks + rowStart;
            const int32_t end = std::min(s.x2 + 1, w - 1);
            for (int32_t x = std::max(s.x1 - 1, 0); x <= end;) {
                // The run this one was found from is joined whole.
                if (ny == s.fromY && x >= s.fromX1 && x <= s.fromX2) {
                    x = s.fromX2 + 1;
                    continue;
                }
                // Joined and barrier pixels eight at a time, to the first free one.
                if (x + 8 <= end + 1) {
                    uint64_t eight;
                    std::memcpy(&eight, row + x, 8);
                    const uint64_t free = (eight - 0x0101010101010101ull) & ~eight & 0x8080808080808080ull;
                    if (free == 0) {
                        x += 8;
                        continue;
                    }
                    x += int32_t(std::countr_zero(free) / 8);
                }
                if (!open(rowStart + size_t(x))) {
                    ++x;
                    continue;
                }
                int32_t a, b;
                runAround(rowStart, x, a, b);
                markRun(rowStart, a, b);
                spans.push_back({ny, a, b, s.y, s.x1, s.x2});
                x = b + 2;  // b + 1 is not open
            }
        }
    }
    return joined;
}

// Grows the region of `seed` breadth-first over the w x h raster `marks`
// (non-zero: barrier or visited; joined pixels get kCodeOriginal). A neighbour
// joins when its level is within `tolerance` of the seed's, exclusive.
// The anchor point is the pixel dequeued as number rank1 or rank2 (the later
// wins). `taken` counts the pixels marked. After each dequeued pixel
// `stepDone()` runs; true ends the region. From `whole.from` on, the rest is
// found whole.
template <class Level, class StepDone, class StepsDone>
Growth growRegion(PixelQueue& q, int8_t* marks, int32_t w, int32_t h, uint32_t seed, int32_t tolerance,
                  int64_t rank1, int64_t rank2, const Level& level, int& taken, StepDone&& stepDone,
                  const WholeRest<StepsDone>& whole) {
    Growth g;
    const int32_t base = level(seed);
    q.clear();
    q.push(seed);
    marks[seed] = int8_t(kCodeOriginal);
    ++taken;
    const auto open = [&](size_t j) {
        if (marks[j] != 0) return false;
        const int32_t d = level(uint32_t(j)) - base;
        return d > -tolerance && d < tolerance;
    };
    const auto visit = [&](uint32_t j) {
        if (open(j)) {
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
        if (g.n == whole.from && !q.empty()) {
            const uint64_t waiting = q.size();
            // The band of source values whose level joins: one interval, the levels rising with them.
            int32_t lo = 256, hi = -1;
            for (int32_t v = 0; v < 256; ++v) {
                const int32_t dv = int32_t(whole.levels[v]) - base;
                if (dv > -tolerance && dv < tolerance) lo = std::min(lo, v), hi = v;
            }
            const auto openUntil = [&](size_t rowStart, int32_t from, int32_t last) {
                return hi < lo ? from : firstClosed(marks, whole.source, rowStart, from, last, uint8_t(lo), uint8_t(hi - lo));
            };
            const int64_t joined = joinTheRest(q, marks, w, h, open, openUntil, *whole.spans);
            taken += int(joined);
            g.n += int32_t(waiting + uint64_t(joined));
            whole.stepsDone(waiting + uint64_t(joined));
            break;
        }
    }
    return g;
}

// The closing steps every mark-up runs, aborted or not: clean the marks and
// recount, show the anchors, end the progress display (the caller's lock
// unlocks after it). Returns the
// part of the display redrawn, exclusive bounds.
Rect closeMarkUp(Workspace& ws, Progress& progress, std::vector<Rect>* displayChanged);

} // namespace markup_detail

} // namespace cw
