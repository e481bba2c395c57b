#pragma once
// Inside the core only: the connected fill walks two bit planes instead of
// the picture's own arrays, so that the walk stays in cache on large
// pictures, and works their rows out just before it first comes near them.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "core/workspace.h"

namespace cw::connected {

// The two planes, one bit per pixel each: "open" (may still be appended:
// unpainted and of a passing tone) and "swept" (open as it was when the
// taken pixels were last painted, so that those taken since are
// swept & ~open, and the walk itself only touches one plane). Rows are a
// power of two of bits apart, at least 16, with at least one spare (always
// clear) bit at the end of each row, and two clear rows above and one below
// the picture. Pixel (x, y) is bit ((y + 2) << shift) + x: the spare bits
// stand for the columns left of x = 0 and right of x = W - 1, and the clear
// rows for those above and below, so no neighbour needs a bounds test.
struct Planes {
    uint32_t shift;
    size_t bytes;
    std::unique_ptr<uint8_t[]> open, swept;

    static uint32_t shiftFor(uint32_t width);
    static uint64_t bitsFor(uint32_t width, uint32_t height) { return (uint64_t(height) + 3) << shiftFor(width); }
    // Throws std::bad_alloc when the planes would not fit.
    Planes(uint32_t width, uint32_t height);
    uint64_t position(uint32_t x, uint32_t y) const { return ((uint64_t(y) + 2) << shift) + x; }
};

// Which plane rows have their open bits (those of unpainted pixels whose
// tone lies in lo..hi), shared by the walk and a thread that works them out
// ahead of it, outward from the seed's row. Each row is claimed before it
// is worked out, so that it is done once, and the walk waits only for a row
// the other thread is in the middle of.
class RowPreparer {
public:
    RowPreparer(Planes& planes, const Workspace& ws, uint32_t lo, uint32_t hi);
    ~RowPreparer() { stopAhead(); }

    // Plane row r has its open bits once this returns. `passing` is the
    // caller's scratch row, as wide as the picture.
    void ensure(uint32_t r, std::vector<uint8_t>& passing) {
        if (state_[r].load(std::memory_order_acquire) == kReady) return;
        if (!prepare(r, passing))
            while (state_[r].load(std::memory_order_acquire) != kReady) std::this_thread::yield();
    }
    // Works out the rows ahead of the walk on a thread of its own, nearest
    // the seed's plane row first. Without a thread the walk does them all.
    void startAhead(uint32_t seedRow);
    void stopAhead();

private:
    static constexpr uint8_t kNone = 0, kClaimed = 1, kReady = 2;
    bool prepare(uint32_t r, std::vector<uint8_t>& passing);

    Planes& planes_;
    const Workspace& ws_;
    const uint32_t lo_, hi_, h_;
    std::unique_ptr<std::atomic<uint8_t>[]> state_;
    std::atomic<bool> stop_{false};
    std::thread ahead_;
};

} // namespace cw::connected
