#pragma once
// Halved copies of a picture for reduced views: copy k is the picture at
// 1 / 2^k of its width and height, each pixel the mean of a 2 x 2 block of the
// copy before it. A view drawn at a fraction of the picture's size scales a
// copy at most twice its size instead of the whole picture, and a change to
// the picture is brought into the copies by its rectangle alone. All copies
// together hold less than a third of the picture's pixels.
#include <vector>

#include "core/bitmap.h"
#include "core/rect.h"

namespace cw {

class ReducedCopies {
public:
    // Copies are made down to the first one whose longer side is at most
    // this many pixels, or to 1 / 2^kMaxLevel.
    static constexpr int32_t kSmallestSide = 128;
    static constexpr int kMaxLevel = 6;

    // Forgets every copy; the next bringUpToDate() makes them for `width` x `height`.
    void reset(int32_t width, int32_t height);
    // Records that a rectangle (exclusive bounds) of the picture changed.
    void changed(const Rect& r);
    // Recomputes what changed since the last call, in every copy up to `level`.
    // Throws std::bad_alloc when a copy cannot be allocated (the copies are
    // then forgotten and made again at the next call).
    void bringUpToDate(const Bitmap& picture, int level);

    // The number of copies (0 for a picture that needs none).
    int levels() const { return levels_; }
    // Copy `level` (1 .. levels()).
    const Bitmap& copy(int level) const { return copies_[size_t(level - 1)]; }
    size_t bytes() const;

private:
    int32_t width_ = 0, height_ = 0;
    int levels_ = 0;
    std::vector<Bitmap> copies_;
    std::vector<Rect> dirty_;  // per copy, in the picture's coordinates; empty when none
};

// The mean of four RGB32 pixels, each channel rounded to nearest.
inline uint32_t meanOf4(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    constexpr uint32_t kLow = 0x00ff00ffu;
    const uint32_t rb = (a & kLow) + (b & kLow) + (c & kLow) + (d & kLow) + 0x00020002u;
    const uint32_t ag = ((a >> 8) & kLow) + ((b >> 8) & kLow) + ((c >> 8) & kLow) + ((d >> 8) & kLow) + 0x00020002u;
    return ((rb >> 2) & kLow) | (((ag >> 2) & kLow) << 8);
}

} // namespace cw
