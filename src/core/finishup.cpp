#include "core/finishup.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "core/edge_aware_fill.h"
#include "core/helper_threads.h"
#include "core/markup.h"
#include "core/progress.h"
#include "core/workspace.h"

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

    // `to` := `from` moved on by one row; zeroed padding stays zero. Written
    // so that the compiler does it many bytes at a time.
    void advance(uint8_t* to, const uint8_t* from, const int8_t* row) const {
        advanceOne(to, from, row);
        advanceOne(to + stride_, from + stride_ - 1, row);
        advanceOne(to + 2 * stride_, from + 2 * stride_ + 1, row);
    }

    // The votes pixel x of the next row gets from state `s` (the row it
    // looks into): straight, its left diagonal, its right diagonal.
    const uint8_t* straight(const uint8_t* s) const { return s + 1; }
    const uint8_t* leftDiagonal(const uint8_t* s) const { return s + stride_; }
    const uint8_t* rightDiagonal(const uint8_t* s) const { return s + 2 * stride_ + 2; }

private:
    // One ray: to[x + 1] := the voter at x, or else from[x + 1].
    void advanceOne(uint8_t* __restrict to, const uint8_t* __restrict from, const int8_t* __restrict row) const {
        const int32_t w = w_;
        for (int32_t x = 0; x < w; ++x) {
            const uint8_t c = uint8_t(row[x]), before = from[x + 1];
            const bool votes = uint8_t(c - 1) < 126;  // voterOf
            to[x + 1] = votes ? c : before;
        }
    }

    int32_t w_;
    size_t stride_;
};

// The downward rays for each row. One sweep up the picture keeps the state
// every K rows; a walk down the rows rebuilds each block of K rows from the
// kept state below it, in a block of its own. About 2 x sqrt(H) row states
// in memory a walk.
class DownwardRays {
public:
    // A walk's K states: those of the block of rows it is in.
    class Block {
    public:
        explicit Block(const DownwardRays& rays)
            : rays_(rays), states_(std::make_unique<uint8_t[]>(size_t(rays.k_) * rays.ray_.bytes())) {}
        // The state of row y + 1: what the pixels of row y see below them.
        const uint8_t* below(int32_t y) {
            const int32_t first = y / rays_.k_ * rays_.k_;
            if (first != first_) rebuild(first);
            return slot(y - first);
        }

    private:
        uint8_t* slot(int32_t k) { return states_.get() + size_t(k) * rays_.ray_.bytes(); }
        void rebuild(int32_t first) {
            const RayState& ray = rays_.ray_;
            first_ = first;
            const int32_t end = std::min(first + rays_.k_, rays_.h_);
            uint8_t* last = slot(end - 1 - first);
            if (end == rays_.h_) std::memset(last, 0, ray.bytes());
            else std::memcpy(last, rays_.keptState(size_t(end / rays_.k_ - 1)), ray.bytes());
            for (int32_t y = end - 2; y >= first; --y)
                ray.advance(slot(y - first), slot(y + 1 - first), rays_.rowCodes(y + 1));
        }

        const DownwardRays& rays_;
        std::unique_ptr<uint8_t[]> states_;
        int32_t first_ = -1;
    };

    DownwardRays(const int8_t* codes, int32_t w, int32_t h)
        : codes_(codes), w_(w), h_(h), ray_(w), k_(std::max<int32_t>(1, int32_t(std::ceil(std::sqrt(double(h)))))) {
        const size_t kept = size_t((h_ - 1) / k_);
        kept_ = std::make_unique<uint8_t[]>(std::max<size_t>(1, kept) * ray_.bytes());
        auto sweep = std::make_unique<uint8_t[]>(2 * ray_.bytes());
        uint8_t* state = sweep.get();
        uint8_t* next = state + ray_.bytes();
        std::memset(state, 0, ray_.bytes());
        for (int32_t y = h_ - 1; y >= k_; --y) {
            ray_.advance(next, state, rowCodes(y));
            std::swap(state, next);
            if (y % k_ == 0) std::memcpy(keptState(size_t(y / k_ - 1)), state, ray_.bytes());
        }
    }

    const RayState& ray() const { return ray_; }
    const int8_t* rowCodes(int32_t y) const { return codes_ + size_t(y) * size_t(w_); }

private:
    const uint8_t* keptState(size_t m) const { return kept_.get() + m * ray_.bytes(); }
    uint8_t* keptState(size_t m) { return kept_.get() + m * ray_.bytes(); }

    const int8_t* codes_;
    int32_t w_, h_;
    RayState ray_;
    int32_t k_;
    std::unique_ptr<uint8_t[]> kept_;
};

// What a walk down a run of rows keeps besides the codes; built before the
// pass writes anything, so that running out of memory leaves the picture
// alone.
struct RowWalk {
    DownwardRays::Block down;
    std::unique_ptr<uint8_t[]> up, nextUp;  // the state of the row above, and the one being made
    std::unique_ptr<uint8_t[]> right;       // nearest voter to the right, per column
    int32_t lastColoured = -1;              // the index of the last pixel it coloured

    RowWalk(const DownwardRays& rays, int32_t w)
        : down(rays), up(std::make_unique<uint8_t[]>(rays.ray().bytes())),
          nextUp(std::make_unique<uint8_t[]>(rays.ray().bytes())),
          right(std::make_unique_for_overwrite<uint8_t[]>(size_t(w))) {}

    // Starts at row `first`: the upward rays of the rows above it, which the
    // pass only makes non-voters of (so that it may be writing them now).
    void startAt(const DownwardRays& rays, int32_t first) {
        for (int32_t y = 0; y < first; ++y) {
            rays.ray().advance(nextUp.get(), up.get(), rays.rowCodes(y));
            std::swap(up, nextUp);
        }
    }
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

// The colour tables of the codes a pixel may take from its votes, or null
// where some code has none (it runs ColourMag in full, which may turn
// merging on for every pixel after it: those rows must go in order).
struct VoterTables {
    std::array<const uint32_t*, 128> table{};
    static std::optional<VoterTables> of(const ColourMagContext& ctx, const int8_t* codes, size_t n) {
        // The codes past the network palettes' (bar the gray's) are not
        // looked for one by one: where one is a voter, the rows go in order.
        VoterTables t;
        std::array<uint8_t, 4> without;
        without.fill(kLastNetworkCode + 1);
        size_t missing = 0;
        for (int32_t code = kFirstNetworkCode; code < 128; ++code) {
            if (code > kLastNetworkCode && code != kCodeGray) continue;
            if ((t.table[size_t(code)] = detail::plainTable(ctx, code))) continue;
            if (missing == without.size()) return std::nullopt;
            without[missing++] = uint8_t(code);
        }
        uint8_t met = 0;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t c = uint8_t(codes[i]);
            met |= uint8_t((uint8_t(c - (kLastNetworkCode + 1)) < 126 - kLastNetworkCode) & (c != kCodeGray)) |
                   uint8_t(c == without[0]) | uint8_t(c == without[1]) | uint8_t(c == without[2]) |
                   uint8_t(c == without[3]);
        }
        if (met) return std::nullopt;
        return t;
    }
};

// Fills row y. `colourOf(best, c, x)` colours pixel x with code `best`.
template <class ColourOf>
void fillRow(Workspace& ws, const RayState& ray, RowWalk& walk, int32_t y, const ColourOf& colourOf) {
    const int32_t w = ws.width;
    const size_t rowStart = size_t(y) * size_t(w);
    int8_t* const row = ws.codes.get() + rowStart;
    const uint8_t* below = walk.down.below(y);
    const uint8_t *down = ray.straight(below), *downLeft = ray.leftDiagonal(below),
                  *downRight = ray.rightDiagonal(below);
    const uint8_t* above = walk.up.get();
    const uint8_t *up = ray.straight(above), *upLeft = ray.leftDiagonal(above), *upRight = ray.rightDiagonal(above);
    uint8_t* right = walk.right.get();
    uint8_t run = 0;
    for (int32_t x = w - 1; x >= 0; --x) {
        right[x] = run;
        if (const uint8_t v = voterOf(row[x])) run = v;
    }
    // The state of this row is taken before the pass writes into it.
    ray.advance(walk.nextUp.get(), above, row);

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
        colourOf(best, c, x);
        row[x] = int8_t(-best);
    }
    if (lastColoured >= 0) walk.lastColoured = y * w + lastColoured;
    std::swap(walk.up, walk.nextUp);
}

void fillRow(const ColourMagContext& ctx, PlainTableCache& tables, const RayState& ray, RowWalk& walk, int32_t y) {
    Workspace& ws = ctx.ws;
    uint32_t* const colour = ws.colour.data() + size_t(y) * size_t(ws.width);
    const uint32_t* const source = ws.source.data() + size_t(y) * size_t(ws.width);
    fillRow(ws, ray, walk, y, [&](uint8_t best, int8_t c, int32_t x) {
        if (const uint32_t* table = tables.table(best, c)) {
            colour[x] = table[grayOf(channelsOf(source[x]))];
        } else {
            ws.curPixelIndex = y * ws.width + x;
            colourMag(ctx, best, x, y);
            tables.ranInFull();
        }
    });
    if (walk.lastColoured >= 0) ws.curPixelIndex = walk.lastColoured;
}

// The fill pass whole, the upper rows here and the lower on a second thread:
// every pixel takes a colour from its code's table alone, and the votes are
// the codes from before the pass, so the rows may go in any order. Returns
// false, having written nothing, when that cannot be.
bool fillInTwoShares(const ColourMagContext& ctx, const DownwardRays& rays) {
    Workspace& ws = ctx.ws;
    const int32_t w = ws.width, h = ws.height;
    if (h < 64 || !helperThreadsAllowed()) return false;
    const std::optional<VoterTables> tables = VoterTables::of(ctx, ws.codes.get(), ws.pixelCount());
    if (!tables) return false;
    // The lower share first walks the rows above it for its upward rays.
    const int32_t middle = h / 2 + h / 16;
    std::optional<RowWalk> walks[2];
    walks[0].emplace(rays, w);
    walks[1].emplace(rays, w);
    inTwoShares(true, [&](uint32_t share, uint32_t shares) {
        for (uint32_t part = share; part < 2; part += shares) {
            RowWalk& walk = *walks[part];
            const int32_t first = part == 0 ? 0 : middle, end = part == 0 ? middle : h;
            walk.startAt(rays, first);
            for (int32_t y = first; y < end; ++y) {
                uint32_t* const colour = ws.colour.data() + size_t(y) * size_t(w);
                const uint32_t* const source = ws.source.data() + size_t(y) * size_t(w);
                fillRow(ws, rays.ray(), walk, y, [&](uint8_t best, int8_t, int32_t x) {
                    colour[x] = tables->table[best][grayOf(channelsOf(source[x]))];
                });
            }
        }
    });
    const int32_t last = walks[1]->lastColoured >= 0 ? walks[1]->lastColoured : walks[0]->lastColoured;
    if (last >= 0) ws.curPixelIndex = last;
    return true;
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
    std::optional<DownwardRays> rays;
    std::optional<RowWalk> walk;
    std::optional<EdgeAwareFill> regions;
    bool runnable = true;
    int rowsFrom = 0;  // where the rows' share of the gauge starts
    try {
        if (mode == FinishupMode::Fill) rays.emplace(ws.codes.get(), w, h);
        if (mode == FinishupMode::FillEdgeAware) {
            rowsFrom = 50;
            runnable = regions.emplace(ctx).grow(progress, 0, rowsFrom);
        }
        // Where no Abort waits for an exact poll, the fill is done in two
        // shares at once and its polls left out: up to kOnePassPixels it
        // takes well under the tenth of a second within which Abort must be
        // answered.
        if (rays && !progress.abortAwaitsPoll() && ws.pixelCount() <= kOnePassPixels &&
            fillInTwoShares(ctx, *rays)) {
            progress.pollsMade(uint64_t(h));
            progress.report(int(int64_t(h - 1) * 100 / h));
            runnable = false;
        }
        if (rays && runnable) walk.emplace(*rays, w);
    } catch (const std::bad_alloc&) {
        runnable = false;  // nothing has been written yet
    }
    for (int32_t y = 0; runnable && y < h; ++y) {
        if (progress.poll()) break;
        progress.report(rowsFrom + int(int64_t(y) * (100 - rowsFrom) / h));
        if (walk) fillRow(ctx, tables, rays->ray(), *walk, y);
        else if (regions) regions->fillRow(tables, y);
        else recolourRow(ctx, tables, y);
    }
    walk.reset();
    rays.reset();
    regions.reset();

    // No abort test here: the codes the pass wrote must all become positive.
    progress.setPhase(kPhasePostProcessing);
    for (int32_t y = 0; y < h; ++y) {
        progress.report(int(int64_t(y) * 100 / h));
        (void)progress.poll();
        int8_t* __restrict row = ws.codes.get() + size_t(y) * size_t(w);
        // Every byte written back, so that it is done many at a time.
        for (int32_t x = 0; x < w; ++x) {
            const int8_t c = row[x];
            row[x] = c >= 0 ? c : c == INT8_MIN ? INT8_MAX : int8_t(-c);
        }
    }

    ws.display.copyFrom(ws.colour);
    progress.end();
    ws.imageModified = true;
    return Rect{0, 0, w, h};
}

} // namespace cw
