#pragma once
// One region found by mark-up, in the order mark-up found it.
#include <cstdint>
#include <vector>

namespace cw {

struct Anchor {
    int32_t x = 0, y = 0;  // full-resolution pixels
    int32_t size = 0;      // pixels in the region (grid cells for the fast variant)
    int8_t code = -1;      // palette code; mark-up stores -1 (none)
    int8_t status = -1;    // 0 = anchor, -1 = no anchor
    bool operator==(const Anchor&) const = default;
};

using AnchorList = std::vector<Anchor>;

} // namespace cw
