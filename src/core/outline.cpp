#include "core/outline.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace cw {

namespace {
constexpr uint32_t kComplement = 0x00ffffffu;

void invertAt(Bitmap& b, int32_t x, int32_t y) {
    if (x >= 0 && y >= 0 && x < b.width() && y < b.height()) b.at(x, y) ^= kComplement;
}
} // namespace

Rect spanOf(const Rect& r, int32_t width, int32_t height) {
    Rect s{std::max(0, std::min(r.x1, r.x2)), std::max(0, std::min(r.y1, r.y2)), std::min(width, std::max(r.x1, r.x2)),
           std::min(height, std::max(r.y1, r.y2))};
    if (s.x2 <= s.x1 || s.y2 <= s.y1) return Rect{};
    return s;
}

// Both outlines walk only the columns and rows inside the picture: a drag far
// past its edge must cost no more than one across it.
void invertRectangle(Bitmap& display, const Rect& r) {
    const int32_t left = std::min(r.x1, r.x2), right = std::max(r.x1, r.x2) - 1;
    const int32_t top = std::min(r.y1, r.y2), bottom = std::max(r.y1, r.y2) - 1;
    if (right < left || bottom < top) return;
    const int32_t x1 = std::max(left, 0), x2 = std::min(right, display.width() - 1);
    const int32_t y1 = std::max(top + 1, 0), y2 = std::min(bottom - 1, display.height() - 1);
    for (int32_t x = x1; x <= x2; ++x) {
        invertAt(display, x, top);
        if (bottom != top) invertAt(display, x, bottom);
    }
    for (int32_t y = y1; y <= y2; ++y) {
        invertAt(display, left, y);
        if (right != left) invertAt(display, right, y);
    }
}

void invertEllipse(Bitmap& display, const Rect& r) {
    const int32_t left = std::min(r.x1, r.x2), right = std::max(r.x1, r.x2) - 1;
    const int32_t top = std::min(r.y1, r.y2), bottom = std::max(r.y1, r.y2) - 1;
    if (right < left || bottom < top) return;
    // In doubles: the corners may lie anywhere in the int32 range.
    const double cx = (double(left) + right) / 2.0, cy = (double(top) + bottom) / 2.0;
    const double a = (double(right) - left) / 2.0, b = (double(bottom) - top) / 2.0;
    auto rounded = [](double v) { return int32_t(std::clamp(std::round(v), -2147483648.0, 2147483647.0)); };
    // Points of the boundary, each complemented once even where the
    // per-column and per-row passes meet.
    std::vector<std::pair<int32_t, int32_t>> points;
    for (int32_t x = std::max(left, 0), xEnd = std::min(right, display.width() - 1); x <= xEnd; ++x) {
        const double t = a > 0 ? (x - cx) / a : 0;
        const double dy = b * std::sqrt(std::max(0.0, 1 - t * t));
        points.emplace_back(x, rounded(cy - dy));
        points.emplace_back(x, rounded(cy + dy));
    }
    for (int32_t y = std::max(top, 0), yEnd = std::min(bottom, display.height() - 1); y <= yEnd; ++y) {
        const double t = b > 0 ? (y - cy) / b : 0;
        const double dx = a * std::sqrt(std::max(0.0, 1 - t * t));
        points.emplace_back(rounded(cx - dx), y);
        points.emplace_back(rounded(cx + dx), y);
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    for (auto [x, y] : points) invertAt(display, x, y);
}

void restoreRect(Bitmap& to, const Bitmap& from, const Rect& r) {
    const Rect s = spanOf(r, to.width(), to.height());
    for (int32_t y = s.y1; y < s.y2; ++y)
        std::memcpy(to.row(y) + s.x1, from.row(y) + s.x1, size_t(s.x2 - s.x1) * sizeof(uint32_t));
}

} // namespace cw
