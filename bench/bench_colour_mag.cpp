// Cost of one ColourMag call on a tabulated palette with no effects, over a
// 6000 x 4000 picture: the inner step of finish-up and image-wide Touch-paint.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "colour/colour_mag.h"
#include "colour/palette_networks.h"
#include "engine/workspace.h"
#include "progress/progress.h"

namespace {

constexpr int32_t kWidth = 6000, kHeight = 4000;
constexpr int kSweeps = 5;
constexpr double kBudgetNs = 5.0;

// A smooth gray gradient with grain, so every level and every branch of the
// table lookups is exercised.
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

} // namespace

int main() {
    cw::NullProgress progress;
    auto ws = cw::buildWorkspace(grayPicture(), false, progress);
    cw::PaletteSelection selection;  // start-up state: Damper off, strength 1
    cw::EffectSettings effects;
    cw::ToolSettings tools;
    tools.currentTool = cw::kToolTouch;  // no skip rule: every call colours its pixel
    cw::PointerState pointer;
    const cw::ColourMagContext ctx{*ws, selection, effects, tools, pointer};

    cw::paletteTables();  // built once, outside the timing
    const int32_t code = 6;  // "Sky: Blue"
    double best = 1e9, total = 0;
    for (int s = 0; s < kSweeps; ++s) {
        const double ns = sweepNs(ctx, code);
        best = std::min(best, ns);
        total += ns;
    }
    const double mean = total / kSweeps;

    // Keeps the work observable.
    uint64_t sum = 0;
    for (size_t i = 0; i < ws->pixelCount(); i += 4099) sum += ws->colour.data()[i];

    std::printf("bench_colour_mag: %d x %d, code %d, no effects, %d sweeps\n", kWidth, kHeight, code, kSweeps);
    std::printf("ns/call: mean %.2f, best %.2f (budget %.1f) [checksum %llu]\n", mean, best, kBudgetNs,
                static_cast<unsigned long long>(sum));
    return mean <= kBudgetNs ? EXIT_SUCCESS : EXIT_FAILURE;
}
