#pragma once
// Inside the core only: the storage of the connected fill's queue, a ring of
// plane positions that doubles when full. Each pixel enters at most once, so
// it never outgrows the picture's 2^31. Positions are 32-bit where the
// planes allow: half the ring's traffic.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#include "core/image_error.h"

namespace cw::connected {

template <class Pos>
struct Ring {
    std::unique_ptr<Pos[]> slots;
    uint32_t mask = 0;
};

// A ring twice the size of `old` (or a first one), holding the `count`
// positions from `head` on at its start. Throws std::bad_alloc when it
// would not fit.
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

} // namespace cw::connected
