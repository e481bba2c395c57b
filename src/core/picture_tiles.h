#pragma once
// The open picture's planes cut into square tiles, so that what a change
// touched can be found, kept and put back tile by tile instead of copying the
// whole picture.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "core/rect.h"

namespace cw {

struct Workspace;

inline constexpr int32_t kTileSide = 64;

// What the history keeps of a workspace: the coloured picture, the codes and
// the display (markers and outlines over the colours).
enum class Plane : uint8_t { Colour, Codes, Display };
inline constexpr Plane kPlanes[] = {Plane::Colour, Plane::Codes, Plane::Display};
// Sets of planes, a bit each.
constexpr uint8_t planeBit(Plane p) { return uint8_t(1u << unsigned(p)); }
inline constexpr uint8_t kEveryPlane = planeBit(Plane::Colour) | planeBit(Plane::Codes) | planeBit(Plane::Display);

struct PlaneView {
    uint8_t* pixels = nullptr;
    int32_t width = 0, height = 0;
    int32_t bytesPerPixel = 0;
};
PlaneView planeOf(Workspace& ws, Plane p);
// A plane as the set-up leaves it: the source picture for the colour and the
// display, zeros (no pixels) for the codes.
PlaneView setUpPlaneOf(Workspace& ws, Plane p);

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
    int32_t tileRows() const { return rows_; }
    int32_t tileColumns() const { return columns_; }

private:
    int32_t width_ = 0, height_ = 0, columns_ = 0, rows_ = 0;
};

size_t tileByteCount(const PlaneView& plane, const Rect& tile);
void copyTileIn(const PlaneView& plane, const Rect& tile, const uint8_t* bytes);
// Copies one tile of a plane into the same tile of another of its size;
// from a plane without pixels, zeros.
void copyTileAcross(const PlaneView& from, const PlaneView& to, const Rect& tile);

// The rows of a tile somewhere: the first, and the step from one to the next.
using TileRows = std::pair<const uint8_t*, size_t>;
// Writes every tile t of the planes `to` (all of the grid's size) from
// rows[t]: a whole picture put together from tiles found here and there.
void drawTiles(const TileGrid& grid, std::span<const TileRows> rows, std::initializer_list<PlaneView> to);

// Tiles of one plane side by side in one buffer, a slot of a whole tile's
// size each, reused, never freed. Slots filled all at once (a picture's
// shadow) are mapped in with one call; slots filled here and there as they
// are first written.
class TileSlots {
public:
    enum class Filled { AllAtOnce, HereAndThere };
    // Room for `count` slots: the buffer already held when it is large
    // enough (the next picture's copy then needs no fresh memory). True when
    // it was.
    bool reset(size_t slotBytes, size_t count, Filled filled);
    uint8_t* slot(size_t i) const { return bytes_.get() + i * slotBytes_; }
    // About to fill this many slots here and there: many at once (a fill
    // over much of the picture) map the whole room in with one call, which
    // costs less than a fault a page.
    void filling(size_t slots);
    size_t count() const { return count_; }

private:
    static constexpr size_t kMapInFrom = 256;
    std::unique_ptr<uint8_t[]> bytes_;
    size_t slotBytes_ = 0, count_ = 0, capacity_ = 0;
    bool mappedIn_ = false;
};

// Tiles of the colour as they were before their first change since a
// moment (the Un-do button's snapshot): only those that changed are kept.
class TileKeeper {
public:
    // A slot for every tile of the grid, mapped in only as tiles are kept.
    void start(const TileGrid& grid, size_t slotBytes);
    // Keeps tile t as `bytes` hold it; null bytes: the tile was as the
    // picture was set up, which the owner can give back without a copy.
    void keep(uint32_t t, const uint8_t* bytes, size_t n);
    // About to keep this many tiles.
    void reserve(size_t tiles);
    // Forgets every tile kept; the room stays for the next.
    void clear();
    // visit(t, bytes): bytes null for a tile kept as set up.
    template <typename Visit>
    void forEachKept(const Visit& visit) const {
        for (uint32_t t : keptList_) visit(t, kept_[t] == kSetUp ? nullptr : static_cast<const uint8_t*>(slots_.slot(t)));
    }

private:
    static constexpr uint8_t kSetUp = 2;
    TileSlots slots_;
    std::vector<uint8_t> kept_;
    std::vector<uint32_t> keptList_;
};

// The pixels of one plane's tile that a step changed, in the version the
// picture does not hold now: which pixels, and their values packed in order.
struct TilePatch {
    uint32_t tile = 0;
    // kTileSide words, one per row of the tile, bit x for column x; null when
    // every pixel changed.
    const uint64_t* mask = nullptr;
    uint8_t* values = nullptr;
    size_t count = 0;  // pixels held
    // The version not in the picture is the tile as the picture was set up:
    // its values are not copied (null) until an undo puts that version back.
    bool setUp = false;
};

// What a step changed of one plane: its patches, whose values and masks
// live in two buffers of the step's own.
struct PlanePatches {
    Plane plane = Plane::Colour;
    std::vector<TilePatch> patches;
    std::unique_ptr<uint8_t[]> values;
    // Where the set-up version of its patches is: the picture's source,
    // which never changes while the picture lives, or zeros.
    PlaneView setUp;
    std::unique_ptr<uint8_t[]> setUpValues;  // taken when set-up patches are first exchanged
    std::unique_ptr<uint64_t[]> masks;
    // The bytes of every patch's values, whether held yet or not: what the
    // step costs once it has been undone.
    size_t valueBytes = 0, maskCount = 0;
    bool empty() const { return patches.empty(); }
    size_t bytes() const { return valueBytes + maskCount * kTileSide * sizeof(uint64_t); }
    // Where the other plane changed the same pixels of a tile (the display
    // mostly changes where the colour does), this one keeps its mask.
    void shareMasks(const PlanePatches& other);
};

// A plane as it stood when the history last took it, tile by tile. A tile
// still as the picture was set up is not copied: `setUp` holds it (the
// source picture for the colour and the display, zeros for the codes). A
// plane that mostly shows another (the display shows the colours, with
// markers and outlines here and there) follows that plane's shadow: a tile
// the same in both is not copied either, and is found in the other's.
class PlaneShadow {
public:
    // This shadow follows `other`'s: the owner retakes it before the other's
    // and calls follow() after, and calls keepApart() before the other's
    // shadow changes.
    void follows(const PlaneShadow* other) { other_ = other; }
    // Copies every tile of the plane; one that follows finds the tiles the
    // same as the other's (taken first) there.
    void take(const PlaneView& plane, const TileGrid& grid);
    // A picture just set up, the plane equal to `setUp` (no pixels: zeros):
    // nothing is copied until a tile changes.
    void takeSetUp(const PlaneView& setUp, const TileGrid& grid);
    // Takes the tiles among `candidates` (ascending) where the plane no longer
    // matches the shadow: returns what changed, with the shadow's values, and
    // writes the plane's into the shadow (one that follows leaves that to
    // follow()). `keeper`, when given, keeps each tile as it was before it
    // changed, where it holds none yet. `beforeWriting`, when given, is told
    // what changed before the shadow is written.
    PlanePatches retake(const PlaneView& plane, const TileGrid& grid, std::span<const uint32_t> candidates,
                        TileKeeper* keeper = nullptr,
                        const std::function<void(const PlanePatches&)>& beforeWriting = {});
    // Exchanges each patch's values with the plane's, and writes the plane's
    // new values into the shadow; `keeper` as for retake. A shadow that
    // follows has its patches' tiles kept apart first.
    void exchange(const PlaneView& plane, const TileGrid& grid, PlanePatches& patches, TileKeeper* keeper = nullptr);
    // For a shadow that follows, before the other's changes the tiles of
    // `patches` (but those of `except`): a tile found in the other's shadow
    // is copied into its own slot.
    void keepApart(const PlaneView& plane, const TileGrid& grid, const PlanePatches& patches,
                   const PlanePatches* except = nullptr);
    // Ends a retake of a shadow that follows, once the other's is done: the
    // tiles of `own` (its patches) are taken from the plane, found in the
    // other's shadow where they are the same.
    void follow(const PlaneView& plane, const TileGrid& grid, const PlanePatches& own);
    // Writes every tile of the shadow into the plane.
    void copyInto(const PlaneView& plane, const TileGrid& grid) const;
    // Forgets the picture; `keepRoom` keeps the memory for the next one.
    void clear(bool keepRoom = false) {
        state_.clear();
        if (!keepRoom) slots_ = {};
    }
    bool asSetUp(uint32_t t) const { return t < state_.size() && state_[t] == kSetUp; }
    // The rows of tile t as the shadow holds it.
    TileRows rowsOf(const PlaneView& plane, uint32_t t, const Rect& tile) const;

private:
    // Where tile t is held: its slot, the set-up plane, the other's shadow.
    enum : uint8_t { kOwn, kSetUp, kOthers };
    // Whether the version of tile t the shadow holds is the set-up one.
    bool setUpAt(uint32_t t) const {
        return asSetUp(t) || (t < state_.size() && state_[t] == kOthers && other_->asSetUp(t));
    }
    // Writes the set-up version of tile t into its slot, where it is kept
    // from now on.
    void copySetUp(uint32_t t, const Rect& tile);
    TileSlots slots_;
    PlaneView setUp_;
    std::vector<uint8_t> state_;  // per tile: where it is held
    const PlaneShadow* other_ = nullptr;
    // The masks of one retake's candidates, reused; written only for the
    // tiles that changed.
    std::unique_ptr<uint64_t[]> masks_;
    size_t maskRoom_ = 0;
};

} // namespace cw
