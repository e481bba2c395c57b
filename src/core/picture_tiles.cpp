#include "core/picture_tiles.h"

#include "core/helper_threads.h"

#include <algorithm>
#include <cassert>
#include <bit>
#include <cstring>
#include <thread>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/bitmap.h"
#include "core/workspace.h"

namespace cw {

namespace {

// Below this many tiles (about a twentieth of a 24 MP picture) a second
// thread costs more than it saves.
constexpr size_t kTwoThreadsFrom = 256;
// How often a recording gives way to work the user waits for: every this
// many tiles it copies, and every row of tiles it compares.
constexpr size_t kTilesBetweenPauses = 64;

// Runs work(i) for every i below n, on two threads when the work is large
// (n items, or `tiles` tiles among them): taking a whole picture is
// memory-bound, and one thread does not draw all of it.
template <typename Work>
void forEachIndex(size_t n, const Work& work, size_t tiles = 0) {
    if (std::max(n, tiles) < kTwoThreadsFrom || !helperThreadsAllowed()) {
        for (size_t i = 0; i < n; ++i) work(i);
        return;
    }
    std::thread second([&] {
        for (size_t i = n / 2; i < n; ++i) work(i);
    });
    for (size_t i = 0; i < n / 2; ++i) work(i);
    second.join();
}

size_t rowBytes(const PlaneView& p, const Rect& tile) { return size_t(tile.x2 - tile.x1) * size_t(p.bytesPerPixel); }

const uint8_t* rowAt(const PlaneView& p, const Rect& tile, int32_t y) {
    return p.pixels + (size_t(y) * size_t(p.width) + size_t(tile.x1)) * size_t(p.bytesPerPixel);
}

} // namespace

PlaneView planeOf(Workspace& ws, Plane p) {
    switch (p) {
    case Plane::Colour: return {reinterpret_cast<uint8_t*>(ws.colour.data()), ws.width, ws.height, 4};
    case Plane::Codes: return {reinterpret_cast<uint8_t*>(ws.codes.get()), ws.width, ws.height, 1};
    case Plane::Display: return {reinterpret_cast<uint8_t*>(ws.display.data()), ws.width, ws.height, 4};
    }
    return {};
}

PlaneView setUpPlaneOf(Workspace& ws, Plane p) {
    if (p == Plane::Codes) return {nullptr, ws.width, ws.height, 1};
    return {reinterpret_cast<uint8_t*>(ws.source.data()), ws.width, ws.height, 4};
}

Rect TileGrid::bounds(size_t t) const {
    const int32_t column = int32_t(t % size_t(columns_)), row = int32_t(t / size_t(columns_));
    return {column * kTileSide, row * kTileSide, std::min(width_, (column + 1) * kTileSide),
            std::min(height_, (row + 1) * kTileSide)};
}

size_t tileByteCount(const PlaneView& plane, const Rect& tile) {
    return rowBytes(plane, tile) * size_t(tile.y2 - tile.y1);
}

namespace {

void copyTileOut(const PlaneView& plane, const Rect& tile, uint8_t* to) {
    const size_t row = rowBytes(plane, tile);
    for (int32_t y = tile.y1; y < tile.y2; ++y, to += row) std::memcpy(to, rowAt(plane, tile, y), row);
}

} // namespace

void copyTileIn(const PlaneView& plane, const Rect& tile, const uint8_t* bytes) {
    const size_t row = rowBytes(plane, tile);
    for (int32_t y = tile.y1; y < tile.y2; ++y, bytes += row)
        std::memcpy(const_cast<uint8_t*>(rowAt(plane, tile, y)), bytes, row);
}

void copyTileAcross(const PlaneView& from, const PlaneView& to, const Rect& tile) {
    const size_t row = rowBytes(to, tile);
    for (int32_t y = tile.y1; y < tile.y2; ++y) {
        uint8_t* at = const_cast<uint8_t*>(rowAt(to, tile, y));
        if (from.pixels) std::memcpy(at, rowAt(from, tile, y), row);
        else std::memset(at, 0, row);
    }
}

bool TileSlots::reset(size_t slotBytes, size_t count, Filled filled) {
    slotBytes_ = slotBytes;
    count_ = count;
    if (bytes_ && slotBytes * count <= capacity_) return true;
    bytes_.reset();
    capacity_ = 0;
    bytes_ = std::make_unique_for_overwrite<uint8_t[]>(slotBytes * count);
    capacity_ = slotBytes * count;
    mappedIn_ = false;
    if (filled == Filled::AllAtOnce) filling(count_);
    return false;
}

void TileSlots::filling(size_t slots) {
    if (mappedIn_ || slots < std::min(kMapInFrom, count_)) return;
    prefault(bytes_.get(), capacity_);
    mappedIn_ = true;
}

void TileKeeper::start(const TileGrid& grid, size_t slotBytes) {
    slots_.reset(slotBytes, grid.count(), TileSlots::Filled::HereAndThere);
    kept_.assign(grid.count(), 0);
    keptList_.clear();
}

void TileKeeper::keep(uint32_t t, const uint8_t* bytes, size_t n) {
    if (kept_[t]) return;
    kept_[t] = bytes ? 1 : kSetUp;
    keptList_.push_back(t);
    if (bytes) std::memcpy(slots_.slot(t), bytes, n);
}

void TileKeeper::reserve(size_t tiles) { slots_.filling(tiles); }

void TileKeeper::clear() {
    for (uint32_t t : keptList_) kept_[t] = 0;
    keptList_.clear();
}

namespace {

uint8_t* mutableRow(const PlaneView& p, const Rect& tile, int32_t y) { return const_cast<uint8_t*>(rowAt(p, tile, y)); }

// Bit x set where pixel x of the two rows differs; sixteen bytes compared at
// a time where the machine can.
uint64_t differences(const uint8_t* a, const uint8_t* b, int32_t columns, size_t bytesPerPixel) {
    uint64_t m = 0;
    int32_t x = 0;
#ifdef __SSE2__
    if (bytesPerPixel == 4) {
        for (; x + 4 <= columns; x += 4) {
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * x));
            const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * x));
            const int same = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(va, vb)));
            m |= uint64_t(~same & 0xf) << x;
        }
    } else {
        for (; x + 16 <= columns; x += 16) {
            const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + x));
            const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
            const int same = _mm_movemask_epi8(_mm_cmpeq_epi8(va, vb));
            m |= uint64_t(~same & 0xffff) << x;
        }
    }
#endif
    for (; x < columns; ++x)
        m |= uint64_t(std::memcmp(a + size_t(x) * bytesPerPixel, b + size_t(x) * bytesPerPixel, bytesPerPixel) != 0) << x;
    return m;
}


// Whether two rows of n bytes differ, sixteen bytes at a time where the
// machine can: a tile's row of codes is too short for a library call to pay.
bool rowsDiffer(const uint8_t* a, const uint8_t* b, size_t n) {
#ifdef __SSE2__
    size_t i = 0;
    __m128i any = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16)
        any = _mm_or_si128(any, _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i)),
                                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i))));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) != 0xffff) return true;
    return i < n && std::memcmp(a + i, b + i, n - i) != 0;
#else
    return std::memcmp(a, b, n) != 0;
#endif
}

// A tile compared with its shadow: where it is, the shadow's rows (the
// first, and the step from one to the next), and what was found: how many
// pixels differ and, where any do, a word a row in `mask`, bit x for each.
struct TileComparison {
    Rect tile;
    std::pair<const uint8_t*, size_t> shadow;
    uint64_t* mask;
    size_t count = 0;
};

// Compares tiles of one row of tiles with their shadows row by row across
// them all: the picture is then read along its rows, which the memory serves
// far faster than a tile's short rows one under another. The masks are found
// in a small buffer that stays in the cache and kept only for the tiles that
// changed: most of what a change might have reached did not change, and
// writing every mask out would cost more than finding them.
void findChanges(const PlaneView& plane, std::span<TileComparison> tiles) {
    const size_t bpp = size_t(plane.bytesPerPixel);
    const int32_t y1 = tiles.front().tile.y1, rows = tiles.front().tile.y2 - y1;
    std::vector<uint64_t> found(tiles.size() * kTileSide, 0);
    for (int32_t y = 0; y < rows; ++y)
        for (size_t i = 0; i < tiles.size(); ++i) {
            TileComparison& c = tiles[i];
            const uint8_t* now = rowAt(plane, c.tile, y1 + y);
            const uint8_t* was = c.shadow.first + size_t(y) * c.shadow.second;
            const int32_t columns = c.tile.x2 - c.tile.x1;
            if (!rowsDiffer(now, was, size_t(columns) * bpp)) continue;
            const uint64_t m = differences(now, was, columns, bpp);
            found[i * kTileSide + size_t(y)] = m;
            c.count += size_t(std::popcount(m));
        }
    for (size_t i = 0; i < tiles.size(); ++i)
        if (tiles[i].count) std::memcpy(tiles[i].mask, &found[i * kTileSide], kTileSide * sizeof(uint64_t));
}

// Packs the changed pixels (every pixel when the mask is null) of rows
// `rows` (the first, and the step from one to the next) into `to`.
void packRows(std::pair<const uint8_t*, size_t> rows, const Rect& tile, const uint64_t* mask, size_t bpp, uint8_t* to) {
    const int32_t height = tile.y2 - tile.y1, columns = tile.x2 - tile.x1;
    const size_t row = size_t(columns) * bpp;
    const uint64_t full = columns == 64 ? ~uint64_t(0) : (uint64_t(1) << columns) - 1;
    for (int32_t y = 0; y < height; ++y) {
        const uint64_t m = mask ? mask[y] : full;
        if (!m) continue;
        const uint8_t* was = rows.first + size_t(y) * rows.second;
        if (m == full) {
            std::memcpy(to, was, row);
            to += row;
            continue;
        }
        for (uint64_t bits = m; bits; bits &= bits - 1, to += bpp)
            std::memcpy(to, was + size_t(std::countr_zero(bits)) * bpp, bpp);
    }
}

// Packs the shadow's values of the changed pixels (every pixel when the mask
// is null) into the patch and writes the plane's into the shadow.
void takeChanges(const PlaneView& plane, const Rect& tile, const uint64_t* mask, uint8_t* shadow, uint8_t* to) {
    const size_t row = rowBytes(plane, tile);
    packRows({shadow, row}, tile, mask, size_t(plane.bytesPerPixel), to);
    for (int32_t y = 0; y < tile.y2 - tile.y1; ++y)
        if (!mask || mask[y]) std::memcpy(shadow + size_t(y) * row, rowAt(plane, tile, tile.y1 + y), row);
}

// The rows of a tile as the picture was set up: the plane's, or zeros (no
// pixels), the first and the step from one to the next.
std::pair<const uint8_t*, size_t> setUpRows(const PlaneView& setUp, const Rect& tile) {
    static const uint8_t kZeros[kTileSide * 4] = {};
    if (!setUp.pixels) return {kZeros, 0};
    return {rowAt(setUp, tile, tile.y1), size_t(setUp.width) * size_t(setUp.bytesPerPixel)};
}

// Whether a tile of the plane is the same as the rows `rows` (the first, and
// the step from one to the next).
bool sameRows(const PlaneView& plane, const Rect& tile, std::pair<const uint8_t*, size_t> rows) {
    const size_t row = rowBytes(plane, tile);
    for (int32_t y = tile.y1; y < tile.y2; ++y)
        if (rowsDiffer(rowAt(plane, tile, y), rows.first + size_t(y - tile.y1) * rows.second, row)) return false;
    return true;
}

// Copies the rows `rows` of a tile into `to`, a row after the other.
void copyRows(std::pair<const uint8_t*, size_t> rows, const Rect& tile, size_t row, uint8_t* to) {
    for (int32_t y = 0; y < tile.y2 - tile.y1; ++y, to += row) std::memcpy(to, rows.first + size_t(y) * rows.second, row);
}

void swapBytes(uint8_t* a, uint8_t* b, size_t n) {
    uint8_t held[kTileSide * 4];
    std::memcpy(held, a, n);
    std::memcpy(a, b, n);
    std::memcpy(b, held, n);
}

// Exchanges the patch's values with the plane's, and writes the plane's new
// values into the shadow, which matched the plane before.
void exchangePatch(const PlaneView& plane, const Rect& tile, TilePatch& patch, uint8_t* shadow) {
    const int32_t rows = tile.y2 - tile.y1;
    const size_t bpp = size_t(plane.bytesPerPixel), row = rowBytes(plane, tile);
    uint8_t* values = patch.values;
    for (int32_t y = 0; y < rows; ++y) {
        uint8_t* now = mutableRow(plane, tile, tile.y1 + y);
        uint8_t* was = shadow + size_t(y) * row;
        if (!patch.mask) {
            swapBytes(now, values, row);
            std::memcpy(was, now, row);
            values += row;
            continue;
        }
        for (uint64_t m = patch.mask[y]; m; m &= m - 1, values += bpp) {
            const size_t at = size_t(std::countr_zero(m)) * bpp;
            swapBytes(now + at, values, bpp);
            std::memcpy(was + at, now + at, bpp);
        }
    }
}

size_t slotBytesOf(const PlaneView& plane) { return size_t(kTileSide) * kTileSide * size_t(plane.bytesPerPixel); }

} // namespace

void PlaneShadow::take(const PlaneView& plane, const TileGrid& grid) {
    slots_.reset(slotBytesOf(plane), grid.count(),
                 other_ ? TileSlots::Filled::HereAndThere : TileSlots::Filled::AllAtOnce);
    setUp_ = {};
    state_.assign(grid.count(), kOwn);
    if (other_) {
        forEachIndex(grid.count(), [&](size_t t) {
            const Rect b = grid.bounds(t);
            if (sameRows(plane, b, other_->rowsOf(plane, uint32_t(t), b))) state_[t] = kOthers;
        });
        slots_.filling(size_t(std::count(state_.begin(), state_.end(), kOwn)));
    }
    forEachIndex(grid.count(), [&](size_t t) {
        if (state_[t] == kOwn) copyTileOut(plane, grid.bounds(t), slots_.slot(t));
    });
}

void PlaneShadow::takeSetUp(const PlaneView& setUp, const TileGrid& grid) {
    slots_.reset(slotBytesOf(setUp), grid.count(), TileSlots::Filled::HereAndThere);
    setUp_ = setUp;
    state_.assign(grid.count(), kSetUp);
}

TileRows PlaneShadow::rowsOf(const PlaneView& plane, uint32_t t, const Rect& tile) const {
    if (state_[t] == kOthers) return other_->rowsOf(plane, t, tile);
    if (state_[t] == kOwn) return {slots_.slot(t), rowBytes(plane, tile)};
    return setUpRows(setUp_, tile);
}

void PlaneShadow::copySetUp(uint32_t t, const Rect& tile) {
    copyRows(setUpRows(setUp_, tile), tile, rowBytes(setUp_, tile), slots_.slot(t));
    state_[t] = kOwn;
}

void PlaneShadow::copyInto(const PlaneView& plane, const TileGrid& grid) const {
    forEachIndex(grid.count(), [&](size_t t) {
        const Rect b = grid.bounds(t);
        const auto [rows, step] = rowsOf(plane, uint32_t(t), b);
        const size_t row = rowBytes(plane, b);
        for (int32_t y = b.y1; y < b.y2; ++y) std::memcpy(mutableRow(plane, b, y), rows + size_t(y - b.y1) * step, row);
    });
}

void PlaneShadow::keepApart(const PlaneView& plane, const TileGrid& grid, const PlanePatches& patches,
                            const PlanePatches* except) {
    size_t j = 0;
    for (const TilePatch& p : patches.patches) {
        if (state_[p.tile] != kOthers) continue;
        if (except) {
            while (j < except->patches.size() && except->patches[j].tile < p.tile) ++j;
            if (j < except->patches.size() && except->patches[j].tile == p.tile) continue;
        }
        const Rect b = grid.bounds(p.tile);
        copyRows(other_->rowsOf(plane, p.tile, b), b, rowBytes(plane, b), slots_.slot(p.tile));
        state_[p.tile] = kOwn;
    }
}

void PlaneShadow::follow(const PlaneView& plane, const TileGrid& grid, const PlanePatches& own) {
    // A tile the same as the other's shadow holds it is found there; any
    // other is copied.
    const std::vector<TilePatch>& tiles = own.patches;
    std::vector<uint8_t> same(tiles.size());
    forEachIndex(tiles.size(), [&](size_t i) {
        const Rect b = grid.bounds(tiles[i].tile);
        same[i] = sameRows(plane, b, other_->rowsOf(plane, tiles[i].tile, b));
    });
    slots_.filling(size_t(std::count(same.begin(), same.end(), 0)));
    forEachIndex(tiles.size(), [&](size_t i) {
        if (i % kTilesBetweenPauses == 0) giveWayToForeground();
        const uint32_t t = tiles[i].tile;
        if (!same[i]) copyTileOut(plane, grid.bounds(t), slots_.slot(t));
        state_[t] = same[i] ? kOthers : kOwn;
    });
}

PlanePatches PlaneShadow::retake(const PlaneView& plane, const TileGrid& grid, std::span<const uint32_t> candidates,
                                 TileKeeper* keeper, const std::function<void(const PlanePatches&)>& beforeWriting) {
    const size_t bpp = size_t(plane.bytesPerPixel);
    if (maskRoom_ < candidates.size()) {
        masks_ = std::make_unique_for_overwrite<uint64_t[]>(candidates.size() * kTileSide);
        maskRoom_ = candidates.size();
    }
    std::vector<TileComparison> compared(candidates.size());
    std::vector<size_t> rowsOfTiles;  // where each row of tiles starts among the candidates
    for (size_t i = 0; i < candidates.size(); ++i) {
        const uint32_t t = candidates[i];
        const Rect b = grid.bounds(t);
        compared[i] = {b, rowsOf(plane, t, b), &masks_[i * kTileSide]};
        if (i == 0 || b.y1 != compared[i - 1].tile.y1) rowsOfTiles.push_back(i);
    }
    rowsOfTiles.push_back(candidates.size());
    forEachIndex(
        rowsOfTiles.size() - 1,
        [&](size_t k) {
            giveWayToForeground();
            findChanges(plane, std::span(compared).subspan(rowsOfTiles[k], rowsOfTiles[k + 1] - rowsOfTiles[k]));
        },
        candidates.size());
    // The step's own buffers, sized to what changed. A tile still as set up
    // needs no copy of what it was.
    PlanePatches out;
    out.setUp = setUp_;
    size_t partial = 0, held = 0, setUp = 0;
    for (size_t i = 0; i < candidates.size(); ++i) {
        const size_t count = compared[i].count;
        if (!count) continue;
        const uint32_t t = candidates[i];
        const Rect& b = compared[i].tile;
        const bool whole = count == size_t(b.x2 - b.x1) * size_t(b.y2 - b.y1);
        out.patches.push_back({t, whole ? nullptr : compared[i].mask, nullptr, count, setUpAt(t)});
        out.valueBytes += count * bpp;
        if (setUpAt(t)) ++setUp;
        else held += count * bpp;
        partial += !whole;
    }
    if (out.patches.empty()) return out;
    out.values = std::make_unique_for_overwrite<uint8_t[]>(held);
    prefault(out.values.get(), held);
    out.masks = std::make_unique_for_overwrite<uint64_t[]>(partial * kTileSide);
    out.maskCount = partial;
    uint8_t* values = out.values.get();
    uint64_t* masks = out.masks.get();
    for (TilePatch& p : out.patches) {
        if (!p.setUp) {
            p.values = values;
            values += p.count * bpp;
        }
        if (!p.mask) continue;
        std::memcpy(masks, p.mask, kTileSide * sizeof(uint64_t));
        p.mask = masks;
        masks += kTileSide;
    }
    if (keeper) {
        keeper->reserve(out.patches.size() - setUp);
        for (const TilePatch& p : out.patches)
            keeper->keep(p.tile, p.setUp ? nullptr : slots_.slot(p.tile), tileByteCount(plane, grid.bounds(p.tile)));
    }
    if (other_) {
        // What changed is packed while the other's shadow still holds it;
        // follow() takes the plane's.
        forEachIndex(out.patches.size(), [&](size_t i) {
            if (i % kTilesBetweenPauses == 0) giveWayToForeground();
            const TilePatch& p = out.patches[i];
            const Rect b = grid.bounds(p.tile);
            if (!p.setUp) packRows(rowsOf(plane, p.tile, b), b, p.mask, bpp, p.values);
        });
        return out;
    }
    if (beforeWriting) beforeWriting(out);
    slots_.filling(setUp);
    forEachIndex(out.patches.size(), [&](size_t i) {
        if (i % kTilesBetweenPauses == 0) giveWayToForeground();
        TilePatch& p = out.patches[i];
        const Rect b = grid.bounds(p.tile);
        if (p.setUp) copyTileOut(plane, b, slots_.slot(p.tile));
        else takeChanges(plane, b, p.mask, slots_.slot(p.tile), p.values);
    });
    for (const TilePatch& p : out.patches) state_[p.tile] = kOwn;
    return out;
}

void PlanePatches::shareMasks(const PlanePatches& other) {
    size_t j = 0, own = 0;
    for (TilePatch& p : patches) {
        while (j < other.patches.size() && other.patches[j].tile < p.tile) ++j;
        if (!p.mask) continue;
        const TilePatch* q = j < other.patches.size() ? &other.patches[j] : nullptr;
        if (q && q->tile == p.tile && q->mask && q->count == p.count && std::equal(p.mask, p.mask + kTileSide, q->mask))
            p.mask = q->mask;
        else
            ++own;
    }
    if (own == maskCount) return;
    // The masks still its own, in a buffer of their size.
    auto kept = std::make_unique_for_overwrite<uint64_t[]>(own * kTileSide);
    uint64_t* to = kept.get();
    const uint64_t *from = masks.get(), *end = masks.get() + maskCount * kTileSide;
    for (TilePatch& p : patches) {
        if (!p.mask || p.mask < from || p.mask >= end) continue;
        std::memcpy(to, p.mask, kTileSide * sizeof(uint64_t));
        p.mask = to;
        to += kTileSide;
    }
    masks = std::move(kept);
    maskCount = own;
}

void PlaneShadow::exchange(const PlaneView& plane, const TileGrid& grid, PlanePatches& patches, TileKeeper* keeper) {
    assert(std::none_of(patches.patches.begin(), patches.patches.end(), [&](const TilePatch& p) { return state_[p.tile] == kOthers; }));
    if (keeper) {
        keeper->reserve(patches.patches.size());
        for (const TilePatch& p : patches.patches)
            keeper->keep(p.tile, asSetUp(p.tile) ? nullptr : slots_.slot(p.tile), tileByteCount(plane, grid.bounds(p.tile)));
    }
    // Patches whose version is the set-up one and that hold no copy of it
    // yet: it is copied now, and they keep the picture's in its place.
    size_t need = 0;
    for (const TilePatch& p : patches.patches)
        if (!p.values) need += p.count * size_t(plane.bytesPerPixel);
    if (need) {
        patches.setUpValues = std::make_unique_for_overwrite<uint8_t[]>(need);
        uint8_t* values = patches.setUpValues.get();
        for (TilePatch& p : patches.patches)
            if (!p.values) {
                p.values = values;
                values += p.count * size_t(plane.bytesPerPixel);
            }
    }
    forEachIndex(patches.patches.size(), [&](size_t i) {
        TilePatch& p = patches.patches[i];
        const Rect b = grid.bounds(p.tile);
        if (p.setUp) {
            packRows(setUpRows(patches.setUp, b), b, p.mask, size_t(plane.bytesPerPixel), p.values);
            p.setUp = false;
        }
        if (asSetUp(p.tile)) copySetUp(p.tile, b);
        exchangePatch(plane, b, p, slots_.slot(p.tile));
    });
}

void drawTiles(const TileGrid& grid, std::span<const TileRows> rows, std::initializer_list<PlaneView> to) {
    // Along the picture's rows, a row of tiles at a time: the memory serves
    // long rows far faster than a tile's short ones one under another.
    const int32_t columns = grid.tileColumns();
    forEachIndex(
        size_t(grid.tileRows()),
        [&](size_t r) {
            const uint32_t first = uint32_t(r) * uint32_t(columns);
            const Rect band = grid.bounds(first);
            for (int32_t y = band.y1; y < band.y2; ++y)
                for (int32_t c = 0; c < columns; ++c) {
                    const Rect b = grid.bounds(first + uint32_t(c));
                    const auto [from, step] = rows[first + uint32_t(c)];
                    for (const PlaneView& plane : to)
                        std::memcpy(mutableRow(plane, b, y), from + size_t(y - b.y1) * step, rowBytes(plane, b));
                }
        },
        grid.count());
}

} // namespace cw
