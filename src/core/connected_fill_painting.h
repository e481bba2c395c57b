#pragma once
// Inside the core only: how the connected fill paints what its walk has
// taken. Painting is independent per pixel, so it is done apart from the
// walk, in picture order, from the difference of the two bit planes: what
// gets painted is exactly what the queue has taken in when the walk ends or
// is aborted.
#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "core/connected_fill_planes.h"
#include "core/image_error.h"
#include "core/workspace.h"

namespace cw::connected {

// What the fill changed, inclusive.
struct Bounds {
    int32_t x1, y1, x2, y2;
    void add(int32_t x, int32_t y) {
        x1 = std::min(x1, x);
        x2 = std::max(x2, x);
        y1 = std::min(y1, y);
        y2 = std::max(y2, y);
    }
    void add(const Bounds& o) {
        if (o.x1 > o.x2) return;  // empty
        add(o.x1, o.y1);
        add(o.x2, o.y2);
    }
};

// Paints the pixels of plane rows from..to taken since the last call, in
// picture order: those open at the last call and not in `nowOpen` (the open
// plane, or a copy of it).
template <class Paint>
void paintTaken(Planes& planes, const uint8_t* nowOpen, uint32_t w, uint32_t h, uint32_t from, uint32_t to,
                Paint& paint, Bounds& changed) __attribute__((noinline));
template <class Paint>
void paintTaken(Planes& planes, const uint8_t* nowOpen, uint32_t w, uint32_t h, uint32_t from, uint32_t to,
                Paint& paint, Bounds& changed) {
    for (uint32_t row = std::max<uint32_t>(from, 2); row <= std::min(to, h + 1); ++row) {
        const uint32_t py = row - 2;
        const size_t start = size_t(planes.position(0, py) >> 3);
        const uint8_t* open = nowOpen + start;
        uint8_t* swept = planes.swept.get() + start;
        // The row's own bytes only: narrow rows are fewer than a word apart.
        const uint32_t used = (w + 7) / 8;  // the row's spare bits are never set
        for (uint32_t k = 0; 8 * k < used; ++k) {
            const size_t n = std::min<size_t>(8, used - 8 * size_t(k));
            uint64_t was = 0, now = 0;
            std::memcpy(&was, swept + 8 * size_t(k), n);
            std::memcpy(&now, open + 8 * size_t(k), n);
            uint64_t word = was & ~now;  // open bits are only ever cleared
            if (word == 0) continue;
            std::memcpy(swept + 8 * size_t(k), &now, n);
            // Runs of set bits, painted left to right.
            do {
                const uint32_t b0 = uint32_t(std::countr_zero(word));
                const uint64_t below = word | ((uint64_t(1) << b0) - 1);
                const uint32_t b1 = below == UINT64_MAX ? 64 : uint32_t(std::countr_one(below));
                word = b1 == 64 ? 0 : word & (UINT64_MAX << b1);
                const uint32_t x0 = 64 * k + b0, x1 = 64 * k + b1;
                paint.run(uint32_t(size_t(py) * w + x0), int32_t(x0), int32_t(x1), int32_t(py));
                changed.add(int32_t(x0), int32_t(py));
                changed.add(int32_t(x1 - 1), int32_t(py));
            } while (word != 0);
        }
    }
}

// Paints on a second thread while the walk goes on, so that on large fills
// painting costs next to no time of its own. Every so many appends the walk
// hands over a copy of the open bits of its rows (the walk keeps changing
// the plane itself) and the painter paints what was taken up to then; the
// last round, after the walk, paints the rest. The display is written under
// the workspace's display lock, which the window's painting takes too.
template <class Paint>
class Painter {
public:
    Painter(Planes& planes, Workspace& ws, Paint& paint)
        : planes_(planes), ws_(ws), paint_(paint), copy_(allocateCopy(planes)), thread_([this] { work(); }) {}
    ~Painter() {
        if (thread_.joinable()) {
            handOver(0, 0, false, true);  // nothing new: only ends the thread
            thread_.join();
        }
    }

    // Plane rows first..last are prepared: paints what is taken in them.
    void request(uint32_t first, uint32_t last) { handOver(first, last, true, false); }
    // Paints what is left, waits for it, and gives what the painter changed.
    Bounds finish(uint32_t first, uint32_t last) {
        handOver(first, last, true, true);
        thread_.join();
        return changed_;
    }

private:
    static std::unique_ptr<uint8_t[]> allocateCopy(const Planes& planes) {
        ensureMemoryFor(planes.bytes);
        return std::make_unique_for_overwrite<uint8_t[]>(planes.bytes);
    }
    void handOver(uint32_t first, uint32_t last, bool copy, bool ending) {
        {
            std::unique_lock lock(mutex_);
            done_.wait(lock, [&] { return served_ == requests_; });  // the copy is free again
            if (copy) {
                const size_t from = size_t((uint64_t(first) << planes_.shift) >> 3);  // plane rows
                const size_t to = size_t((uint64_t(last) + 1) << planes_.shift >> 3);
                std::memcpy(copy_.get() + from, planes_.open.get() + from, to - from);
                first_ = first;
                last_ = last;
            }
            ending_ = ending;
            ++requests_;
        }
        wake_.notify_one();
    }
    void work() {
        // A copy of its own: the original sits beside the walk's busy stack.
        Paint paint = paint_;
        for (;;) {
            uint32_t first, last;
            bool ending;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return requests_ != served_; });
                first = first_;
                last = last_;
                ending = ending_;
            }
            {
                std::lock_guard display(ws_.displayLock);
                paintTaken(planes_, copy_.get(), uint32_t(ws_.width), uint32_t(ws_.height), first, last, paint,
                           changed_);
            }
            {
                std::lock_guard lock(mutex_);
                ++served_;
            }
            done_.notify_one();
            if (ending) return;
        }
    }

    Planes& planes_;
    Workspace& ws_;
    Paint& paint_;
    std::unique_ptr<uint8_t[]> copy_;
    Bounds changed_{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    std::mutex mutex_;
    std::condition_variable wake_, done_;
    uint32_t first_ = 0, last_ = 0, requests_ = 0, served_ = 0;
    bool ending_ = false;
    std::thread thread_;  // last: it starts once the rest is set up
};

// The rounds of painting a walk asks for. The second thread starts with the
// first round, so small fills, which only have the last, never start it;
// where it cannot be had (no thread, or no room for the copy) the rounds
// are painted on the walk's own thread.
template <class Paint>
class PaintRounds {
public:
    PaintRounds(Planes& planes, Workspace& ws, Paint& paint, Bounds& changed)
        : planes_(planes), ws_(ws), paint_(paint), changed_(changed) {}

    // The walk has taken more in plane rows first..last.
    void round(uint32_t first, uint32_t last) {
        if (!painter_ && !alone_) {
            try {
                painter_.emplace(planes_, ws_, paint_);
            } catch (const std::exception&) {
                alone_ = true;
            }
        }
        if (painter_) painter_->request(first, last);
        else paintTaken(planes_, planes_.open.get(), uint32_t(ws_.width), uint32_t(ws_.height), first, last, paint_,
                        changed_);
    }
    // The walk is over: paints the rest and waits for it.
    void last(uint32_t first, uint32_t last) {
        if (painter_) changed_.add(painter_->finish(first, last));
        else paintTaken(planes_, planes_.open.get(), uint32_t(ws_.width), uint32_t(ws_.height), first, last, paint_,
                        changed_);
    }

private:
    Planes& planes_;
    Workspace& ws_;
    Paint& paint_;
    Bounds& changed_;
    std::optional<Painter<Paint>> painter_;
    bool alone_ = false;
};

} // namespace cw::connected
