#include "core/tone_fill.h"

#include <algorithm>
#include <array>

#include "core/colour_mag.h"
#include "core/helper_threads.h"
#include "core/pixel_painters.h"
#include "core/progress.h"

namespace cw {

namespace {

using detail::InteractivePaint;
using detail::MaskedPaint;

// PaintLimitRect clipped to the picture; inclusive.
struct Clip {
    int32_t x1, y1, x2, y2;
    bool empty() const { return x2 < x1 || y2 < y1; }
};

// Levels painted together, strip by strip: a cache line holds pixels of
// many neighbouring levels, and a grainy picture mixes them finely.
constexpr int kChunkLevels = 16;

// Rows per strip: the strip's pixels (four words and a code byte each) stay
// in the core's cache while all levels of a chunk are walked over it.
int32_t stripRows(int32_t width) {
    constexpr size_t kStripBytes = size_t(256) << 10;
    return int32_t(std::max<size_t>(1, kStripBytes / (size_t(width) * 13)));
}

// Pixels of one level that all take the same colour: three stores each,
// with locals only, as the code stores may alias anything. Clipped, the
// columns x1..x2 of each row only, the row starting at rowStart.
template <bool Overwrite, bool Clipped>
const uint32_t* paintOneColour(const uint32_t* p, const uint32_t* e, uint32_t stop, uint32_t v, uint32_t* colour,
                               uint32_t* display, int8_t* codes, int8_t code, uint32_t w, uint32_t x1, uint32_t x2,
                               uint32_t rowStart) {
    constexpr ptrdiff_t kAhead = 16;
    for (; p != e && *p < stop; ++p) {
        if (e - p > kAhead) {
            __builtin_prefetch(codes + p[kAhead], 1);
            __builtin_prefetch(colour + p[kAhead], 1);
            __builtin_prefetch(display + p[kAhead], 1);
        }
        const uint32_t i = *p;
        if constexpr (Clipped) {
            if (i - rowStart >= w) rowStart = i / w * w;
            const uint32_t x = i - rowStart;
            if (x < x1 || x > x2) continue;
        }
        if constexpr (!Overwrite) {
            if (!isUnpaintedCode(codes[i])) continue;
        }
        colour[i] = v;
        display[i] = v;
        codes[i] = code;
    }
    return p;
}

// Paints the pixels of levels first..last that lie inside `clip`. Each
// bucket is row-major, so a strip of rows is one contiguous run of it and
// the row number changes only forwards.
template <bool Overwrite, class Paint>
void paintLevels(const Workspace& ws, int first, int last, const Clip& clip, uint32_t seed, Paint& paint) {
    if (clip.empty()) return;
    const uint32_t w = uint32_t(ws.width);
    const bool fullWidth = clip.x1 == 0 && clip.x2 == ws.width - 1;
    int8_t* const codes = ws.codes.get();
    std::array<const uint32_t*, 256> next{}, end{};
    for (int l = first; l <= last; ++l) {
        next[size_t(l)] = std::lower_bound(ws.bucketBegin(l), ws.bucketEnd(l), uint32_t(clip.y1) * w);
        end[size_t(l)] = std::lower_bound(next[size_t(l)], ws.bucketEnd(l), uint32_t(clip.y2 + 1) * w);
    }
    const int32_t rows = stripRows(ws.width);
    constexpr ptrdiff_t kAhead = 16;
    for (int32_t top = clip.y1; top <= clip.y2; top += rows) {
        const uint32_t stop = uint32_t(std::min<int64_t>(int64_t(top) + rows, clip.y2 + 1)) * w;
        for (int l = first; l <= last; ++l) {
            const uint32_t* p = next[size_t(l)];
            const uint32_t* const e = end[size_t(l)];
            if (p == e || *p >= stop) continue;
            auto level = paint.forLevel(l);
            // Once a level's colour is known, the rest takes the short walk.
            // It may paint the seed again, with the same colour: a level has
            // one colour only where nothing merges.
            constexpr bool kMayKnow = requires { level.known; };
            int32_t y = int32_t(*p / w);
            uint32_t rowStart = uint32_t(y) * w;
            for (; p != e && *p < stop; ++p) {
                if constexpr (kMayKnow) {
                    if (level.known) break;
                }
                if (e - p > kAhead) {
                    __builtin_prefetch(codes + p[kAhead], 1);
                    level.prefetch(p[kAhead]);
                }
                const uint32_t i = *p;
                if (i - rowStart >= w) {
                    y = int32_t(i / w);
                    rowStart = uint32_t(y) * w;
                }
                const int32_t x = int32_t(i - rowStart);
                if (!fullWidth && (x < clip.x1 || x > clip.x2)) continue;
                if (i == seed) continue;
                if constexpr (!Overwrite) {
                    if (!isUnpaintedCode(codes[i])) continue;
                }
                level(i, x, y);
            }
            if constexpr (kMayKnow) {
                if (level.known && p != e && *p < stop) {
                    const uint32_t x1 = uint32_t(clip.x1), x2 = uint32_t(clip.x2);
                    p = fullWidth ? paintOneColour<Overwrite, false>(p, e, stop, level.value, level.colour,
                                                                     level.display, codes, level.code, w, x1, x2, 0)
                                  : paintOneColour<Overwrite, true>(p, e, stop, level.value, level.colour,
                                                                    level.display, codes, level.code, w, x1, x2,
                                                                    rowStart);
                }
            }
            next[size_t(l)] = p;
        }
    }
}

// Where what a pixel is painted with depends on nothing but that pixel
// (its source, colour and code) and settings that the painting never
// changes, the band's levels can be painted in one pass over the rows, in
// picture order: every pixel ends as walking the levels one by one leaves
// it. That holds for every palette: those that turn merging on (Custom,
// Clear, the Make-up marker) turn it on before they colour even the first
// pixel, so every pixel is coloured alike. On a picture with the level
// index, the pass pays once the band holds a good part of the area, and
// up to kOnePassPixels only: a larger one would hold an Abort too long.

bool passPays(const Workspace& ws, const ToneBand& band, const Clip& clip) {
    if (clip.empty()) return false;
    const size_t area = size_t(clip.x2 - clip.x1 + 1) * size_t(clip.y2 - clip.y1 + 1);
    const size_t inBand = ws.bucketStart[size_t(band.hi) + 1] - ws.bucketStart[size_t(band.lo)];
    return area <= kOnePassPixels && inBand * 8 >= area;
}

// Rows y1..y2 of the pass: the pixels of the levels `wanted` marks are
// painted by paint(i, x, y, source pixel, level), which returns the colour.
template <bool Overwrite, class Paint>
void paintRows(Workspace& ws, const Clip& clip, int32_t y1, int32_t y2, const std::array<uint8_t, 256>& wanted,
               Paint& paint, int8_t code) {
    const size_t w = size_t(ws.width);
    const uint32_t* const src = ws.source.data();
    uint32_t* const colour = ws.colour.data();
    uint32_t* const display = ws.display.data();
    int8_t* const codes = ws.codes.get();
    for (int32_t y = y1; y <= y2; ++y) {
        const size_t row = size_t(y) * w;
        for (int32_t x = clip.x1; x <= clip.x2; ++x) {
            const size_t i = row + size_t(x);
            const uint32_t s = src[i];
            const uint32_t g = grayOf(s);
            if (!wanted[g]) continue;
            if constexpr (!Overwrite) {
                if (!isUnpaintedCode(codes[i])) continue;
            }
            const uint32_t v = paint(i, x, y, s, g);
            colour[i] = v;
            display[i] = v;
            codes[i] = code;
        }
    }
}

// Levels first..last in one pass, on two threads where they may run (and
// `twoThreads`: painting changes no setting). The walk leaves the seed as
// its first paint left it, and so does this.
template <bool Overwrite, class Paint>
void paintPass(Workspace& ws, int first, int last, const Clip& clip, uint32_t seed, const Paint& paint, int8_t code,
               bool twoThreads) {
    std::array<uint8_t, 256> wanted{};
    for (int l = first; l <= last; ++l) wanted[size_t(l)] = 1;
    const uint32_t seedColour = ws.colour.data()[seed], seedDisplay = ws.display.data()[seed];
    const int8_t seedCode = ws.codes[seed];
    // Two threads take alternate blocks of rows: each gets about half of
    // the band however its pixels lie.
    constexpr int32_t kBlockRows = 32;
    // Each thread paints with a copy of its own.
    inTwoShares(twoThreads && clip.y2 - clip.y1 + 1 >= 2 * kBlockRows, [&](int32_t share, int32_t shares) {
        Paint own = paint;
        for (int32_t y = clip.y1 + share * kBlockRows; y <= clip.y2; y += shares * kBlockRows)
            paintRows<Overwrite>(ws, clip, y, std::min(clip.y2, y + kBlockRows - 1), wanted, own, code);
    });
    ws.colour.data()[seed] = seedColour;
    ws.display.data()[seed] = seedDisplay;
    ws.codes[seed] = seedCode;
}

template <bool Overwrite>
void passLevels(Workspace& ws, int first, int last, const Clip& clip, uint32_t seed, detail::MaskedPaint& paint) {
    const int32_t marker = paint.marker;
    paintPass<Overwrite>(ws, first, last, clip, seed,
                         [marker](size_t, int32_t, int32_t, uint32_t s, uint32_t) { return maskedPixel(s, marker); },
                         paint.code, true);
}

// ColourMag for each pixel, but where a pixel's colour is still its source
// and that source is one already coloured at its level (every pixel of a
// level, in a gray photo), the colour it gave then.
template <bool Overwrite>
void passLevels(Workspace& ws, int first, int last, const Clip& clip, uint32_t seed, detail::InteractivePaint& paint) {
    const int8_t code = int8_t(uint8_t(paint.code));
    if (!paint.independent()) {
        const ColourMagContext& ctx = paint.ctx;
        const uint32_t* const colour = ws.colour.data();
        auto painter = [&ctx, colour, code = paint.code](size_t i, int32_t x, int32_t y, uint32_t, uint32_t) {
            colourMag(ctx, code, x, y);
            return colour[i];
        };
        return paintPass<Overwrite>(ws, first, last, clip, seed, painter, code, false);
    }
    // Each thread's copy of the painter remembers colours of its own.
    auto painter = [own = paint](size_t i, int32_t x, int32_t y, uint32_t s, uint32_t g) mutable {
        return own.colourOf(i, x, y, s, g);
    };
    paintPass<Overwrite>(ws, first, last, clip, seed, painter, code, true);
}

template <bool Overwrite, class Paint>
Rect fill(Workspace& ws, const ToneFillParams& params, Progress& progress, Paint& paint) {
    const int32_t x = params.x, y = params.y;
    WindowLock windows(progress);
    progress.begin(kTouchPaintPhase, {.hideGauge = true, .hideGaugeText = true});

    const int32_t step = std::max<int32_t>(1, params.grayStep);
    const uint32_t seed = uint32_t(y) * uint32_t(ws.width) + uint32_t(x);
    const int32_t gray = int32_t(grayOf(ws.source.data()[seed]));
    ws.curPixelIndex = int32_t(seed);
    if (Overwrite || isUnpaintedCode(ws.codes[seed])) paint(seed, x, y);
    paint.decideLevelOnly();

    const ToneBand band = toneBand(gray, step, params.tolerance);
    const Rect& limit = params.limit;
    const Clip clip{std::max(limit.x1, 0), std::max(limit.y1, 0), std::min(limit.x2, ws.width - 1),
                    std::min(limit.y2, ws.height - 1)};
    // One poll per level, each standing for the end of its level: the polls
    // of a chunk are asked before its levels are painted together, and the
    // level whose poll finds an abort is the last one painted. So an abort
    // leaves exactly the levels lo .. L, as a poll after each level would.
    // Without the level index every chunk is a pass over the rows: where
    // painting is independent() the whole band is one chunk, on two threads.
    const bool passes = !ws.bucketIndex || (paint.independent() && passPays(ws, band, clip));
    const int chunkLevels = passes && paint.independent() ? 256 : kChunkLevels;
    bool aborted = false;
    for (int first = band.lo; first <= band.hi && !aborted;) {
        int last = std::min(band.hi, first + chunkLevels - 1);
        for (int l = first; l <= last; ++l)
            if (progress.pollWithClock()) {
                last = l;
                aborted = true;
                break;
            }
        if (!passes) paintLevels<Overwrite>(ws, first, last, clip, seed, paint);
        else if (!clip.empty()) passLevels<Overwrite>(ws, first, last, clip, seed, paint);
        first = last + 1;
    }

    Rect changed{x, y, x + 1, y + 1};
    if (!clip.empty())
        changed = {std::min(x, clip.x1), std::min(y, clip.y1), std::max(x + 1, clip.x2 + 1),
                   std::max(y + 1, clip.y2 + 1)};
    progress.end();
    ws.imageModified = true;
    return changed;
}

bool onPicture(const Workspace& ws, int32_t x, int32_t y) { return x >= 0 && y >= 0 && x < ws.width && y < ws.height; }

// Both kinds in one body: as functions of their own, the compiler stops
// inlining the level walk into the Mask'ed fill, whose painter then reloads
// its pointers at every pixel, half as slow again.
Rect paintBand(Workspace& ws, const ToneFillParams& params, int32_t markerColour, const ColourMagContext* ctx,
               Progress& progress) __attribute__((noinline));
Rect paintBand(Workspace& ws, const ToneFillParams& params, int32_t markerColour, const ColourMagContext* ctx,
               Progress& progress) {
    if (!onPicture(ws, params.x, params.y)) return {};
    if (!ctx) {
        MaskedPaint paint{ws.colour.data(), ws.display.data(), ws.codes.get(),
                          ws.source.data(), markerColour,      int8_t(uint8_t(params.code))};
        if (params.overwrite) return fill<true>(ws, params, progress, paint);
        return fill<false>(ws, params, progress, paint);
    }
    InteractivePaint paint{*ctx, ws.colour.data(), ws.display.data(), ws.codes.get(), params.code, !params.overwrite};
    if (params.overwrite) return fill<true>(ws, params, progress, paint);
    return fill<false>(ws, params, progress, paint);
}

} // namespace

ToneBand toneBand(int32_t gray, int32_t grayStep, int32_t tolerance) {
    const int32_t s = std::max<int32_t>(1, grayStep);
    const int32_t q = gray / s * s;
    ToneBand band{q, q};
    for (int32_t n = q; n <= 255; ++n) {
        if (n / s * s - q > tolerance) break;
        band.hi = n;
    }
    for (int32_t n = q; n >= 0; --n) {
        if (q - n / s * s > tolerance) break;
        band.lo = n;
    }
    return band;
}

Rect toneFillMasked(Workspace& ws, const ToneFillParams& params, int32_t markerColour, Progress& progress) {
    return paintBand(ws, params, markerColour, nullptr, progress);
}

Rect toneFillInteractive(const ColourMagContext& ctx, const ToneFillParams& params, Progress& progress) {
    return paintBand(ctx.ws, params, 0, &ctx, progress);
}

} // namespace cw
