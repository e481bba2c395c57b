// Cost of one ColourMag call on a tabulated palette with no effects, over a
// 6000 x 4000 picture: the inner step of finish-up and image-wide Touch-paint.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/colour_mag.h"
#include "core/palette_networks.h"
#include "core/progress.h"
#include "core/workspace.h"

namespace {

constexpr int32_t kWidth = 6000, kHeight = 4000;
constexpr int kSweeps = 7;
constexpr double kBudgetNs = 5.0;

// A gray gradient with grain: the table rows are read in the scattered order
// of a photograph, not one level at a time.
cw::Bitmap grayPicture() {
    cw::Bitmap b(kWidth, kHeight);
    uint32_t noise = 12345;
    for (int32_t y = 0; y < kHeight; ++y) {
        uint32_t* row = b.row(y);
        for (int32_t x = 0; x < kWidth; ++x) {
            noise = noise * 1103515245u + 12345u;
            const uint32_t g = (uint32_t(x) * 255 / kWidth + (noise >> 28)) & 255;
            row[x] = cw::rgb(g, g, g);
        }
    }
    return b;
}

double sweepNs(const cw::ColourMagContext& ctx, int32_t code) {
    const auto start = std::chrono::steady_clock::now();
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) {
            ctx.ws.curPixelIndex = y * kWidth + x;
            cw::colourMag(ctx, code, x, y);
        }
    }
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(end - start).count() / (double(kWidth) * kHeight);
}

struct Figures {
    double mean, median, best;
};

Figures measure(const cw::ColourMagContext& ctx, int32_t code) {
    std::vector<double> ns;
    for (int s = 0; s < kSweeps; ++s) ns.push_back(sweepNs(ctx, code));
    double total = 0;
    for (double v : ns) total += v;
    std::sort(ns.begin(), ns.end());
    return {total / kSweeps, ns[ns.size() / 2], ns.front()};
}

} // namespace

int main() {
    cw::NullProgress progress;
    auto ws = cw::buildWorkspace(grayPicture(), false, progress);
    cw::PaletteSelection selection;  // start-up state: Damper off, strength 1
    cw::EffectSettings effects;
    const cw::PaintRules rules{.skipSameCode = false};  // every call colours its pixel
    bool shiftHeld = false;
    const cw::ColourMagContext ctx{*ws, selection, effects, rules, shiftHeld};
    const int32_t code = 6;  // "Sky: Blue", a tabulated network

    const Figures plain = measure(ctx, code);
    // For reference: the merging path (Damper on, strength 3), which is not under the budget.
    selection.damperOn = true;
    selection.blendStrength = 3;
    const Figures merged = measure(ctx, code);

    // Keeps the work observable.
    uint64_t sum = 0;
    for (size_t i = 0; i < ws->pixelCount(); i += 4099) sum += ws->colour.data()[i];

    std::printf("bench_colour_mag: %d x %d, code %d, %d sweeps [checksum %llu]\n", kWidth, kHeight, code, kSweeps,
                static_cast<unsigned long long>(sum));
    std::printf("no effects, no merge: ns/call mean %.2f, median %.2f, best %.2f (budget %.1f: %s)\n", plain.mean,
                plain.median, plain.best, kBudgetNs, plain.median <= kBudgetNs ? "within" : "OVER");
    std::printf("damper merge:         ns/call mean %.2f, median %.2f, best %.2f\n", merged.mean, merged.median,
                merged.best);
    return EXIT_SUCCESS;
}
