#include "core/finishup.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "core/edge_aware_fill.h"
#include "core/markup.h"
#include "core/progress.h"

namespace cw {

namespace {

// The code a pixel votes with, or 0 when it does not vote: uncoloured (0),
// marked (127) and filled by the running pass (negative) never vote.
inline uint8_t voterOf(int8_t c) { return c >= 1 && c <= 126 ? uint8_t(c) : 0; }

// For one row, three arrays of w + 2 bytes (a zero at each end): the nearest
// voter met going straight along a ray, and along the two diagonals that
// lean left and right, counting the row itself. `advance` moves the state one
// row further along the rays' direction, with that row's codes.
//
// The finish-up votes of a pixel are the nearest voters on its eight rays.
// Every ray's nearest voter is the running value of a sweep against the ray,
// so the state of the rows above is kept up to date as the pass moves down,
// and the state of the rows below comes from one sweep up the picture. The
// voters never change during the pass (only non-voters are filled, and they
// become negative), so these sweeps see the codes as they were before it.
class RayState {
public:
    explicit RayState(int32_t w) : w_(w), stride_(size_t(w) + 2) {}
    size_t bytes() const { return 3 * stride_; }

    // `to` := `from` moved on by one row; zeroed padding stays zero.
    void advance(uint8_t* to, const uint8_t* from, const int8_t* row) const {
        const uint8_t* fromStraight = from;
        const uint8_t* fromLeft = from + stride_;
        const uint8_t* fromRight = from + 2 * stride_;
        uint8_t* straight = to;
        uint8_t* leanLeft = to + stride_;
        uint8_t* leanRight = to + 2 * stride_;
        for (int32_t x = 0; x < w_; ++x) {
            const uint8_t v = voterOf(row[x]);
            straight[x + 1] = v ? v : fromStraight[x + 1];
            leanLeft[x + 1] = v ? v : fromLeft[x];
            leanRight[x + 1] = v ? v : fromRight[x + 2];
        }
    }

    // The votes pixel x of the next row gets from state `s` (the row it
    // looks into): straight, its left diagonal, its right diagonal.
    const uint8_t* straight(const uint8_t* s) const { return s + 1; }
    const uint8_t* leftDiagonal(const uint8_t* s) const { return s + stride_; }
    const uint8_t* rightDiagonal(const uint8_t* s) const { return s + 2 * stride_ + 2; }

private:
    int32_t w_;
    size_t stride_;
};

// The downward rays for each row, handed out top to bottom. One sweep up the
// picture keeps the state every K rows; each block of K rows is then rebuilt
// from the kept state below it. About 2 x sqrt(H) row states in memory.
class DownwardRays {
public:
    DownwardRays(const int8_t* codes, int32_t w, int32_t h)
        : codes_(codes), w_(w), h_(h), ray_(w), k_(std::max<int32_t>(1, int32_t(std::ceil(std::sqrt(double(h)))))) {
        const size_t kept = size_t((h_ - 1) / k_);
        kept_ = std::make_unique<uint8_t[]>(std::max<size_t>(1, kept) * ray_.bytes());
        block_ = std::make_unique<uint8_t[]>(size_t(k_) * ray_.bytes());
        // The sweep runs through the first two slots of the block.
        uint8_t* state = slot(0);
        uint8_t* next = k_ > 1 ? slot(1) : kept_.get();
        for (int32_t y = h_ - 1; y >= k_; --y) {
            ray_.advance(next, state, rowCodes(y));
            std::swap(state, next);
            if (y % k_ == 0) std::memcpy(keptState(size_t(y / k_ - 1)), state, ray_.bytes());
        }
    }

    // The state of row y + 1: what the pixels of row y see below them.
    const uint8_t* below(int32_t y) {
        const int32_t first = y / k_ * k_;
        if (first != blockFirst_) rebuild(first);
        return slot(y - first);
    }
    const RayState& ray() const { return ray_; }

private:
    const int8_t* rowCodes(int32_t y) const { return codes_ + size_t(y) * size_t(w_); }
    uint8_t* keptState(size_t m) { return kept_.get() + m * ray_.bytes(); }
    uint8_t* slot(int32_t k) { return block_.get() + size_t(k) * ray_.bytes(); }

    void rebuild(int32_t first) {
        blockFirst_ = first;
        const int32_t end = std::min(first + k_, h_);
        uint8_t* last = slot(end - 1 - first);
        if (end == h_) std::memset(last, 0, ray_.bytes());
        else std::memcpy(last, keptState(size_t(end / k_ - 1)), ray_.bytes());
        for (int32_t y = end - 2; y >= first; --y) ray_.advance(slot(y - first), slot(y + 1 - first), rowCodes(y + 1));
    }

    const int8_t* codes_;
    int32_t w_, h_;
    RayState ray_;
    int32_t k_;
    int32_t blockFirst_ = -1;
    std::unique_ptr<uint8_t[]> kept_, block_;
};

// Everything the fill pass keeps besides the codes; built before the pass
// writes anything, so that running out of memory leaves the picture alone.
struct FillRays {
    DownwardRays down;
    std::unique_ptr<uint8_t[]> up, nextUp;  // the state of the row above, and the one being made
    std::unique_ptr<uint8_t[]> right;       // nearest voter to the right, per column

    FillRays(const int8_t* codes, int32_t w, int32_t h)
        : down(codes, w, h), up(std::make_unique<uint8_t[]>(down.ray().bytes())),
          nextUp(std::make_unique<uint8_t[]>(down.ray().bytes())),
          right(std::make_unique_for_overwrite<uint8_t[]>(size_t(w))) {}
};

// The code with the most of the eight votes (one byte each, 0 for none), the
// lowest of equals; 0 for none. The bytes equal to a vote are found eight at
// a time, so each distinct code costs one step.
inline uint8_t winner(uint64_t votes) {
    constexpr uint64_t kOnes = 0x0101010101010101ull, kLow7 = 0x7f7f7f7f7f7f7f7full;
    uint32_t best = 0;  // count << 8 | (255 - code): the greatest wins
    for (uint64_t rest = votes; rest != 0;) {
        const uint64_t v = (rest >> (std::countr_zero(rest) & ~7)) & 0xff;
        const uint64_t t = votes ^ (v * kOnes);
        const uint64_t same = (~(((t & kLow7) + kLow7) | t | kLow7)) >> 7;  // 0x01 where a byte equals v
        const uint32_t count = uint32_t((same * kOnes) >> 56);
        best = std::max(best, count << 8 | uint32_t(255 - v));
        rest &= ~(same * 0xff);
    }
    return best ? uint8_t(255 - (best & 0xff)) : 0;
}

void fillRow(const ColourMagContext& ctx, PlainTableCache& tables, FillRays& rays, int32_t y) {
    Workspace& ws = ctx.ws;
    const int32_t w = ws.width;
    const size_t rowStart = size_t(y) * size_t(w);
    int8_t* const row = ws.codes.get() + rowStart;
    uint32_t* const colour = ws.colour.data() + rowStart;
    const uint32_t* const source = ws.source.data() + rowStart;
    const RayState& ray = rays.down.ray();
    const uint8_t* below = rays.down.below(y);
    const uint8_t *down = ray.straight(below), *downLeft = ray.leftDiagonal(below),
                  *downRight = ray.rightDiagonal(below);
    const uint8_t* above = rays.up.get();
    const uint8_t *up = ray.straight(above), *upLeft = ray.leftDiagonal(above), *upRight = ray.rightDiagonal(above);
    uint8_t* right = rays.right.get();
    uint8_t run = 0;
    for (int32_t x = w - 1; x >= 0; --x) {
        right[x] = run;
        if (const uint8_t v = voterOf(row[x])) run = v;
    }
    // The state of this row is taken before the pass writes into it.
    ray.advance(rays.nextUp.get(), above, row);

    uint8_t left = 0;
    uint64_t lastVotes = 0;
    uint8_t lastBest = 0;
    int32_t lastColoured = -1;
    for (int32_t x = 0; x < w; ++x) {
        const int8_t c = row[x];
        if (!isUnpaintedCode(c)) {
            if (const uint8_t v = voterOf(c)) left = v;
            continue;
        }
        const uint64_t votes = uint64_t(left) | uint64_t(right[x]) << 8 | uint64_t(up[x]) << 16 |
                               uint64_t(down[x]) << 24 | uint64_t(upLeft[x]) << 32 | uint64_t(upRight[x]) << 40 |
                               uint64_t(downLeft[x]) << 48 | uint64_t(downRight[x]) << 56;
        if (votes == 0) continue;
        // Neighbours along a row mostly see the same voters.
        if (votes != lastVotes) {
            lastVotes = votes;
            lastBest = winner(votes);
        }
        const uint8_t best = lastBest;
        lastColoured = x;
        if (const uint32_t* table = tables.table(best, c)) {
            colour[x] = table[grayOf(channelsOf(source[x]))];
        } else {
            ws.curPixelIndex = y * w + x;
            colourMag(ctx, best, x, y);
            tables.ranInFull();
        }
        row[x] = int8_t(-best);
    }
    if (lastColoured >= 0) ws.curPixelIndex = y * w + lastColoured;
    std::swap(rays.up, rays.nextUp);
}

// True when all eight codes in v are 0 or 127.
inline bool allUnpainted(uint64_t v) {
    constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7full, kHigh = 0x8080808080808080ull;
    const auto zeroBytes = [](uint64_t t) { return ~(((t & kLow7) + kLow7) | t | kLow7); };  // 0x80 where 0
    return (zeroBytes(v) | zeroBytes(v ^ kLow7)) == kHigh;
}

void recolourRow(const ColourMagContext& ctx, PlainTableCache& tables, int32_t y) {
    Workspace& ws = ctx.ws;
    const int32_t w = ws.width;
    const size_t rowStart = size_t(y) * size_t(w);
    const int8_t* const row = ws.codes.get() + rowStart;
    uint32_t* const colour = ws.colour.data() + rowStart;
    const uint32_t* const source = ws.source.data() + rowStart;
    int32_t lastColoured = -1;
    for (int32_t x = 0; x < w; ++x) {
        // Most of a row is uncoloured: eight codes at a time over it.
        if ((x & 7) == 0 && x + 8 <= w) {
            uint64_t eight;
            std::memcpy(&eight, row + x, 8);
            if (allUnpainted(eight)) {
                x += 7;
                continue;
            }
        }
        const int8_t c = row[x];
        if (isUnpaintedCode(c)) continue;
        lastColoured = x;
        // The pixel keeps its code: only the colour changes.
        if (const uint32_t* table = tables.table(c, c)) {
            colour[x] = table[grayOf(channelsOf(source[x]))];
        } else {
            ws.curPixelIndex = y * w + x;
            colourMag(ctx, c, x, y);
            tables.ranInFull();
        }
    }
    if (lastColoured >= 0) ws.curPixelIndex = y * w + lastColoured;
}

} // namespace

Rect finishup(const ColourMagContext& ctx, FinishupMode mode, Progress& progress) {
    Workspace& ws = ctx.ws;
    const int32_t w = ws.width, h = ws.height;

    progress.begin(kPhaseFinishup);
    WindowLock windows(progress);
    PlainTableCache tables(ctx);
    std::optional<FillRays> rays;
    std::optional<EdgeAwareFill> regions;
    bool runnable = true;
    int rowsFrom = 0;  // where the rows' share of the gauge starts
    try {
        if (mode == FinishupMode::Fill) rays.emplace(ws.codes.get(), w, h);
        if (mode == FinishupMode::FillEdgeAware) {
            rowsFrom = 50;
            runnable = regions.emplace(ctx).grow(progress, 0, rowsFrom);
        }
    } catch (const std::bad_alloc&) {
        runnable = false;  // nothing has been written yet
    }
    for (int32_t y = 0; runnable && y < h; ++y) {
        if (progress.poll()) break;
        progress.report(rowsFrom + int(int64_t(y) * (100 - rowsFrom) / h));
        if (rays) fillRow(ctx, tables, *rays, y);
        else if (regions) regions->fillRow(tables, y);
        else recolourRow(ctx, tables, y);
    }
    rays.reset();
    regions.reset();

    // No abort test here: the codes the pass wrote must all become positive.
    progress.setPhase(kPhasePostProcessing);
    for (int32_t y = 0; y < h; ++y) {
        progress.report(int(int64_t(y) * 100 / h));
        (void)progress.poll();
        int8_t* row = ws.codes.get() + size_t(y) * size_t(w);
        for (int32_t x = 0; x < w; ++x)
            if (row[x] < 0) row[x] = row[x] == INT8_MIN ? INT8_MAX : int8_t(-row[x]);
    }

    ws.display.copyFrom(ws.colour);
    progress.end();
    ws.imageModified = true;
    return Rect{0, 0, w, h};
}

} // namespace cw
