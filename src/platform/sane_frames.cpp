#include "platform/sane_frames.h"

#include <cstddef>
#include <cstring>

namespace cw {

namespace {

int channelsOf(FrameFormat f) { return f == FrameFormat::Rgb ? 3 : 1; }

// Sample i of a line of one-sample pixels as 0..255.
inline uint32_t sampleAt(const uint8_t* line, size_t i, int depth) {
    if (depth == 8) return line[i];
    if (depth == 16) {
        uint16_t v;
        std::memcpy(&v, line + 2 * i, sizeof v);
        return v >> 8;
    }
    return ((line[i >> 3] >> (7 - (i & 7))) & 1u) ? 255u : 0u;
}

// Channel c of pixel x of an RGB line. Colour lineart comes in groups of
// eight pixels: a byte of their red bits, one of green, one of blue.
inline uint32_t rgbSampleAt(const uint8_t* line, size_t x, size_t c, int depth) {
    if (depth != 1) return sampleAt(line, x * 3 + c, depth);
    return ((line[(x >> 3) * 3 + c] >> (7 - (x & 7))) & 1u) ? 255u : 0u;
}

} // namespace

bool frameLayoutValid(const FrameLayout& f) {
    if (f.depth != 1 && f.depth != 8 && f.depth != 16) return false;
    if (f.width < 1 || f.bytesPerLine < 1) return false;
    const uint64_t channels = uint64_t(channelsOf(f.format));
    const uint64_t needed = f.depth == 1 ? channels * ((uint64_t(f.width) + 7) / 8)
                                         : uint64_t(f.width) * channels * uint64_t(f.depth) / 8;
    return uint64_t(f.bytesPerLine) >= needed;
}

bool convertFrame(const FrameLayout& f, const uint8_t* data, int32_t rows, Bitmap& into) {
    if (!frameLayoutValid(f) || rows < 0 || !data || into.width() < f.width || into.height() < rows) return false;
    for (int32_t y = 0; y < rows; ++y) {
        const uint8_t* line = data + size_t(y) * size_t(f.bytesPerLine);
        uint32_t* out = into.row(y);
        switch (f.format) {
        case FrameFormat::Gray:
            for (int32_t x = 0; x < f.width; ++x) {
                uint32_t v = sampleAt(line, size_t(x), f.depth);
                if (f.depth == 1) v = 255 - v;  // lineart: a set bit is black
                out[x] = rgb(v, v, v);
            }
            break;
        case FrameFormat::Rgb:
            for (int32_t x = 0; x < f.width; ++x) {
                const size_t i = size_t(x);
                out[x] = rgb(rgbSampleAt(line, i, 0, f.depth), rgbSampleAt(line, i, 1, f.depth),
                             rgbSampleAt(line, i, 2, f.depth));
            }
            break;
        case FrameFormat::Red:
        case FrameFormat::Green:
        case FrameFormat::Blue: {
            const int shift = f.format == FrameFormat::Red ? 16 : f.format == FrameFormat::Green ? 8 : 0;
            const uint32_t keep = ~(0xffu << shift);
            for (int32_t x = 0; x < f.width; ++x)
                out[x] = 0xff000000u | (out[x] & keep) | (sampleAt(line, size_t(x), f.depth) << shift);
            break;
        }
        }
    }
    return true;
}

} // namespace cw
