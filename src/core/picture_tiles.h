#pragma once
// The open picture's planes cut into square tiles, so that what a change
// touched can be found, kept and put back tile by tile instead of copying the
// whole picture.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "core/rect.h"

namespace cw {

struct Workspace;

inline constexpr int32_t kTileSide = 64;

// What the history keeps of a workspace: the coloured picture, the codes and
// the display (markers and outlines over the colours).
enum class Plane : uint8_t { Colour, Codes, Display };
inline constexpr Plane kPlanes[] = {Plane::Colour, Plane::Codes, Plane::Display};

struct PlaneView {
    uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0;
    int32_t bytesPerPixel = 0;
};
PlaneView planeOf(Workspace& ws, Plane p);

class TileGrid {
public:
    TileGrid() = default;
    TileGrid(int32_t width, int32_t height)
        : width_(width), height_(height), columns_((width + kTileSide - 1) / kTileSide),
          rows_((height + kTileSide - 1) / kTileSide) {}
    size_t count() const { return size_t(columns_) * size_t(rows_); }
    // The pixels of tile t, exclusive bounds, cut at the picture's edge.
    Rect bounds(size_t t) const;
    // Visits the tiles an area (exclusive bounds) overlaps, row by row.
    template <typename Visit>
    void forEachTileIn(const Rect& area, const Visit& visit) const {
        const int32_t x1 = std::max(area.x1, 0), y1 = std::max(area.y1, 0);
        const int32_t x2 = std::min(area.x2, width_), y2 = std::min(area.y2, height_);
        if (x1 >= x2 || y1 >= y2) return;
        for (int32_t r = y1 / kTileSide; r <= (y2 - 1) / kTileSide; ++r)
            for (int32_t c = x1 / kTileSide; c <= (x2 - 1) / kTileSide; ++c) visit(uint32_t(r * columns_ + c));
    }
    Rect whole() const { return {0, 0, width_, height_}; }

private:
    int32_t width_ = 0, height_ = 0, columns_ = 0, rows_ = 0;
};

// One plane's pixels of one tile, row after row. Written once when taken and
// never changed after, so the history and the undo snapshot can share it.
using TileBytes = std::shared_ptr<const uint8_t[]>;

size_t tileByteCount(const PlaneView& plane, const Rect& tile);
TileBytes copyTileOut(const PlaneView& plane, const Rect& tile);
void copyTileIn(const PlaneView& plane, const Rect& tile, const uint8_t* bytes);
// Puts tiles[i]'s bytes back into the plane, for every i.
void copyTilesIn(const PlaneView& plane, const TileGrid& grid, std::span<const uint32_t> tiles,
                 std::span<const TileBytes> bytes);

// The pixels of one plane's tile that a step changed, in the version the
// picture does not hold now: which pixels, and their values packed in order.
struct TilePatch {
    uint32_t tile = 0;
    // kTileSide words, one per row of the tile, bit x for column x; null when
    // every pixel changed.
    std::shared_ptr<const uint64_t[]> mask;
    std::unique_ptr<uint8_t[]> values;
    size_t count = 0;  // pixels held
};

// A plane as it stood when the history last took it, tile by tile.
class PlaneShadow {
public:
    // Copies every tile of the plane.
    void take(const PlaneView& plane, const TileGrid& grid);
    // Takes the tiles among `candidates` where the plane no longer matches the
    // shadow: returns what changed, with the shadow's values, and puts the
    // shadow's old tiles in `replaced` (one per patch) when it is given.
    std::vector<TilePatch> retake(const PlaneView& plane, const TileGrid& grid, std::span<const uint32_t> candidates,
                                  std::vector<TileBytes>* replaced = nullptr);
    // Exchanges each patch's values with the plane's and takes the tiles
    // again, putting the old ones in `replaced` when it is given.
    void exchange(const PlaneView& plane, const TileGrid& grid, std::span<TilePatch> patches,
                  std::vector<TileBytes>* replaced = nullptr);
    const TileBytes& operator[](size_t t) const { return tiles_[t]; }
    std::span<const TileBytes> tiles() const { return tiles_; }
    void clear() { tiles_.clear(); }

private:
    std::vector<TileBytes> tiles_;
};

} // namespace cw
