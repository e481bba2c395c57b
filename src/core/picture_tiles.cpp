#include "core/picture_tiles.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <thread>

#include "core/workspace.h"

namespace cw {

namespace {

// Below this many tiles (about a twentieth of a 24 MP picture) a second
// thread costs more than it saves.
constexpr size_t kTwoThreadsFrom = 256;

// Runs work(i) for every i below n, on two threads when n is large: taking a
// whole picture is memory-bound, and one thread does not draw all of it.
template <typename Work>
void forEachIndex(size_t n, const Work& work) {
    if (n < kTwoThreadsFrom) {
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

Rect TileGrid::bounds(size_t t) const {
    const int32_t column = int32_t(t % size_t(columns_)), row = int32_t(t / size_t(columns_));
    return {column * kTileSide, row * kTileSide, std::min(width_, (column + 1) * kTileSide),
            std::min(height_, (row + 1) * kTileSide)};
}

size_t tileByteCount(const PlaneView& plane, const Rect& tile) {
    return rowBytes(plane, tile) * size_t(tile.y2 - tile.y1);
}

TileBytes copyTileOut(const PlaneView& plane, const Rect& tile) {
    const size_t row = rowBytes(plane, tile);
    auto bytes = std::make_unique_for_overwrite<uint8_t[]>(row * size_t(tile.y2 - tile.y1));
    uint8_t* to = bytes.get();
    for (int32_t y = tile.y1; y < tile.y2; ++y, to += row) std::memcpy(to, rowAt(plane, tile, y), row);
    return TileBytes(std::move(bytes));
}

void copyTileIn(const PlaneView& plane, const Rect& tile, const uint8_t* bytes) {
    const size_t row = rowBytes(plane, tile);
    for (int32_t y = tile.y1; y < tile.y2; ++y, bytes += row)
        std::memcpy(const_cast<uint8_t*>(rowAt(plane, tile, y)), bytes, row);
}

void copyTilesIn(const PlaneView& plane, const TileGrid& grid, std::span<const uint32_t> tiles,
                 std::span<const TileBytes> bytes) {
    forEachIndex(tiles.size(), [&](size_t i) { copyTileIn(plane, grid.bounds(tiles[i]), bytes[i].get()); });
}

void PlaneShadow::take(const PlaneView& plane, const TileGrid& grid) {
    tiles_.assign(grid.count(), nullptr);
    forEachIndex(tiles_.size(), [&](size_t t) { tiles_[t] = copyTileOut(plane, grid.bounds(t)); });
}

namespace {

uint8_t* mutableRow(const PlaneView& p, const Rect& tile, int32_t y) { return const_cast<uint8_t*>(rowAt(p, tile, y)); }

// Bit x set where pixel x of the two rows differs.
template <typename Pixel>
uint64_t differences(const uint8_t* a, const uint8_t* b, int32_t columns) {
    Pixel pa[kTileSide], pb[kTileSide];
    std::memcpy(pa, a, size_t(columns) * sizeof(Pixel));
    std::memcpy(pb, b, size_t(columns) * sizeof(Pixel));
    uint64_t m = 0;
    for (int32_t x = 0; x < columns; ++x) m |= uint64_t(pa[x] != pb[x]) << x;
    return m;
}

// The patch of one tile: which pixels of the plane differ from `before`, and
// before's values there. Empty (count 0) when none does.
TilePatch diffTile(const PlaneView& plane, const Rect& tile, const uint8_t* before) {
    const int32_t rows = tile.y2 - tile.y1, columns = tile.x2 - tile.x1;
    const size_t bpp = size_t(plane.bytesPerPixel), row = rowBytes(plane, tile);
    // Most tiles a change might have reached did not change: compare them whole first.
    int32_t first = 0;
    while (first < rows && std::memcmp(rowAt(plane, tile, tile.y1 + first), before + size_t(first) * row, row) == 0) ++first;
    if (first == rows) return {};
    auto mask = std::make_unique<uint64_t[]>(size_t(kTileSide));  // rows past an edge tile's stay 0
    TilePatch patch;
    for (int32_t y = first; y < rows; ++y) {
        const uint8_t* now = rowAt(plane, tile, tile.y1 + y);
        mask[size_t(y)] = bpp == 4 ? differences<uint32_t>(now, before + size_t(y) * row, columns)
                                   : differences<uint8_t>(now, before + size_t(y) * row, columns);
        patch.count += size_t(std::popcount(mask[size_t(y)]));
    }
    if (patch.count == 0) return patch;
    patch.values = std::make_unique_for_overwrite<uint8_t[]>(patch.count * bpp);
    if (patch.count == size_t(rows) * size_t(columns)) {
        std::memcpy(patch.values.get(), before, patch.count * bpp);
        return patch;
    }
    uint8_t* to = patch.values.get();
    for (int32_t y = 0; y < rows; ++y)
        for (uint64_t m = mask[size_t(y)]; m; m &= m - 1, to += bpp)
            std::memcpy(to, before + size_t(y) * row + size_t(std::countr_zero(m)) * bpp, bpp);
    patch.mask = std::move(mask);
    return patch;
}

void swapBytes(uint8_t* a, uint8_t* b, size_t n) {
    uint8_t held[kTileSide * 4];
    std::memcpy(held, a, n);
    std::memcpy(a, b, n);
    std::memcpy(b, held, n);
}

void exchangePatch(const PlaneView& plane, const Rect& tile, TilePatch& patch) {
    const int32_t rows = tile.y2 - tile.y1;
    const size_t bpp = size_t(plane.bytesPerPixel), row = rowBytes(plane, tile);
    uint8_t* values = patch.values.get();
    for (int32_t y = 0; y < rows; ++y) {
        uint8_t* now = mutableRow(plane, tile, tile.y1 + y);
        if (!patch.mask) {
            swapBytes(now, values, row);
            values += row;
            continue;
        }
        for (uint64_t m = patch.mask[size_t(y)]; m; m &= m - 1, values += bpp)
            swapBytes(now + size_t(std::countr_zero(m)) * bpp, values, bpp);
    }
}

} // namespace

std::vector<TilePatch> PlaneShadow::retake(const PlaneView& plane, const TileGrid& grid,
                                           std::span<const uint32_t> candidates, std::vector<TileBytes>* replaced) {
    std::vector<TilePatch> found(candidates.size());
    forEachIndex(candidates.size(), [&](size_t i) {
        const uint32_t t = candidates[i];
        found[i] = diffTile(plane, grid.bounds(t), tiles_[t].get());
        found[i].tile = t;
    });
    std::vector<TilePatch> patches;
    for (TilePatch& p : found)
        if (p.count) patches.push_back(std::move(p));
    if (replaced) replaced->resize(patches.size());
    forEachIndex(patches.size(), [&](size_t i) {
        const uint32_t t = patches[i].tile;
        if (replaced) (*replaced)[i] = std::move(tiles_[t]);
        tiles_[t] = copyTileOut(plane, grid.bounds(t));
    });
    return patches;
}

void PlaneShadow::exchange(const PlaneView& plane, const TileGrid& grid, std::span<TilePatch> patches,
                           std::vector<TileBytes>* replaced) {
    if (replaced) replaced->resize(patches.size());
    forEachIndex(patches.size(), [&](size_t i) {
        const uint32_t t = patches[i].tile;
        exchangePatch(plane, grid.bounds(t), patches[i]);
        if (replaced) (*replaced)[i] = std::move(tiles_[t]);
        tiles_[t] = copyTileOut(plane, grid.bounds(t));
    });
}

} // namespace cw
