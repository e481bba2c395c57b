#pragma once
// A picture buffer: W x H 32-bit words, 0xffRRGGBB, row-major from the top.
// That is Qt's RGB32 layout, so a window can wrap the buffer without a copy.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

namespace cw {

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) {
    return 0xff000000u | (r << 16) | (g << 8) | b;
}
constexpr uint32_t redOf(uint32_t c) { return (c >> 16) & 0xff; }
constexpr uint32_t greenOf(uint32_t c) { return (c >> 8) & 0xff; }
constexpr uint32_t blueOf(uint32_t c) { return c & 0xff; }
// The gray level the workspace sorts pixels by.
constexpr uint32_t grayOf(uint32_t c) { return (redOf(c) + greenOf(c) + blueOf(c)) / 3; }

// The design's colour values are 0x00BBGGRR; these convert at that edge.
constexpr uint32_t fromBGR(int32_t v) {
    return rgb(uint32_t(v) & 0xff, (uint32_t(v) >> 8) & 0xff, (uint32_t(v) >> 16) & 0xff);
}
constexpr int32_t toBGR(uint32_t c) {
    return int32_t(redOf(c) | (greenOf(c) << 8) | (blueOf(c) << 16));
}

// Largest picture we accept: FreePixelCount is a signed 32-bit count.
constexpr uint64_t kMaxPixels = 0x7fffffffu;

// Maps in the pages of a large fresh buffer with one call rather than one
// trap per page, which is a good part of the cost of filling it: in 2 MB
// pages where the buffer holds whole ones (adviseHugePages). A hint only.
void prefault(void* data, size_t bytes);
// Asks for a large fresh buffer to be mapped in 2 MB pages where the system
// allows it (transparent huge pages on request): one fault then maps 512
// times as much, which makes the first fill of a picture-sized buffer several
// times cheaper. Call before touching the memory. A hint only. (In a virtual
// machine whose host takes back the guest's free 2 MB blocks, the first fill
// after a pause is slower instead, while the host maps them in again.)
void adviseHugePages(void* data, size_t bytes);

class Bitmap {
public:
    Bitmap() = default;
    // Allocates without touching the memory; throws std::bad_alloc.
    Bitmap(int32_t width, int32_t height)
        : width_(width), height_(height),
          owned_(std::make_unique_for_overwrite<uint32_t[]>(size_t(width) * size_t(height))), pixels_(owned_.get()) {
        adviseHugePages(pixels_, pixelCount() * sizeof(uint32_t));
    }
    Bitmap(Bitmap&& other) noexcept
        : width_(other.width_), height_(other.height_), owned_(std::move(other.owned_)),
          pixels_(std::exchange(other.pixels_, nullptr)) {}
    Bitmap& operator=(Bitmap&& other) noexcept {
        width_ = other.width_;
        height_ = other.height_;
        owned_ = std::move(other.owned_);
        pixels_ = std::exchange(other.pixels_, nullptr);
        return *this;
    }
    // Shows another bitmap's pixels without a copy and without owning them:
    // good only while the other lives and keeps them, and for reading only.
    static Bitmap sharing(const Bitmap& other) {
        Bitmap b;
        b.width_ = other.width_;
        b.height_ = other.height_;
        b.pixels_ = other.pixels_;
        return b;
    }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    size_t pixelCount() const { return size_t(width_) * size_t(height_); }
    bool empty() const { return !pixels_; }

    uint32_t* data() { return pixels_; }
    const uint32_t* data() const { return pixels_; }
    uint32_t* row(int32_t y) { return pixels_ + size_t(y) * size_t(width_); }
    const uint32_t* row(int32_t y) const { return pixels_ + size_t(y) * size_t(width_); }
    uint32_t& at(int32_t x, int32_t y) { return row(y)[x]; }
    uint32_t at(int32_t x, int32_t y) const { return row(y)[x]; }

    Bitmap clone() const {
        Bitmap b(width_, height_);
        if (pixels_) std::memcpy(b.data(), data(), pixelCount() * sizeof(uint32_t));
        return b;
    }
    void copyFrom(const Bitmap& other) {
        std::memcpy(data(), other.data(), pixelCount() * sizeof(uint32_t));
    }

private:
    int32_t width_ = 0;
    int32_t height_ = 0;
    std::unique_ptr<uint32_t[]> owned_;
    uint32_t* pixels_ = nullptr;  // owned_'s, or another's
};

} // namespace cw
