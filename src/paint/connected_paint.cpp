#include "paint/connected_paint.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>

#include "app/session.h"
#include "files/image_error.h"
#include "paint/touch_paint.h"
#include "progress/progress.h"

namespace cw {

namespace {

// First-in first-out pixel indices in one ring buffer that doubles when full.
// Each pixel enters at most once, so it never outgrows the picture.
class IndexQueue {
public:
    IndexQueue() { allocate(kInitial); }
    bool empty() const { return count_ == 0; }
    size_t size() const { return count_; }
    uint32_t front() const { return ring_[head_]; }
    uint32_t at(size_t k) const { return ring_[(head_ + k) & mask_]; }
    void pop() {
        head_ = (head_ + 1) & mask_;
        --count_;
    }
    void push(uint32_t index) {
        if (count_ == mask_ + 1) grow();
        ring_[(head_ + count_) & mask_] = index;
        ++count_;
    }

private:
    static constexpr size_t kInitial = size_t(1) << 14;
    void allocate(size_t capacity) {
        ensureMemoryFor(capacity * sizeof(uint32_t));
        ring_ = std::make_unique_for_overwrite<uint32_t[]>(capacity);
        mask_ = capacity - 1;
    }
    void grow() {
        const size_t capacity = mask_ + 1;
        std::unique_ptr<uint32_t[]> old = std::move(ring_);
        allocate(capacity * 2);
        const size_t firstPart = capacity - head_;
        std::memcpy(ring_.get(), old.get() + head_, firstPart * sizeof(uint32_t));
        std::memcpy(ring_.get() + firstPart, old.get(), head_ * sizeof(uint32_t));
        head_ = 0;
    }

    std::unique_ptr<uint32_t[]> ring_;
    size_t mask_ = 0, head_ = 0, count_ = 0;
};

// One bit per pixel: reached by this fill.
class VisitedMarks {
public:
    explicit VisitedMarks(size_t pixels) {
        const size_t words = (pixels + 63) / 64;
        ensureMemoryFor(words * sizeof(uint64_t));
        bits_ = std::make_unique<uint64_t[]>(words);
    }
    bool marked(uint32_t i) const { return (bits_[i >> 6] >> (i & 63)) & 1; }
    void mark(uint32_t i) { bits_[i >> 6] |= uint64_t(1) << (i & 63); }

private:
    std::unique_ptr<uint64_t[]> bits_;
};

// Division by the picture's width as a multiplication (Lemire's fastdiv:
// exact for every 32-bit dividend and divisor above 1).
class RowDivider {
public:
    explicit RowDivider(uint32_t width) : width_(width), magic_(width > 1 ? UINT64_MAX / width + 1 : 0) {}
    uint32_t divide(uint32_t i) const {
        return width_ > 1 ? uint32_t((static_cast<unsigned __int128>(magic_) * i) >> 64) : i;
    }

private:
    uint32_t width_;
    uint64_t magic_;
};

// What the fill changed, inclusive.
struct Bounds {
    int32_t x1, y1, x2, y2;
    void add(int32_t x, int32_t y) {
        x1 = std::min(x1, x);
        x2 = std::max(x2, x);
        y1 = std::min(y1, y);
        y2 = std::max(y2, y);
    }
};

// The breadth-first flood. OwnMarks: painting leaves the pixel's code
// unpainted (the code's byte is 0 or 127), so the codes cannot stop a pixel
// from being appended again and the fill keeps visited marks of its own.
template <bool OwnMarks, class Paint>
void flood(Session& s, int32_t x, int32_t y, Paint& paint, Bounds& changed) {
    Workspace& ws = *s.ws;
    Progress& progress = s.progress;
    const uint32_t w = uint32_t(ws.width), h = uint32_t(ws.height);
    const uint32_t* source = ws.source.data();
    const int8_t* codes = ws.codes.get();

    const int32_t step = std::max<int32_t>(1, s.settings.grayStep);
    const int32_t seedTone = int32_t(blueOf(source[size_t(y) * w + x]));
    std::array<bool, 256> passes;
    for (int32_t tone = 0; tone < 256; ++tone)
        passes[size_t(tone)] = connectedToneAccepts(tone, seedTone, step, s.settings.integrationTolerance);

    std::unique_ptr<VisitedMarks> visited;
    if constexpr (OwnMarks) visited = std::make_unique<VisitedMarks>(ws.pixelCount());
    IndexQueue queue;

    const uint32_t seed = uint32_t(y) * w + uint32_t(x);
    queue.push(seed);
    if constexpr (OwnMarks) visited->mark(seed);
    const RowDivider rows(w);
    ws.curPixelIndex = int32_t(seed);
    if (isUnpaintedCode(codes[seed])) paint(seed, x, y);

    // The code is read first: it is a quarter of the source's bytes, and
    // inside a fill most neighbours are painted already.
    auto reach = [&](uint32_t n, int32_t nx, int32_t ny) __attribute__((always_inline)) {
        if constexpr (OwnMarks) {
            if (visited->marked(n)) return;
        }
        if (!isUnpaintedCode(codes[n]) || !passes[source[n] & 0xff]) return;
        if constexpr (OwnMarks) visited->mark(n);
        queue.push(n);
        paint(n, nx, ny);
        changed.add(nx, ny);
    };
    // Rows are W apart: fetch the neighbourhood of a pixel a few places
    // ahead in the queue while this one is examined.
    constexpr size_t kAhead = 8;
    const size_t pixels = ws.pixelCount();
    while (!queue.empty()) {
        const uint32_t c = queue.front();
        if (queue.size() > kAhead) {
            const uint32_t a = queue.at(kAhead);
            for (const uint32_t r : {a - w, a, a + w})
                if (r < pixels) {
                    __builtin_prefetch(codes + r);
                    __builtin_prefetch(source + r);
                }
        }
        const uint32_t cy = rows.divide(c), cx = c - cy * w;
        const int32_t ix = int32_t(cx), iy = int32_t(cy);
        const bool left = cx > 0, right = cx + 1 < w, up = cy > 0, down = cy + 1 < h;
        if (left) reach(c - 1, ix - 1, iy);
        if (right) reach(c + 1, ix + 1, iy);
        if (up) reach(c - w, ix, iy - 1);
        if (down) reach(c + w, ix, iy + 1);
        if (left && up) reach(c - w - 1, ix - 1, iy - 1);
        if (right && up) reach(c - w + 1, ix + 1, iy - 1);
        if (left && down) reach(c + w - 1, ix - 1, iy + 1);
        if (right && down) reach(c + w + 1, ix + 1, iy + 1);
        queue.pop();
        if (progress.poll()) break;
        // 100 div (length + 1) is 0 from a length of 100 on: nothing to show.
        if (queue.size() < 100) progress.reportMonotonic(int(100 / (queue.size() + 1)));
    }
    ws.curPixelIndex = int32_t(queue.empty() ? seed : queue.front());
}

template <class Paint>
void run(Session& s, int32_t x, int32_t y, int8_t codeByte, Paint paint) {
    Workspace& ws = *s.ws;
    Progress& progress = s.progress;
    progress.lock();
    progress.begin(kTouchPaintPhase, {.hideGauge = true, .hideGaugeText = true});
    Bounds changed{x, y, x, y};
    try {
        if (isUnpaintedCode(codeByte)) flood<true>(s, x, y, paint, changed);
        else flood<false>(s, x, y, paint, changed);
    } catch (const std::bad_alloc&) {
        // Out of memory for the queue: what is painted stays, as after an abort.
    }
    s.host.displayChanged(changed.x1, changed.y1, changed.x2 + 1, changed.y2 + 1);
    progress.end();
    progress.unlock();
    ws.imageModified = true;
}

} // namespace

bool connectedToneAccepts(int32_t tone, int32_t seedTone, int32_t grayStep, int32_t tolerance) {
    const int32_t s = std::max<int32_t>(1, grayStep);
    const int32_t d = tone / s * s - seedTone / s * s;
    return -tolerance < d && d < tolerance;
}

void clickPaint(Session& s, int32_t x, int32_t y, int32_t code, bool masked) {
    if (!s.ws) return;
    Workspace& ws = *s.ws;
    if (x < 0 || y < 0 || x >= ws.width || y >= ws.height) return;
    const int8_t codeByte = int8_t(uint8_t(code));
    if (masked) {
        run(s, x, y, codeByte,
            detail::MaskedPaint{ws.colour.data(), ws.display.data(), ws.codes.get(), ws.source.data(),
                                s.palette.markerColour, codeByte});
    } else {
        const ColourMagContext ctx{ws, s.palette, s.effects, s.tools, s.pointer};
        run(s, x, y, codeByte, detail::InteractivePaint{ctx, ws.colour.data(), ws.display.data(), ws.codes.get(), code});
    }
}

} // namespace cw
