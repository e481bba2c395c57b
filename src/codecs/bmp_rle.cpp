#include "codecs/bmp_rle.h"

#include <algorithm>

namespace cw::bmp {

namespace {

// The second byte after a zero count.
constexpr unsigned kEndOfLine = 0, kEndOfBitmap = 1, kDelta = 2;

// Where the stream writes next. RLE streams are always bottom-up. Pixels the
// stream skips (by delta or an early end of line) stay black rather than
// taking colour 0 of the table: black is what the picture shows where the
// file has nothing. ImageMagick encodes whole padded rows, so a run may reach
// into the row's padding (the pixels there are dropped), but no further.
class RleCanvas {
public:
    RleCanvas(const Layout& L, Bitmap& out)
        : w_(L.width), h_(L.height),
          paddedWidth_(L.compression == kBiRle4 ? (w_ + 7) & ~int64_t(7) : (w_ + 3) & ~int64_t(3)), out_(out) {
        std::fill(out.data(), out.data() + out.pixelCount(), kBlack);
    }

    // Where a run of `count` pixels starts, and how many of them are inside
    // the picture; the next run starts after it.
    uint32_t* run(int64_t count, unsigned& visible) {
        if (y_ >= h_) refuse("RLE data writes past the top of the picture");
        if (x_ + count > paddedWidth_) refuse("RLE run goes past the end of a row");
        visible = unsigned(std::clamp<int64_t>(w_ - x_, 0, count));
        uint32_t* const start = out_.row(int32_t(h_ - 1 - y_)) + std::min(x_, w_);
        x_ += count;
        return start;
    }
    void endOfLine() {
        x_ = 0;
        ++y_;
    }
    void delta(unsigned right, unsigned up) {
        x_ += right;
        y_ += up;
        if (x_ > paddedWidth_ || y_ > h_) refuse("RLE delta moves outside the picture");
    }

private:
    const int64_t w_, h_, paddedWidth_;
    Bitmap& out_;
    int64_t x_ = 0;
    int64_t y_ = 0;  // counted from the bottom row
};

// `n` pixels of byte c's colour (RLE8), or of its two colours by turns (RLE4).
void encodedRun(const Layout& L, bool four, unsigned n, unsigned c, RleCanvas& canvas) {
    unsigned visible;
    uint32_t* d = canvas.run(n, visible);
    if (four) {
        const uint32_t even = L.palette[c >> 4];
        const uint32_t odd = L.palette[c & 15];
        for (unsigned i = 0; i < visible; ++i) d[i] = (i & 1) ? odd : even;
    } else {
        std::fill(d, d + visible, L.palette[c]);
    }
}

// `n` pixels given one by one from p on, padded to 16 bits; returns what follows.
const uint8_t* absoluteRun(const Layout& L, bool four, unsigned n, const uint8_t* p, const uint8_t* end,
                           RleCanvas& canvas) {
    const size_t bytes = four ? (n + 1) / 2 : n;
    const size_t padded = (bytes + 1) & ~size_t(1);
    if (size_t(end - p) < padded) refuse("RLE data ends inside an absolute run");
    unsigned visible;
    uint32_t* d = canvas.run(n, visible);
    if (four) {
        for (unsigned i = 0; i < visible; ++i) d[i] = L.palette[(i & 1) ? (p[i >> 1] & 15) : (p[i >> 1] >> 4)];
    } else {
        for (unsigned i = 0; i < visible; ++i) d[i] = L.palette[p[i]];
    }
    return p + padded;
}

} // namespace

void decodeRle(const Layout& L, const uint8_t* p, const uint8_t* end, Bitmap& out) {
    const bool four = L.compression == kBiRle4;
    RleCanvas canvas(L, out);
    for (;;) {
        if (end - p < 2) refuse("RLE data ends before its end-of-bitmap code");
        const unsigned n = p[0];
        const unsigned c = p[1];
        p += 2;
        if (n != 0) {
            encodedRun(L, four, n, c, canvas);
        } else if (c == kEndOfLine) {
            canvas.endOfLine();
        } else if (c == kEndOfBitmap) {
            return;
        } else if (c == kDelta) {
            if (end - p < 2) refuse("RLE data ends inside a delta");
            canvas.delta(p[0], p[1]);
            p += 2;
        } else {
            p = absoluteRun(L, four, c, p, end, canvas);
        }
    }
}

} // namespace cw::bmp
