#include "core/reduced_copies.h"

#include "core/helper_threads.h"

#include <algorithm>
#include <thread>

namespace cw {

namespace {

constexpr int64_t kTwoThreadsFrom = 1 << 20;  // pixels of a copy

int32_t halved(int32_t n) { return (n + 1) / 2; }

bool isEmpty(const Rect& r) { return r.x1 >= r.x2 || r.y1 >= r.y2; }

Rect unite(const Rect& a, const Rect& b) {
    if (isEmpty(a)) return b;
    if (isEmpty(b)) return a;
    return {std::min(a.x1, b.x1), std::min(a.y1, b.y1), std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
}

// Recomputes the block [x1, x2) x [y1, y2) of `to` from `from`; an odd last
// column or row of `from` stands for its own missing neighbour.
void halve(const Bitmap& from, Bitmap& to, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int32_t lastX = from.width() - 1, lastY = from.height() - 1;
    for (int32_t y = y1; y < y2; ++y) {
        const uint32_t* top = from.row(2 * y);
        const uint32_t* bottom = from.row(std::min(2 * y + 1, lastY));
        uint32_t* out = to.row(y);
        int32_t x = x1;
        // Pairs of whole columns; the last, possibly single, column apart.
        const int32_t whole = std::min(x2, (lastX + 1) / 2);
        for (; x < whole; ++x) out[x] = meanOf4(top[2 * x], top[2 * x + 1], bottom[2 * x], bottom[2 * x + 1]);
        for (; x < x2; ++x) {
            const int32_t right = std::min(2 * x + 1, lastX);
            out[x] = meanOf4(top[2 * x], top[right], bottom[2 * x], bottom[right]);
        }
    }
}

} // namespace

void ReducedCopies::reset(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    levels_ = 0;
    for (int32_t w = width, h = height; std::max(w, h) > kSmallestSide && levels_ < kMaxLevel; ++levels_) {
        w = halved(w);
        h = halved(h);
    }
    copies_.clear();
    dirty_.assign(size_t(levels_), Rect{0, 0, width, height});
}

void ReducedCopies::changed(const Rect& r) {
    const Rect clipped{std::max(r.x1, 0), std::max(r.y1, 0), std::min(r.x2, width_), std::min(r.y2, height_)};
    if (isEmpty(clipped)) return;
    for (Rect& d : dirty_) d = unite(d, clipped);
}

void ReducedCopies::bringUpToDate(const Bitmap& picture, int level) {
    level = std::min(level, levels_);
    if (level <= 0 || picture.width() != width_ || picture.height() != height_) return;
    try {
        if (copies_.empty()) {
            copies_.reserve(size_t(levels_));
            for (int32_t k = 1, w = width_, h = height_; k <= levels_; ++k)
                copies_.emplace_back(w = halved(w), h = halved(h));
        }
    } catch (...) {
        reset(width_, height_);
        throw;
    }
    for (int k = 1; k <= level; ++k) {
        Rect& d = dirty_[size_t(k - 1)];
        if (isEmpty(d)) continue;
        // The block of copy k that covers the changed rectangle.
        const int32_t shift = k;
        const Bitmap& from = k == 1 ? picture : copies_[size_t(k - 2)];
        Bitmap& to = copies_[size_t(k - 1)];
        const int32_t x1 = d.x1 >> shift, y1 = d.y1 >> shift;
        const int32_t x2 = std::min(to.width(), ((d.x2 - 1) >> shift) + 1);
        const int32_t y2 = std::min(to.height(), ((d.y2 - 1) >> shift) + 1);
        // A change to most of a large picture (a fill, an undo) is halved on
        // two threads: it is read from memory faster than one thread can.
        if (int64_t(x2 - x1) * (y2 - y1) >= kTwoThreadsFrom && helperThreadsAllowed()) {
            const int32_t middle = y1 + (y2 - y1) / 2;
            std::thread top([&] { halve(from, to, x1, y1, x2, middle); });
            halve(from, to, x1, middle, x2, y2);
            top.join();
        } else {
            halve(from, to, x1, y1, x2, y2);
        }
        d = Rect{};
    }
}

size_t ReducedCopies::bytes() const {
    size_t n = 0;
    for (const Bitmap& b : copies_) n += b.pixelCount() * sizeof(uint32_t);
    return n;
}

} // namespace cw
