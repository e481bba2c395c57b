#pragma once
#include <algorithm>
#include <cstdint>

namespace cw {

struct Rect {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const Rect&) const = default;
};

// Each bound held to the picture's columns and rows (inclusive bounds).
inline Rect clampedTo(Rect r, int32_t width, int32_t height) {
    const int32_t right = std::max(0, width - 1), bottom = std::max(0, height - 1);
    return {std::clamp(r.x1, 0, right), std::clamp(r.y1, 0, bottom), std::clamp(r.x2, 0, right),
            std::clamp(r.y2, 0, bottom)};
}

} // namespace cw
