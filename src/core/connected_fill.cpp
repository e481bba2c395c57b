#include "core/connected_fill.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/image_error.h"
#include "core/pixel_painters.h"
#include "core/progress.h"
#include "core/touch_paint.h"

namespace cw {

namespace {

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

// Sixteen bits at any byte: the walk reads and writes a pixel's three
// neighbours in one row this way. A type of its own rather than bytes, so
// that its stores cannot alias the walk's other state.
using Unaligned16 = uint16_t __attribute__((aligned(1)));
inline uint32_t load16(const uint8_t* p) { return *reinterpret_cast<const Unaligned16*>(p); }
inline void store16(uint8_t* p, uint32_t v) { *reinterpret_cast<Unaligned16*>(p) = uint16_t(v); }

// The walk's two bit planes, one bit per pixel each: "open" (may still be
// appended: unpainted and of a passing tone) and "swept" (open as it was
// when the taken pixels were last painted, so that those taken since are
// swept & ~open, and the walk itself only touches one plane). Rows are a
// power of two of bits apart, at least 16, with at least one spare (always
// clear) bit at the end of each row, and two clear rows above and one below
// the picture. Pixel (x, y) is bit
// ((y + 2) << shift) + x: the spare bits stand for the columns left of
// x = 0 and right of x = W - 1, and the clear rows for those above and
// below, so no neighbour needs a bounds test.
struct Planes {
    uint32_t shift;
    size_t bytes;
    std::unique_ptr<uint8_t[]> open, swept;

    static uint32_t shiftFor(uint32_t width) {
        return std::max<uint32_t>(4, uint32_t(std::bit_width(uint64_t(width))));  // 2^shift > width
    }
    static uint64_t bitsFor(uint32_t width, uint32_t height) { return (uint64_t(height) + 3) << shiftFor(width); }
    Planes(uint32_t width, uint32_t height)
        : shift(shiftFor(width)), bytes(size_t((bitsFor(width, height) + 7) / 8 + 16)) {
        ensureMemoryFor(2 * uint64_t(bytes));
        open = std::make_unique<uint8_t[]>(bytes);
        swept = std::make_unique<uint8_t[]>(bytes);
    }
    uint64_t position(uint32_t x, uint32_t y) const { return ((uint64_t(y) + 2) << shift) + x; }
};

// The open bits of plane rows from..to (the pixels' rows from - 2..to - 2;
// the clear rows are left alone).
void prepareRows(Planes& planes, const Workspace& ws, uint32_t lo, uint32_t hi, uint32_t from, uint32_t to,
                 std::vector<uint8_t>& passing) __attribute__((noinline));
void prepareRows(Planes& planes, const Workspace& ws, uint32_t lo, uint32_t hi, uint32_t from, uint32_t to,
                 std::vector<uint8_t>& passing) {
    const uint32_t w = uint32_t(ws.width), h = uint32_t(ws.height);
    if (hi < lo) return;  // no tone passes: nothing is ever open
    const uint32_t span = hi - lo;
    for (uint32_t row = std::max<uint32_t>(from, 2); row <= std::min(to, h + 1); ++row) {
        const uint32_t py = row - 2;
        const uint32_t* src = ws.source.data() + size_t(py) * w;
        const int8_t* cod = ws.codes.get() + size_t(py) * w;
        uint8_t* out = passing.data();
        for (uint32_t px = 0; px < w; ++px)
            out[px] = uint8_t(((src[px] & 0xff) - lo <= span) & isUnpaintedCode(cod[px]));
        // Rows start on a byte (at least 16 bits apart): eight pixels a byte.
        uint8_t* bits = planes.open.get() + (planes.position(0, py) >> 3);
        uint32_t px = 0;
        for (; px + 8 <= w; px += 8) {
            uint64_t eight;
            std::memcpy(&eight, out + px, sizeof eight);
            bits[px >> 3] = uint8_t((eight * 0x0102040810204080ull) >> 56);
        }
        for (; px < w; ++px) bits[px >> 3] = uint8_t(bits[px >> 3] | (out[px] << (px & 7)));
        std::memcpy(planes.swept.get() + (planes.position(0, py) >> 3), bits, (w + 7) / 8);
    }
}

// Which plane rows have their open bits, shared by the walk and a thread
// that works them out ahead of it, outward from the seed's row. Each row is
// claimed before it is worked out, so that it is done once, and the walk
// waits only for a row the other thread is in the middle of.
class RowPreparer {
public:
    RowPreparer(Planes& planes, const Workspace& ws, uint32_t lo, uint32_t hi)
        : planes_(planes), ws_(ws), lo_(lo), hi_(hi), h_(uint32_t(ws.height)),
          state_(std::make_unique<std::atomic<uint8_t>[]>(size_t(h_) + 3)) {
        for (uint32_t r = 0; r < h_ + 3; ++r) state_[r].store(r < 2 || r > h_ + 1 ? kReady : kNone);
    }
    ~RowPreparer() { stopAhead(); }

    // Plane row r has its open bits once this returns.
    void ensure(uint32_t r, std::vector<uint8_t>& passing) {
        if (state_[r].load(std::memory_order_acquire) == kReady) return;
        if (!prepare(r, passing))
            while (state_[r].load(std::memory_order_acquire) != kReady) std::this_thread::yield();
    }
    // Works out the rows ahead of the walk on a thread of its own, nearest
    // the seed's plane row first. Without a thread the walk does them all.
    void startAhead(uint32_t seedRow) {
        try {
            ahead_ = std::thread([this, seedRow] {
                std::vector<uint8_t> passing(size_t(ws_.width));
                for (uint32_t d = 0; d <= h_ && !stop_.load(std::memory_order_relaxed); ++d) {
                    if (seedRow + d <= h_ + 1) prepare(seedRow + d, passing);
                    if (d && seedRow >= 2 + d) prepare(seedRow - d, passing);
                }
            });
        } catch (const std::system_error&) {
        }
    }
    void stopAhead() {
        stop_.store(true, std::memory_order_relaxed);
        if (ahead_.joinable()) ahead_.join();
    }

private:
    static constexpr uint8_t kNone = 0, kClaimed = 1, kReady = 2;
    bool prepare(uint32_t r, std::vector<uint8_t>& passing) {
        uint8_t expected = kNone;
        if (!state_[r].compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) return false;
        prepareRows(planes_, ws_, lo_, hi_, r, r, passing);
        state_[r].store(kReady, std::memory_order_release);
        return true;
    }

    Planes& planes_;
    const Workspace& ws_;
    const uint32_t lo_, hi_, h_;
    std::unique_ptr<std::atomic<uint8_t>[]> state_;
    std::atomic<bool> stop_{false};
    std::thread ahead_;
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
// last round, after the walk, paints the rest. Started only once a fill has
// grown large. The display is written under the workspace's display lock,
// which the window's painting takes too.
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

// The queue's storage: a ring of positions that doubles when full. Each
// pixel enters at most once, so it never outgrows the picture's 2^31.
// Positions are 32-bit where the planes allow: half the ring's traffic.
template <class Pos>
struct Ring {
    std::unique_ptr<Pos[]> slots;
    uint32_t mask = 0;
};
template <class Pos>
Ring<Pos> grownRing(const Ring<Pos>& old, uint32_t head, uint32_t count) __attribute__((noinline));
template <class Pos>
Ring<Pos> grownRing(const Ring<Pos>& old, uint32_t head, uint32_t count) {
    const uint64_t capacity = old.slots ? uint64_t(old.mask) + 1 : 0;
    const uint64_t grown = std::max<uint64_t>(capacity * 2, uint64_t(1) << 13);
    if (grown > (uint64_t(1) << 31)) throw std::bad_alloc();
    ensureMemoryFor(grown * sizeof(Pos));
    Ring<Pos> r{std::make_unique_for_overwrite<Pos[]>(size_t(grown)), uint32_t(grown - 1)};
    for (uint32_t k = 0; k < count; ++k) r.slots[k] = old.slots[(head + k) & old.mask];
    return r;
}

// Pictures from this size on have their rows worked out on a second thread.
constexpr size_t kPrepareAheadPixels = size_t(1) << 22;

// The breadth-first flood. It walks the two bit planes instead of the
// picture's own arrays, so that the walk stays in cache on large pictures.
// A row's open bits are worked out before the walk first comes near it.
// Appending clears a pixel's open bit, which is what keeps it from being
// appended again, also for codes whose painting leaves the pixel unpainted
// (0 and 127). Painting is independent per pixel, so it is done apart from
// the walk, in picture order: what gets painted is exactly what the queue
// has taken in when the walk ends or is aborted. The walk's state is in
// locals and 32-bit counts (which the planes' and the ring's stores cannot
// alias), so that it stays in registers.
template <class Pos, class Paint>
void flood(Workspace& ws, const ConnectedFillParams& params, Progress& progress, Paint& paint, Bounds& changed) {
    const int32_t x = params.x, y = params.y;
    const uint32_t w = uint32_t(ws.width), h = uint32_t(ws.height);

    // The tone test passes one run of tones: bucket bases grow with the tone.
    const int32_t step = std::max<int32_t>(1, params.grayStep);
    const int32_t seedTone = int32_t(blueOf(ws.source.data()[size_t(y) * w + uint32_t(x)]));
    int32_t lo = 256, hi = -1;
    for (int32_t tone = 0; tone < 256; ++tone)
        if (connectedToneAccepts(tone, seedTone, step, params.tolerance)) {
            lo = std::min(lo, tone);
            hi = std::max(hi, tone);
        }
    // lo > hi when no tone passes.
    const uint32_t toneLo = uint32_t(lo), toneHi = hi < lo ? 0 : uint32_t(hi);

    Planes planes(w, h);
    std::vector<uint8_t> passing(w);
    uint8_t* const open = planes.open.get();
    const uint32_t shift = planes.shift;
    const Pos rowBits = Pos(1) << shift;
    const size_t rowBytes = size_t(rowBits >> 3);

    // Plane rows first..last have their open bits. The rows the walk reaches
    // are connected, so it only ever adds the row above or below.
    const Pos seed = Pos(planes.position(uint32_t(x), uint32_t(y)));
    uint32_t first = uint32_t(y) + 1, last = uint32_t(y) + 3;
    RowPreparer rows(planes, ws, toneLo, toneHi);
    for (uint32_t r = first; r <= last; ++r) rows.ensure(r, passing);
    // Large pictures have their rows worked out ahead on a second thread.
    if (ws.pixelCount() >= kPrepareAheadPixels) rows.startAhead(uint32_t(y) + 2);
    uint32_t inner = first + 1, innerSpan = last - first - 2;  // rows whose neighbours are prepared

    Ring<Pos> ring = grownRing(Ring<Pos>{}, 0, 0);
    Pos* slots = ring.slots.get();
    uint32_t mask = ring.mask, head = 0, count = 0;
    uint32_t room = mask - 7;  // the most the queue may hold before eight more appends

    // The seed is painted only if unpainted, whatever its tone, and first.
    open[seed >> 3] = uint8_t(open[seed >> 3] & ~(1u << (seed & 7)));
    planes.swept[seed >> 3] = open[seed >> 3];
    const uint32_t seedIndex = uint32_t(y) * w + uint32_t(x);
    if (isUnpaintedCode(ws.codes[seedIndex])) paint(seedIndex, x, y);
    uint32_t taken = 0;  // since the last painting
    slots[0] = seed;
    count = 1;
    ws.curPixelIndex = int32_t(seedIndex);

    // A round of painting every so many appends: few enough for the last
    // round, after the walk, to take no time to speak of; the painter starts
    // with the first round, so small fills never start it.
    constexpr uint32_t kPaintEvery = uint32_t(1) << 20;
    std::optional<Painter<Paint>> painter;
    bool alone = false;  // no second thread: painted here instead
    try {
        while (count != 0) {
            const Pos c = slots[head];
            // Rows row - 1..row + 1 within first..last, in one test.
            const uint32_t row = uint32_t(c >> shift);
            if (row - inner > innerSpan) [[unlikely]] {
                const uint32_t from = std::min(first, row - 1), to = std::max(last, row + 1);
                for (uint32_t r = from; r < first; ++r) rows.ensure(r, passing);
                for (uint32_t r = last + 1; r <= to; ++r) rows.ensure(r, passing);
                first = from;
                last = to;
                inner = first + 1;
                innerSpan = last - first - 2;
            }
            // The three open bits around c in the rows above, at and below.
            const Pos q = c - 1;
            const uint32_t b = uint32_t(q & 7);
            uint8_t* const o = open + (q >> 3);
            const uint32_t wu = load16(o - rowBytes), wa = load16(o), wd = load16(o + rowBytes);
            const uint32_t up = (wu >> b) & 7, at = (wa >> b) & 7, down = (wd >> b) & 7;
            if ((up | at | down) != 0) {
                // All open ones are taken.
                const uint32_t keep = ~(7u << b);
                store16(o - rowBytes, wu & keep);
                store16(o, wa & keep);
                store16(o + rowBytes, wd & keep);
                if (count > room) [[unlikely]] {
                    ring = grownRing(ring, head, count);
                    slots = ring.slots.get();
                    mask = ring.mask;
                    room = mask - 7;
                    head = 0;
                }
                uint32_t tail = head + count;
                auto append = [&](Pos n) { slots[tail++ & mask] = n; };
                if (at & 1) append(c - 1);
                if (at & 4) append(c + 1);
                if (up & 2) append(c - rowBits);
                if (down & 2) append(c + rowBits);
                if (up & 1) append(c - rowBits - 1);
                if (up & 4) append(c - rowBits + 1);
                if (down & 1) append(c + rowBits - 1);
                if (down & 4) append(c + rowBits + 1);
                const uint32_t added = tail - (head + count);
                count += added;
                taken += added;
            }
            head = (head + 1) & mask;
            --count;
            if (progress.poll()) break;
            // 100 div (length + 1) is 0 from a length of 100 on: nothing to show.
            if (count < 100) progress.reportMonotonic(int(100 / (count + 1)));
            if (taken >= kPaintEvery) [[unlikely]] {
                if (!painter && !alone) {
                    try {
                        painter.emplace(planes, ws, paint);
                    } catch (const std::exception&) {  // no thread, or no room for the copy
                        alone = true;
                    }
                }
                if (painter) painter->request(first, last);
                else paintTaken(planes, open, w, h, first, last, paint, changed);
                taken = 0;
            }
        }
    } catch (const std::bad_alloc&) {
        // No room for a longer queue: what was taken in is painted, as after an abort.
    }
    rows.stopAhead();
    if (painter) changed.add(painter->finish(first, last));  // the rest, after the walk
    else paintTaken(planes, open, w, h, first, last, paint, changed);
    if (count != 0) {
        const Pos f = slots[head];
        ws.curPixelIndex = int32_t(size_t((f >> shift) - 2) * w + uint32_t(f & (rowBits - 1)));
    }
}

template <class Paint>
Rect run(Workspace& ws, const ConnectedFillParams& params, Progress& progress, Paint paint) {
    const int32_t x = params.x, y = params.y;
    WindowLock windows(progress);
    progress.begin(kTouchPaintPhase, {.hideGauge = true, .hideGaugeText = true});
    Bounds changed{x, y, x, y};
    try {
        if (Planes::bitsFor(uint32_t(ws.width), uint32_t(ws.height)) + 64 < (uint64_t(1) << 32))
            flood<uint32_t>(ws, params, progress, paint, changed);
        else
            flood<uint64_t>(ws, params, progress, paint, changed);
    } catch (const std::bad_alloc&) {
        // No room for the bit planes: nothing is painted.
    }
    progress.end();
    ws.imageModified = true;
    return {changed.x1, changed.y1, changed.x2 + 1, changed.y2 + 1};
}

bool onPicture(const Workspace& ws, int32_t x, int32_t y) { return x >= 0 && y >= 0 && x < ws.width && y < ws.height; }

} // namespace

bool connectedToneAccepts(int32_t tone, int32_t seedTone, int32_t grayStep, int32_t tolerance) {
    const int32_t s = std::max<int32_t>(1, grayStep);
    const int32_t d = tone / s * s - seedTone / s * s;
    return -tolerance < d && d < tolerance;
}

Rect connectedFillMasked(Workspace& ws, const ConnectedFillParams& params, int32_t markerColour, Progress& progress) {
    if (!onPicture(ws, params.x, params.y)) return {};
    return run(ws, params, progress,
               detail::MaskedPaint{ws.colour.data(), ws.display.data(), ws.codes.get(), ws.source.data(),
                                   markerColour, int8_t(uint8_t(params.code))});
}

Rect connectedFillInteractive(const ColourMagContext& ctx, const ConnectedFillParams& params, Progress& progress) {
    Workspace& ws = ctx.ws;
    if (!onPicture(ws, params.x, params.y)) return {};
    return run(ws, params, progress,
               detail::InteractivePaint{ctx, ws.colour.data(), ws.display.data(), ws.codes.get(), params.code});
}

} // namespace cw
