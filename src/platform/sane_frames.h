#pragma once
// The frames a SANE device sends, and how their samples become pixels.
#include <cstdint>

#include "core/bitmap.h"

namespace cw {

// The layout of one SANE frame.
enum class FrameFormat { Gray, Rgb, Red, Green, Blue };
struct FrameLayout {
    FrameFormat format = FrameFormat::Gray;
    int depth = 8;              // bits per sample: 1, 8 or 16
    int32_t width = 0;          // pixels per line
    int32_t bytesPerLine = 0;   // at least what width and depth need
};
bool frameLayoutValid(const FrameLayout& f);

// Whether a frame is one band of a three-pass scan, and its bit in a set of
// the bands received (0 for a whole-pixel frame).
inline bool isBand(FrameFormat f) { return f == FrameFormat::Red || f == FrameFormat::Green || f == FrameFormat::Blue; }
inline unsigned bandBit(FrameFormat f) {
    return f == FrameFormat::Red ? 1u : f == FrameFormat::Green ? 2u : f == FrameFormat::Blue ? 4u : 0u;
}

// Converts `rows` rows of frame data into `into` (at least width x rows).
// Gray and RGB frames set whole pixels; a Red, Green or Blue frame of a
// three-pass scan sets its own channel only. Gray samples of depth 1 are
// lineart: 1 is black; RGB lineart holds each group of eight pixels as a
// red, a green and a blue byte. 16-bit samples are in host order. Returns false,
// touching nothing, when the layout is invalid or `into` too small.
bool convertFrame(const FrameLayout& f, const uint8_t* data, int32_t rows, Bitmap& into);

} // namespace cw
