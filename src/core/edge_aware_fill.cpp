#include "core/edge_aware_fill.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

#include "core/effects.h"
#include "core/natural_light.h"
#include "core/progress.h"

namespace cw {

namespace {

// The smoothing: weights 1 2 3 2 1 across and down (a box of three taken
// twice), enough to quiet film grain while a step stays a few pixels wide.
constexpr int32_t kRadius = 2;
constexpr int32_t kSide = 2 * kRadius + 1;
constexpr int32_t kWeights[kSide] = {1, 2, 3, 2, 1};
constexpr int32_t kWeightSum = 9;
// The steps a move is judged across: two pixels, so that a step the
// smoothing spread over several pixels still shows.
constexpr int32_t kSpan = 2;

inline bool isVoter(int8_t c) { return c >= 1 && c <= 126; }

// The smoothed gray levels of the picture. Rows of the smoothing are kept in
// rings, so the only picture-sized array is the result. Returns the level of
// the picture's noise, two and a half times the median difference across
// kSpan pixels (most of a picture lies inside its regions, so the median is
// the grain's, however many edges there are), or -1 when Abort was pressed.
int32_t smoothedLevels(const Workspace& ws, uint8_t* out, Progress& progress, int from, int to) {
    const int32_t w = ws.width, h = ws.height;
    std::vector<uint16_t> across(size_t(kSide) * size_t(w));  // weighted sums across, by row mod kSide
    auto acrossRow = [&](int32_t y) { return across.data() + size_t(y % kSide) * size_t(w); };
    // A row's gray levels with its end pixels repeated kRadius times.
    std::vector<uint8_t> padded(size_t(w) + 2 * kRadius);
    std::array<int64_t, 256> histogram{};
    int64_t counted = 0;

    auto makeAcross = [&](int32_t y) {
        const uint32_t* src = ws.source.row(y);
        uint8_t* gray = padded.data() + kRadius;
        for (int32_t x = 0; x < w; ++x) gray[x] = uint8_t(grayOf(channelsOf(src[x])));
        for (int32_t d = 1; d <= kRadius; ++d) gray[-d] = gray[0], gray[w - 1 + d] = gray[w - 1];
        uint16_t* row = acrossRow(y);
        for (int32_t x = 0; x < w; ++x) {
            uint32_t sum = 0;
            for (int32_t k = 0; k < kSide; ++k) sum += uint32_t(kWeights[k]) * gray[x + k - kRadius];
            row[x] = uint16_t(sum);
        }
    };
    auto makeSmooth = [&](int32_t y) {
        const uint16_t* a[kSide];
        for (int32_t d = -kRadius; d <= kRadius; ++d) a[d + kRadius] = acrossRow(std::clamp(y + d, 0, h - 1));
        uint8_t* row = out + size_t(y) * size_t(w);
        constexpr uint32_t total = kWeightSum * kWeightSum;
        for (int32_t x = 0; x < w; ++x) {
            uint32_t sum = 0;
            for (int32_t k = 0; k < kSide; ++k) sum += uint32_t(kWeights[k]) * a[k][x];
            row[x] = uint8_t((sum + total / 2) / total);
        }
        // Every eighth row is enough to tell the noise.
        if (y % 8 == 0) {
            for (int32_t x = 0; x + kSpan < w; ++x) ++histogram[size_t(std::abs(row[x + kSpan] - row[x]))];
            counted += std::max(w - kSpan, 0);
        }
    };

    for (int32_t y = 0; y < std::min(kRadius, h); ++y) makeAcross(y);
    for (int32_t y = 0; y < h; ++y) {
        if (progress.poll()) return -1;
        progress.report(from + int(int64_t(y) * (to - from) / h));
        if (y + kRadius < h) makeAcross(y + kRadius);
        makeSmooth(y);
    }

    int64_t below = 0;
    int32_t median = 0;
    while (median < 255 && (below += histogram[size_t(median)]) * 2 < counted) ++median;
    return std::min(5 * median / 2, 255);
}

} // namespace

EdgeAwareFill::EdgeAwareFill(const ColourMagContext& ctx)
    : ctx_(ctx), labels_(std::make_unique_for_overwrite<uint16_t[]>(ctx.ws.pixelCount())) {
    prefault(labels_.get(), ctx.ws.pixelCount() * sizeof(uint16_t));
}

int8_t EdgeAwareFill::codeOf(size_t i) const {
    const uint16_t l = labels_[i];
    return l >= kFirstStroke ? int8_t(kCodeCustom) : int8_t(l);
}

void EdgeAwareFill::labelCustomStrokes() {
    const Workspace& ws = ctx_.ws;
    const int32_t w = ws.width, h = ws.height;
    const size_t n = ws.pixelCount();
    const int8_t* codes = ws.codes.get();
    uint16_t* labels = labels_.get();
    std::vector<uint32_t> stack;
    for (size_t start = 0; start < n; ++start) {
        if (codes[start] != int8_t(kCodeCustom) || labels[start] != kCodeCustom) continue;
        // Past the labels there are, a stroke joins the last one.
        const uint16_t label = uint16_t(kFirstStroke + std::min<size_t>(strokes_.size(), 65535 - kFirstStroke));
        int64_t r = 0, g = 0, b = 0, gray = 0, count = 0;
        labels[start] = label;
        stack.assign(1, uint32_t(start));
        while (!stack.empty()) {
            const uint32_t i = stack.back();
            stack.pop_back();
            const Rgb c = channelsOf(ws.colour.data()[i]);
            r += c.r, g += c.g, b += c.b, ++count;
            gray += grayOf(channelsOf(ws.source.data()[i]));
            const int32_t x = int32_t(i % uint32_t(w)), y = int32_t(i / uint32_t(w));
            const auto join = [&](uint32_t j) {
                if (labels[j] == kCodeCustom) {
                    labels[j] = label;
                    stack.push_back(j);
                }
            };
            if (x > 0) join(i - 1);
            if (x + 1 < w) join(i + 1);
            if (y > 0) join(i - uint32_t(w));
            if (y + 1 < h) join(i + uint32_t(w));
        }
        const CustomStroke stroke{{int32_t(r / count), int32_t(g / count), int32_t(b / count)}, int32_t(gray / count)};
        if (label - kFirstStroke < int32_t(strokes_.size())) continue;  // joined the last
        strokes_.push_back(stroke);
    }
}

bool EdgeAwareFill::grow(Progress& progress, int from, int to) {
    const Workspace& ws = ctx_.ws;
    const int32_t w = ws.width, h = ws.height;
    const size_t n = ws.pixelCount();
    const int8_t* codes = ws.codes.get();
    uint16_t* labels = labels_.get();
    const int middle = from + (to - from) / 3;

    auto levels = std::make_unique_for_overwrite<uint8_t[]>(n);
    prefault(levels.get(), n);
    const int32_t noise = smoothedLevels(ws, levels.get(), progress, from, middle);
    if (noise < 0) return false;

    size_t voters = 0;
    for (size_t i = 0; i < n; ++i) {
        const int8_t c = codes[i];
        const bool voter = uint8_t(c - 1) < 126;
        labels[i] = voter ? uint16_t(c) : 0;
        voters += voter;
    }
    const size_t waiting = n - voters;  // uncoloured pixels, for the gauge
    labelCustomStrokes();

    // The flood takes the cheapest move there is, again and again: a move
    // from a pixel to its neighbour costs the step of the smoothed gray
    // levels across it (from the pixel to the one beyond the neighbour),
    // less the noise. So a region spreads along its own tones first, and
    // crosses an edge only where nothing cheaper is left. Moves of one cost
    // are taken first in, first out: regions that meet on a plateau grow a
    // ring a turn and share it by distance.
    struct Queue {
        std::vector<uint32_t> items;
        size_t head = 0;
    };
    std::array<Queue, 256> queue;
    int32_t lowest = 256;  // no queue below it holds a pixel
    const uint32_t width = uint32_t(w), last = uint32_t(n) - width;
    // Pixel `to`, a neighbour of `from` at offset `step`, takes the label of
    // `from` at once: the first move to reach a pixel owns it. `beyond`
    // says whether the pixel past `to` lies inside the picture.
    auto reach = [&](uint32_t from, uint32_t to, int32_t step, bool beyond) {
        labels[to] = labels[from];
        const uint32_t far = beyond ? uint32_t(int64_t(to) + step) : to;
        const int32_t cost = std::clamp(std::abs(int32_t(levels[far]) - int32_t(levels[from])) - noise, 0, 255);
        queue[size_t(cost)].items.push_back(to);
        lowest = std::min(lowest, cost);
    };
    const int32_t down = w;
    // Moves from pixel i at (x, y) to its unlabelled neighbours.
    auto spread = [&](uint32_t i, uint32_t x, uint32_t y) {
        if (x > 0 && labels[i - 1] == 0) reach(i, i - 1, -1, x > 1);
        if (x + 1 < width && labels[i + 1] == 0) reach(i, i + 1, 1, x + 2 < width);
        if (y > 0 && labels[i - width] == 0) reach(i, i - width, -down, y > 1);
        if (i < last && labels[i + width] == 0) reach(i, i + width, down, i + width < last);
    };

    // The coloured pixels start the flood.
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t rowStart = uint32_t(y) * width;
        for (int32_t x = 0; x < w; ++x)
            if (isVoter(codes[rowStart + uint32_t(x)])) spread(rowStart + uint32_t(x), uint32_t(x), uint32_t(y));
    }

    const double perRow = 1.0 / double(w);
    size_t reached = 0, nextPoll = 0;
    for (;;) {
        while (lowest < 256 && queue[size_t(lowest)].head == queue[size_t(lowest)].items.size()) {
            queue[size_t(lowest)].items.clear();
            queue[size_t(lowest)].head = 0;
            ++lowest;
        }
        if (lowest == 256) break;
        Queue& pending = queue[size_t(lowest)];
        const uint32_t i = pending.items[pending.head++];
        // The queue keeps only what is still to come.
        if (pending.head >= 0x10000 && pending.head * 2 >= pending.items.size()) {
            pending.items.erase(pending.items.begin(), pending.items.begin() + std::ptrdiff_t(pending.head));
            pending.head = 0;
        }
        // The row by a multiplication; the rounding is put right after.
        uint32_t y = uint32_t(double(i) * perRow);
        if (y * width > i) --y;
        else if ((y + 1) * width <= i) ++y;
        spread(i, i - y * width, y);
        if (++reached >= nextPoll) {
            nextPoll = reached + 0x10000;
            if (progress.poll()) return false;
            progress.report(middle + int(int64_t(std::min(reached, waiting)) * (to - middle) /
                                         int64_t(std::max<size_t>(waiting, 1))));
        }
    }
    return true;
}

void EdgeAwareFill::fillRow(PlainTableCache& tables, int32_t y) {
    Workspace& ws = ctx_.ws;
    const int32_t w = ws.width;
    const size_t rowStart = size_t(y) * size_t(w);
    int8_t* const row = ws.codes.get() + rowStart;
    uint32_t* const colour = ws.colour.data() + rowStart;
    const uint32_t* const source = ws.source.data() + rowStart;
    const uint16_t* const labels = labels_.get() + rowStart;
    int32_t lastColoured = -1;
    for (int32_t x = 0; x < w; ++x) {
        const int8_t c = row[x];
        const uint16_t label = labels[x];
        if (!isUnpaintedCode(c) || label == 0) continue;
        lastColoured = x;
        if (label >= kFirstStroke) {
            // The stroke's colour where its gray level is this pixel's,
            // merged with the gray as ColourMag merges a Custom colour.
            const CustomStroke& stroke = strokes_[label - kFirstStroke];
            const int32_t n = std::clamp(ctx_.selection.blendStrength, kBlendStrengthMin, kBlendStrengthMax);
            const int32_t g = grayOf(channelsOf(source[x]));
            const int32_t shift = n * (g - stroke.gray) / (n + 1);
            const Rgb s = stroke.colour;
            uint32_t out = rgb(uint32_t(std::clamp(s.r + shift, 0, 255)), uint32_t(std::clamp(s.g + shift, 0, 255)),
                               uint32_t(std::clamp(s.b + shift, 0, 255)));
            if (ctx_.effects.naturalLight) out = naturalColour(out, g);
            colour[x] = out;
            ctx_.shiftHeld = true;  // as a Custom colour through ColourMag leaves it
            tables.ranInFull();
            row[x] = int8_t(-kCodeCustom);
            continue;
        }
        const int8_t code = int8_t(label);
        if (const uint32_t* table = tables.table(code, c)) {
            colour[x] = table[grayOf(channelsOf(source[x]))];
        } else {
            ws.curPixelIndex = y * w + x;
            colourMag(ctx_, code, x, y);
            tables.ranInFull();
        }
        row[x] = int8_t(-code);
    }
    if (lastColoured >= 0) ws.curPixelIndex = y * w + lastColoured;
}

} // namespace cw
