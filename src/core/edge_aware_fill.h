#pragma once
// The edge-aware fill of finish-up: every uncoloured pixel takes the code of
// the coloured region it is joined to across the weakest edges of the photo.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/colour_mag.h"

namespace cw {

class Progress;

// A marker-controlled watershed. The markers are the coloured pixels (codes
// 1..126); each region grows by the cheapest move there is, a move costing
// the step of the gray levels across it, taken after a light smoothing and
// less the picture's own noise, so that noise and film grain do not decide
// where a region ends. Each uncoloured pixel (code 0 or 127) is reached from
// one coloured region, whose code it takes.
class EdgeAwareFill {
public:
    // Keeps a region label per pixel: two bytes a pixel while the pass runs.
    // Throws std::bad_alloc before anything is written.
    explicit EdgeAwareFill(const ColourMagContext& ctx);

    // Finds every pixel's region; writes nothing to the picture or its
    // codes. Reports progress from `from` to `to` percent and polls for
    // Abort; false when Abort was pressed. Throws std::bad_alloc.
    bool grow(Progress& progress, int from, int to);

    // Colours the uncoloured pixels of row y that a region reached, in
    // row-major order, each with its region's code through ColourMag at its
    // own gray level, and marks them with the negated code as the designed
    // fill does. A stroke of a Custom colour lends its own colour, since the
    // Custom colour of the palette selection is one for the whole picture.
    void fillRow(PlainTableCache& tables, int32_t y);

    // The code pixel i was reached with, 0 for none; valid after grow().
    int8_t codeOf(size_t i) const;

private:
    // A connected stroke of Custom colour: its mean colour and gray level.
    struct CustomStroke {
        Rgb colour;
        int32_t gray;
    };
    // Labels 1..127 are codes; from kFirstStroke on, Custom strokes.
    static constexpr uint16_t kFirstStroke = 128;

    void labelCustomStrokes();

    const ColourMagContext& ctx_;
    std::unique_ptr<uint16_t[]> labels_;
    std::vector<CustomStroke> strokes_;
};

} // namespace cw
