#pragma once
// Image-wide Magic Touch-paint: one click paints every pixel whose gray level
// lies in the clicked pixel's tone band, wherever it is. Only the gray
// buckets of the band are visited, never the whole picture.
#include <array>
#include <cstdint>

#include "core/colour_mag.h"
#include "core/bitmap.h"
#include "core/rect.h"
#include "core/workspace.h"

namespace cw {

class Progress;

inline constexpr const char* kTouchPaintPhase = "Executing Touch-paint....";

// The Mask'ed tint: the source pixel with its red, green and blue bytes XORed
// with those of the marker colour (0x00BBGGRR; only its low 24 bits count,
// so the Make-up marker -1 complements the pixel).
constexpr uint32_t maskedPixel(uint32_t source, int32_t markerColour) {
    return source ^ (fromBGR(markerColour) & 0x00ffffffu);
}

namespace detail {
// How the Touch-paint fills paint one pixel (index i at (x, y)), including
// the copy to the displayed picture.
struct MaskedPaint {
    uint32_t* colour;
    uint32_t* display;
    int8_t* codes;
    const uint32_t* source;
    int32_t marker;
    int8_t code;
    void decideLevelOnly() {}
    void beginLevel(int) {}
    void prefetch(uint32_t i) const {
        __builtin_prefetch(source + i, 0);
        __builtin_prefetch(colour + i, 1);
        __builtin_prefetch(display + i, 1);
    }
    void operator()(uint32_t i, int32_t, int32_t) const {
        const uint32_t v = maskedPixel(source[i], marker);
        colour[i] = v;
        display[i] = v;
        codes[i] = code;
    }
    // Pixels x0..x1 - 1 of row y, the first at index i.
    void run(uint32_t i, int32_t x0, int32_t x1, int32_t) const {
        // Locals: the code stores could otherwise alias the members.
        uint32_t* const c = colour;
        uint32_t* const d = display;
        int8_t* const k = codes;
        const uint32_t* const src = source;
        const int32_t m = marker;
        const int8_t b = code;
        for (int32_t x = x0; x < x1; ++x, ++i) {
            const uint32_t v = maskedPixel(src[i], m);
            c[i] = v;
            d[i] = v;
            k[i] = b;
        }
    }
};

// ColourMag for each pixel. Where its result provably depends on the gray
// level alone (a palette network with no merging, and no brush skip rule),
// the first pixel of a level walked by the image-wide fill is coloured by
// ColourMag and the level's other pixels take the same colour.
struct InteractivePaint {
    const ColourMagContext& ctx;
    uint32_t* colour;
    uint32_t* display;
    int8_t* codes;
    int32_t code;
    bool levelOnly = false;
    int level = -1;  // the level being walked, when levelOnly
    std::array<uint32_t, 256> levelColour{};
    std::array<bool, 256> levelKnown{};
    bool runDecided = false;
    const uint32_t* runTable = nullptr;
    const uint32_t* runSource = nullptr;

    void decideLevelOnly() {
        const bool skipRule = ctx.tools.currentTool == kToolBrush && !ctx.tools.overwrite;
        levelOnly = uint32_t(code) < ctx.tables.kind.size() && ctx.tables.kind[size_t(code)] == PaletteKind::Table &&
                    !detail::merging(ctx) && !skipRule;
    }
    void beginLevel(int l) { level = levelOnly ? l : -1; }
    void prefetch(uint32_t i) const {
        __builtin_prefetch(colour + i, 1);
        __builtin_prefetch(display + i, 1);
    }
    void operator()(uint32_t i, int32_t x, int32_t y) {
        if (level >= 0 && levelKnown[size_t(level)]) {
            colour[i] = levelColour[size_t(level)];
        } else {
            colourMag(ctx, code, x, y);
            if (level >= 0) {
                levelColour[size_t(level)] = colour[i];
                levelKnown[size_t(level)] = true;
            }
        }
        display[i] = colour[i];
        codes[i] = int8_t(uint8_t(code));
    }
    // Pixels x0..x1 - 1 of row y, the first at index i: in the common case
    // a table read each. The choice is made once per fill, on the first run:
    // nothing it depends on changes while a fill runs (the windows are
    // locked, and a code that turns merging on never has a plain table).
    void run(uint32_t i, int32_t x0, int32_t x1, int32_t y) {
        if (!runDecided) {
            const bool skipRule = ctx.tools.currentTool == kToolBrush && !ctx.tools.overwrite;
            runTable = skipRule ? nullptr : detail::plainTable(ctx, code);
            runSource = ctx.ws.source.data();
            runDecided = true;
        }
        const uint32_t* const table = runTable;
        if (!table) {
            for (int32_t x = x0; x < x1; ++x, ++i) (*this)(i, x, y);
            return;
        }
        // Locals: the code stores could otherwise alias the members.
        const uint32_t* const source = runSource;
        uint32_t* const col = colour;
        uint32_t* const dis = display;
        int8_t* const cod = codes;
        const int8_t c = int8_t(uint8_t(code));
        for (int32_t x = x0; x < x1; ++x, ++i) {
            const uint32_t v = table[grayOf(channelsOf(source[i]))];
            col[i] = v;
            dis[i] = v;
            cod[i] = c;
        }
    }
};
} // namespace detail

// Gray levels lo..hi, inclusive.
struct ToneBand {
    int32_t lo = 0, hi = 0;
    bool operator==(const ToneBand&) const = default;
};

// The band of an image-wide fill from a pixel of gray level `gray`: every
// level whose bucket (of width grayStep) has its base within `tolerance` of
// the base of the seed's bucket, both ends inclusive. Always holds the base
// of the seed's bucket, and whole buckets only.
ToneBand toneBand(int32_t gray, int32_t grayStep, int32_t tolerance);

// What an image-wide fill is asked to do.
struct TouchPaintParams {
    int32_t x = 0, y = 0;    // the clicked pixel, whose tone sets the band
    int32_t code = 0;        // the palette code painted
    bool overwrite = false;  // false: only pixels with codes 0 and 127 are painted
    int32_t grayStep = 1;    // the width of a gray bucket; below 1 counts as 1
    int32_t tolerance = 0;   // IntegrationTolerance
    Rect limit;              // PaintLimitRect, inclusive
};

// The image-wide fill from the clicked pixel with palette `code`. Pixels
// outside `limit` are left alone, except the seed itself. Polls for abort
// after each gray level; `progress` is locked throughout. Returns what it
// may have changed of the colour and display pictures, x2 and y2 exclusive:
// the seed's pixel and the limit clipped to the picture, together. A seed
// off the picture has no tone to compare with: nothing is done, and the
// rectangle is empty (all zero).
//
// Mask'ed: tints with `markerColour` and records the code.
Rect touchPaintMasked(Workspace& ws, const TouchPaintParams& params, int32_t markerColour, Progress& progress);
// Interactive: colours with ColourMag in the context's workspace.
Rect touchPaintInteractive(const ColourMagContext& ctx, const TouchPaintParams& params, Progress& progress);

} // namespace cw
