#pragma once
#include <cstdint>

namespace cw {

struct Rect {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const Rect&) const = default;
};

} // namespace cw
