#pragma once
// Inside the core only: how the Touch-paint fills paint one pixel or a run
// of them, shared by the image-wide and the connected fill.
#include <array>
#include <cstdint>

#include "core/colour_mag.h"
#include "core/tone_fill.h"

namespace cw {

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
    // What a pixel is painted with depends on that pixel alone, and painting
    // changes no setting: pixels may be painted in any order, on any thread.
    bool independent() const { return true; }
    void decideLevelOnly() {}
    void prefetch(uint32_t i) const {
        __builtin_prefetch(source + i, 0);
        __builtin_prefetch(colour + i, 1);
        __builtin_prefetch(display + i, 1);
    }
    // The painter for one level of the image-wide walk: a copy, so that its
    // fields stay in registers across the code stores (which may alias).
    MaskedPaint forLevel(int) const { return *this; }
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
// level alone (a palette network with no merging, and no same-code skip),
// the first pixel of a level walked by the image-wide fill is coloured by
// ColourMag and the level's other pixels take the same colour.
struct InteractivePaint {
    const ColourMagContext& ctx;
    uint32_t* colour;
    uint32_t* display;
    int8_t* codes;
    int32_t code;
    // The fill paints only pixels of the codes no palette gave (0 and the
    // original's): a pixel of the painted code is then never met, unless
    // the code is one of those.
    bool onlyUnpainted = false;
    bool levelOnly = false;
    int level = -1;  // the level being walked, when levelOnly
    std::array<uint32_t, 256> levelColour{};
    std::array<bool, 256> levelKnown{};
    bool runDecided = false;
    bool runRemembers = false;
    const uint32_t* runTable = nullptr;
    const uint32_t* runSource = nullptr;
    // The colours given to pixels whose colour was still their source, by
    // that source pixel (one a gray level in a gray photo).
    struct Remembered {
        std::array<uint32_t, 256> source{}, value{};
        std::array<uint8_t, 256> held{};
    } remembered{};

    // Paints pixel i (at x, y) with ColourMag and returns its colour. Only
    // where painting is independent(): a pixel whose colour is still its
    // source then takes the colour remembered for that source, if any.
    // `s` is its source pixel, `g` that pixel's gray level.
    uint32_t colourOf(size_t i, int32_t x, int32_t y, uint32_t s, uint32_t g) {
        const bool plain = colour[i] == s && !(ctx.rules.skipSameCode && codes[i] == code);
        if (plain && remembered.held[g] && remembered.source[g] == s) return remembered.value[g];
        colourMag(ctx, code, x, y);
        if (plain) remembered.source[g] = s, remembered.value[g] = colour[i], remembered.held[g] = 1;
        return colour[i];
    }

    // A palette of the gray level alone never changes the settings as it
    // paints (Custom and Clear turn merging on; so does the Make-up marker).
    bool independent() const {
        return uint32_t(code) < ctx.tables.kind.size() && ctx.tables.kind[size_t(code)] == PaletteKind::Table &&
               ctx.selection.markerColour != kMarkerMerge;
    }
    // Whether the rules' skip of a pixel of the same code can apply where
    // it matters: a code with a table is never one of the unpainted ones.
    bool sameCodeMet() const { return ctx.rules.skipSameCode && !onlyUnpainted; }
    void decideLevelOnly() {
        levelOnly = uint32_t(code) < ctx.tables.kind.size() && ctx.tables.kind[size_t(code)] == PaletteKind::Table &&
                    !detail::merging(ctx) && !sameCodeMet();
    }
    void prefetch(uint32_t i) const {
        __builtin_prefetch(colour + i, 1);
        __builtin_prefetch(display + i, 1);
    }
    // The painter for level l of the image-wide walk. It lives in the walk's
    // own frame, so its fields stay in registers across the code stores
    // (which may alias anything). When the level has one colour, `known`
    // and `value` say it once a pixel has been coloured, and the walk paints
    // the level's other pixels itself.
    struct Level {
        InteractivePaint& owner;
        uint32_t* colour;
        uint32_t* display;
        int8_t* codes;
        int8_t code;
        bool known;
        uint32_t value;
        void prefetch(uint32_t i) const {
            __builtin_prefetch(colour + i, 1);
            __builtin_prefetch(display + i, 1);
        }
        void operator()(uint32_t i, int32_t x, int32_t y) {
            owner(i, x, y);
            if (owner.level >= 0) {
                known = true;
                value = colour[i];
            }
        }
    };
    Level forLevel(int l) {
        level = levelOnly ? l : -1;
        const bool known = level >= 0 && levelKnown[size_t(l)];
        return {*this, colour, display, codes, int8_t(uint8_t(code)), known, known ? levelColour[size_t(l)] : 0u};
    }
    void operator()(uint32_t i, int32_t x, int32_t y) {
        colourMag(ctx, code, x, y);
        if (level >= 0) {
            levelColour[size_t(level)] = colour[i];
            levelKnown[size_t(level)] = true;
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
            runTable = sameCodeMet() ? nullptr : detail::plainTable(ctx, code);
            runRemembers = independent();
            runSource = ctx.ws.source.data();
            runDecided = true;
        }
        const uint32_t* const table = runTable;
        if (!table && runRemembers) {
            // colourOf, with what it reads once a run in locals.
            const uint32_t* const source = runSource;
            uint32_t* const col = colour;
            uint32_t* const dis = display;
            int8_t* const cod = codes;
            const int8_t c = int8_t(uint8_t(code));
            const bool skip = ctx.rules.skipSameCode;
            for (int32_t x = x0; x < x1; ++x, ++i) {
                const uint32_t s = source[i];
                const uint32_t g = grayOf(s);
                const bool known = col[i] == s && !(skip && int32_t(cod[i]) == code) && remembered.held[g] &&
                                   remembered.source[g] == s;
                const uint32_t v = known ? remembered.value[g] : colourOf(i, x, y, s, g);
                col[i] = v;
                dis[i] = v;
                cod[i] = c;
            }
            return;
        }
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

} // namespace cw
