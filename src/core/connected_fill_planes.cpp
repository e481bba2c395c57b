#include "core/connected_fill_planes.h"

#include "core/helper_threads.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <system_error>

#include "core/bitmap.h"
#include "core/image_error.h"
#include "core/palette_networks.h"

namespace cw::connected {

namespace {

// The open bits of plane row r (the pixels' row r - 2); the clear rows
// above and below the picture are left alone.
void prepareRow(Planes& planes, const Workspace& ws, uint32_t lo, uint32_t hi, uint32_t r,
                std::vector<uint8_t>& passing) {
    const uint32_t w = uint32_t(ws.width), h = uint32_t(ws.height);
    if (hi < lo || r < 2 || r > h + 1) return;  // hi < lo: no tone passes, nothing is ever open
    const uint32_t span = hi - lo;
    const uint32_t py = r - 2;
    const uint32_t* src = ws.source.data() + size_t(py) * w;
    const int8_t* cod = ws.codes.get() + size_t(py) * w;
    uint8_t* out = passing.data();
    for (uint32_t px = 0; px < w; ++px)
        out[px] = uint8_t(((src[px] & 0xff) - lo <= span) & isUnpaintedCode(cod[px]));
    // Rows start on a byte (at least 16 bits apart): eight pixels a byte.
    uint8_t* bits = planes.open.get() + (planes.position(0, py) >> 3);
    uint32_t px = 0;
    for (; px + 8 <= w; px += 8) {
        uint64_t eight;
        std::memcpy(&eight, out + px, sizeof eight);
        bits[px >> 3] = uint8_t((eight * 0x0102040810204080ull) >> 56);
    }
    for (; px < w; ++px) bits[px >> 3] = uint8_t(bits[px >> 3] | (out[px] << (px & 7)));
    std::memcpy(planes.swept.get() + (planes.position(0, py) >> 3), bits, (w + 7) / 8);
}

} // namespace

uint32_t Planes::shiftFor(uint32_t width) {
    return std::max<uint32_t>(4, uint32_t(std::bit_width(uint64_t(width))));  // 2^shift > width
}

Planes::Planes(uint32_t width, uint32_t height)
    : shift(shiftFor(width)), bytes(size_t((bitsFor(width, height) + 7) / 8 + 16)) {
    ensureMemoryFor(2 * uint64_t(bytes));
    // Mapped in with one call each: a fault a page costs more on some machines.
    for (std::unique_ptr<uint8_t[]>* plane : {&open, &swept}) {
        *plane = std::make_unique_for_overwrite<uint8_t[]>(bytes);
        prefault(plane->get(), bytes);
        std::memset(plane->get(), 0, bytes);
    }
}

RowPreparer::RowPreparer(Planes& planes, const Workspace& ws, uint32_t lo, uint32_t hi)
    : planes_(planes), ws_(ws), lo_(lo), hi_(hi), h_(uint32_t(ws.height)),
      state_(std::make_unique<std::atomic<uint8_t>[]>(size_t(h_) + 3)) {
    for (uint32_t r = 0; r < h_ + 3; ++r) state_[r].store(r < 2 || r > h_ + 1 ? kReady : kNone);
}

void RowPreparer::startAhead(uint32_t seedRow) {
    if (!helperThreadsAllowed()) return;
    try {
        ahead_ = std::thread([this, seedRow] {
            std::vector<uint8_t> passing(size_t(ws_.width));
            for (uint32_t d = 0; d <= h_ && !stop_.load(std::memory_order_relaxed); ++d) {
                if (seedRow + d <= h_ + 1) prepare(seedRow + d, passing);
                if (d && seedRow >= 2 + d) prepare(seedRow - d, passing);
            }
        });
    } catch (const std::system_error&) {
    }
}

void RowPreparer::stopAhead() {
    stop_.store(true, std::memory_order_relaxed);
    if (ahead_.joinable()) ahead_.join();
}

bool RowPreparer::prepare(uint32_t r, std::vector<uint8_t>& passing) {
    uint8_t expected = kNone;
    if (!state_[r].compare_exchange_strong(expected, kClaimed, std::memory_order_acq_rel)) return false;
    prepareRow(planes_, ws_, lo_, hi_, r, passing);
    state_[r].store(kReady, std::memory_order_release);
    return true;
}

} // namespace cw::connected
