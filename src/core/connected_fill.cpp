#include "core/connected_fill.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "core/helper_threads.h"

#include "core/connected_fill_painting.h"
#include "core/connected_fill_planes.h"
#include "core/connected_fill_queue.h"
#include "core/pixel_painters.h"
#include "core/progress.h"
#include "core/tone_fill.h"

namespace cw {

namespace {

using connected::Bounds;
using connected::grownRing;
using connected::PaintRounds;
using connected::Planes;
using connected::Ring;
using connected::RowPreparer;

// Sixteen bits at any byte: the walk reads and writes a pixel's three
// neighbours in one row this way. A type of its own rather than bytes, so
// that its stores cannot alias the walk's other state.
using Unaligned16 = uint16_t __attribute__((aligned(1)));
inline uint32_t load16(const uint8_t* p) { return *reinterpret_cast<const Unaligned16*>(p); }
inline void store16(uint8_t* p, uint32_t v) { *reinterpret_cast<Unaligned16*>(p) = uint16_t(v); }

// Pictures from this size on have their rows worked out on a second thread.
constexpr size_t kPrepareAheadPixels = size_t(1) << 22;
// A round of painting every so many appends: few enough for the last round,
// after the walk, to take no time to speak of.
constexpr uint32_t kPaintEvery = uint32_t(1) << 20;

// The tones lo..hi that pass the test against the seed's: bucket bases grow
// with the tone, so they are one run. hi < lo when no tone passes.
struct ToneRun {
    uint32_t lo, hi;
};
ToneRun passingTones(int32_t seedTone, const ConnectedFillParams& params) {
    const int32_t step = std::max<int32_t>(1, params.grayStep);
    int32_t lo = 256, hi = -1;
    for (int32_t tone = 0; tone < 256; ++tone)
        if (connectedToneAccepts(tone, seedTone, step, params.tolerance)) {
            lo = std::min(lo, tone);
            hi = std::max(hi, tone);
        }
    return {uint32_t(lo), hi < lo ? 0 : uint32_t(hi)};
}

// The walk's parts below are inlined into its one loop whatever their
// size: the walk's state must stay in the loop's registers, which a call
// taking it by reference would send to memory.

// The seed is taken first, and painted only if unpainted, whatever its tone.
template <class Pos, class Paint>
[[gnu::always_inline]] inline void takeSeed(Planes& planes, Workspace& ws, Pos seed, uint32_t seedIndex, int32_t x,
                                            int32_t y, Paint& paint) {
    uint8_t* const open = planes.open.get();
    open[seed >> 3] = uint8_t(open[seed >> 3] & ~(1u << (seed & 7)));
    planes.swept[seed >> 3] = open[seed >> 3];
    if (isUnpaintedCode(ws.codes[seedIndex])) paint(seedIndex, x, y);
}

// Plane rows first..last have their open bits. The rows the walk reaches
// are connected, so it only ever adds the row above or below; `inner` and
// `innerSpan` say which rows have both neighbours prepared, so that the
// walk tests a row in one comparison.
struct PreparedRows {
    uint32_t first, last, inner, innerSpan;
    void set(uint32_t from, uint32_t to) {
        first = from;
        last = to;
        inner = first + 1;
        innerSpan = last - first - 2;
    }
};

// Rows row - 1..row + 1 get their open bits before the walk reads them.
[[gnu::always_inline]] inline void prepareAround(PreparedRows& rows, RowPreparer& preparer,
                                                 std::vector<uint8_t>& passing, uint32_t row) {
    if (row - rows.inner <= rows.innerSpan) [[likely]]
        return;
    const uint32_t from = std::min(rows.first, row - 1), to = std::max(rows.last, row + 1);
    for (uint32_t r = from; r < rows.first; ++r) preparer.ensure(r, passing);
    for (uint32_t r = rows.last + 1; r <= to; ++r) preparer.ensure(r, passing);
    rows.set(from, to);
}

// The scan around c: its open neighbours in the rows above, at and below
// are taken (their open bits cleared) and appended in the documented order;
// `count` and `taken` grow by as many.
template <class Pos>
[[gnu::always_inline]] inline void takeNeighbours(uint8_t* open, size_t rowBytes, Pos rowBits, Pos c,
                                                  Ring<Pos>& ring, Pos*& slots, uint32_t& mask, uint32_t& room,
                                                  uint32_t& head, uint32_t& count, uint32_t& taken) {
    const Pos q = c - 1;
    const uint32_t b = uint32_t(q & 7);
    uint8_t* const o = open + (q >> 3);
    const uint32_t wu = load16(o - rowBytes), wa = load16(o), wd = load16(o + rowBytes);
    const uint32_t up = (wu >> b) & 7, at = (wa >> b) & 7, down = (wd >> b) & 7;
    if ((up | at | down) == 0) return;
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

// The picture index of the queue's front: where an abort leaves the walk.
template <class Pos>
int32_t frontIndex(Pos front, uint32_t shift, uint32_t w) {
    const Pos rowBits = Pos(1) << shift;
    return int32_t(size_t((front >> shift) - 2) * w + uint32_t(front & (rowBits - 1)));
}

// The breadth-first flood over the bit planes. Appending clears a pixel's
// open bit, which is what keeps it from being appended again, also for codes
// whose painting leaves the pixel unpainted (0 and 127); the pixels taken
// are painted in rounds apart from the walk. The walk's state is in locals
// and 32-bit counts (which the planes' and the ring's stores cannot alias),
// so that it stays in registers.
template <class Pos, class Paint>
void flood(Workspace& ws, const ConnectedFillParams& params, Progress& progress, Paint& paint, Bounds& changed) {
    const int32_t x = params.x, y = params.y;
    const uint32_t w = uint32_t(ws.width);
    const uint32_t seedIndex = uint32_t(y) * w + uint32_t(x);
    const ToneRun tones = passingTones(int32_t(blueOf(ws.source.data()[seedIndex])), params);

    Planes planes(w, uint32_t(ws.height));
    std::vector<uint8_t> passing(w);
    uint8_t* const open = planes.open.get();
    const uint32_t shift = planes.shift;
    const Pos rowBits = Pos(1) << shift;
    const size_t rowBytes = size_t(rowBits >> 3);

    const Pos seed = Pos(planes.position(uint32_t(x), uint32_t(y)));
    PreparedRows prepared;
    prepared.set(uint32_t(y) + 1, uint32_t(y) + 3);
    RowPreparer rows(planes, ws, tones.lo, tones.hi);
    for (uint32_t r = prepared.first; r <= prepared.last; ++r) rows.ensure(r, passing);
    if (ws.pixelCount() >= kPrepareAheadPixels) rows.startAhead(uint32_t(y) + 2);

    Ring<Pos> ring = grownRing(Ring<Pos>{}, 0, 0);
    Pos* slots = ring.slots.get();
    uint32_t mask = ring.mask, head = 0, count = 0;
    uint32_t room = mask - 7;  // the most the queue may hold before eight more appends

    takeSeed(planes, ws, seed, seedIndex, x, y, paint);
    uint32_t taken = 0;  // since the last round of painting
    slots[0] = seed;
    count = 1;
    ws.curPixelIndex = int32_t(seedIndex);

    PaintRounds<Paint> rounds(planes, ws, paint, changed);
    try {
        while (count != 0) {
            const Pos c = slots[head];
            prepareAround(prepared, rows, passing, uint32_t(c >> shift));
            takeNeighbours(open, rowBytes, rowBits, c, ring, slots, mask, room, head, count, taken);
            // The queue's turn: c leaves it.
            head = (head + 1) & mask;
            --count;
            if (progress.poll()) break;
            // 100 div (length + 1) is 0 from a length of 100 on: nothing to show.
            if (count < 100) progress.reportMonotonic(int(100 / (count + 1)));
            if (taken >= kPaintEvery) [[unlikely]] {
                rounds.round(prepared.first, prepared.last);
                taken = 0;
            }
        }
    } catch (const std::bad_alloc&) {
        // No room for a longer queue: what was taken in is painted, as after an abort.
    }
    rows.stopAhead();
    rounds.last(prepared.first, prepared.last);
    if (count != 0) ws.curPixelIndex = frontIndex(slots[head], shift, w);
}

// Where no Abort waits for an exact poll, the region is found whole, 64
// pixels a word along its rows, and painted as the walk's rounds paint it:
// the same pixels, in picture order, so the same picture. Below this many
// pixels (kOnePassPixels) that takes well under the tenth of a second
// within which Abort must be answered, so the polls are left out; above,
// the walk runs.

// The open plane seen as one long row of bits: the spare bits at each row's
// end and the clear rows around the picture stop every run.
class OpenBits {
public:
    explicit OpenBits(uint8_t* bits) : bits_(bits) {}
    // The 64 bits from bit p on (the planes hold spare bytes past the end).
    uint64_t word(uint64_t p) const {
        uint64_t w;
        std::memcpy(&w, bits_ + (p >> 3), sizeof w);
        return w >> (p & 7);
    }
    // How many set bits run from p on, rightward.
    uint64_t onesFrom(uint64_t p) const {
        uint64_t n = 0;
        for (;;) {
            const uint32_t valid = 64 - uint32_t(p & 7);
            const uint32_t k = uint32_t(std::countr_one(word(p)));
            if (k < valid) return n + k;
            n += valid;
            p += valid;
        }
    }
    // How many set bits run leftward from p - 1.
    uint64_t onesBefore(uint64_t p) const {
        uint64_t n = 0;
        while (p > 0 && bit(p - 1)) {
            if ((p & 7) == 0 && p >= 64) {
                // Whole bytes at a time.
                uint64_t w;
                std::memcpy(&w, bits_ + (p >> 3) - 8, sizeof w);
                const uint32_t k = uint32_t(std::countl_one(w));
                n += k;
                p -= k;
                if (k < 64) return n;
                continue;
            }
            ++n;
            --p;
        }
        return n;
    }
    // The first set bit in p..q, or q + 1.
    uint64_t nextOne(uint64_t p, uint64_t q) const {
        while (p <= q) {
            const uint32_t valid = 64 - uint32_t(p & 7);
            const uint64_t w = word(p) & (valid == 64 ? ~uint64_t(0) : (uint64_t(1) << valid) - 1);
            if (w) return std::min(q + 1, p + uint64_t(std::countr_zero(w)));
            p += valid;
        }
        return q + 1;
    }
    bool bit(uint64_t p) const { return (bits_[p >> 3] >> (p & 7)) & 1; }
    // Clears bits a..b.
    void clear(uint64_t a, uint64_t b) {
        for (; a <= b && (a & 7); ++a) bits_[a >> 3] = uint8_t(bits_[a >> 3] & ~(1u << (a & 7)));
        if (a > b) return;
        const uint64_t bytes = (b + 1 - a) >> 3;
        std::memset(bits_ + (a >> 3), 0, size_t(bytes));
        for (a += bytes << 3; a <= b; ++a) bits_[a >> 3] = uint8_t(bits_[a >> 3] & ~(1u << (a & 7)));
    }

private:
    uint8_t* bits_;
};

// Paints every pixel taken. Where painting a pixel depends on nothing but
// the pixel, two threads take alternate blocks of rows, so that each has
// about half of a region of any shape; the second writes the display under
// the workspace's display lock, as the walk's painter does.
template <class Paint>
void paintAllTaken(Planes& planes, Workspace& ws, Paint& paint, Bounds& changed) {
    const uint32_t w = uint32_t(ws.width), h = uint32_t(ws.height);
    constexpr uint32_t kBlockRows = 32;
    Bounds secondChanged{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    inTwoShares(h >= 2 * kBlockRows && paint.independent(), [&](uint32_t share, uint32_t shares) {
        Paint own = paint;
        Bounds& bounds = share == 0 ? changed : secondChanged;
        std::unique_lock<std::mutex> display;
        if (share != 0) display = std::unique_lock(ws.displayLock);
        for (uint32_t r = 2 + share * kBlockRows; r <= h + 1; r += shares * kBlockRows)
            connected::paintTaken(planes, planes.open.get(), w, h, r, std::min(h + 1, r + kBlockRows - 1), own, bounds);
    });
    changed.add(secondChanged);
}

template <class Pos, class Paint>
void floodWhole(Workspace& ws, const ConnectedFillParams& params, Progress& progress, Paint& paint, Bounds& changed) {
    const int32_t x = params.x, y = params.y;
    const uint32_t w = uint32_t(ws.width), h = uint32_t(ws.height);
    const uint32_t seedIndex = uint32_t(y) * w + uint32_t(x);
    const ToneRun tones = passingTones(int32_t(blueOf(ws.source.data()[seedIndex])), params);

    Planes planes(w, h);
    {
        RowPreparer rows(planes, ws, tones.lo, tones.hi);
        rows.startAhead(uint32_t(y) + 2);
        std::vector<uint8_t> passing(w);
        for (uint32_t r = 2; r <= h + 1; ++r) rows.ensure(r, passing);
    }
    const Pos rowBits = Pos(1) << planes.shift;
    const Pos seed = Pos(planes.position(uint32_t(x), uint32_t(y)));
    takeSeed(planes, ws, seed, seedIndex, x, y, paint);
    ws.curPixelIndex = int32_t(seedIndex);

    // Runs taken whose rows above and below are still to be looked at.
    OpenBits open(planes.open.get());
    std::vector<std::pair<Pos, Pos>> runs;
    uint64_t taken = 0;  // the seed too: the walk polls once for each
    try {
        const Pos a = seed - Pos(open.onesBefore(seed)), b = seed + Pos(open.onesFrom(seed + 1));
        if (a < seed) open.clear(a, seed - 1);
        if (b > seed) open.clear(seed + 1, b);
        runs.push_back({a, b});
        taken = uint64_t(b - a) + 1;
        while (!runs.empty()) {
            const auto [a0, b0] = runs.back();
            runs.pop_back();
            for (const Pos q0 : {Pos(a0 - 1 - rowBits), Pos(a0 - 1 + rowBits)}) {
                const Pos q1 = q0 + (b0 - a0) + 2;
                for (Pos p = Pos(open.nextOne(q0, q1)); p <= q1; p = Pos(open.nextOne(p, q1))) {
                    const Pos s = p - Pos(open.onesBefore(p)), e = p + Pos(open.onesFrom(p)) - 1;
                    open.clear(s, e);
                    runs.push_back({s, e});
                    taken += uint64_t(e - s) + 1;
                    p = e + 2;  // e + 1 is clear
                }
            }
        }
    } catch (const std::bad_alloc&) {
        // No room for more runs: what was taken in is painted, as the walk does.
    }
    paintAllTaken(planes, ws, paint, changed);
    progress.pollsMade(taken);
    progress.reportMonotonic(100);
}

template <class Paint>
Rect run(Workspace& ws, const ConnectedFillParams& params, Progress& progress, Paint paint) {
    const int32_t x = params.x, y = params.y;
    WindowLock windows(progress);
    progress.begin(kTouchPaintPhase, {.hideGauge = true, .hideGaugeText = true});
    Bounds changed{x, y, x, y};
    try {
        const bool small = Planes::bitsFor(uint32_t(ws.width), uint32_t(ws.height)) + 64 < (uint64_t(1) << 32);
        if (!progress.abortAwaitsPoll() && ws.pixelCount() <= kOnePassPixels)
            small ? floodWhole<uint32_t>(ws, params, progress, paint, changed)
                  : floodWhole<uint64_t>(ws, params, progress, paint, changed);
        else if (small)
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
               detail::InteractivePaint{ctx, ws.colour.data(), ws.display.data(), ws.codes.get(), params.code, true});
}

} // namespace cw
