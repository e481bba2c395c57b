// Times the paint tools on a 6000 x 4000 picture: image-wide Touch-paint over
// a band of about half the pixels, connected Touch-paint over about 80% of
// the picture, and single brush moves. Prints figures; asserts nothing.
//
//   bench_paint [picture.jpg]
//
// Without a file the picture is a synthetic gray photograph: smooth shapes,
// gradients and grain. The last lines ("peer ...") tell bench/paint_peers.sh
// which band, seed and tolerance were used.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codecs/jpeg_decoder.h"
#include "core/progress.h"
#include "core/tone_fill.h"
#include "core/workspace.h"
#include "document/document.h"
#include "document/observer.h"
#include "document/tool_settings.h"
#include "tools/connected_paint.h"
#include "tools/image_wide_paint.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"

using namespace cw;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int32_t kWidth = 6000, kHeight = 4000;

class BenchObserver final : public DocumentObserver {
public:
    long long changedPixels = 0;
    void displayChanged(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        changedPixels += (long long)(x2 - x1) * (y2 - y1);
    }
};

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

Bitmap syntheticPhoto(int32_t w, int32_t h) {
    Bitmap b(w, h);
    uint32_t seed = 12345;
    for (int32_t y = 0; y < h; ++y) {
        uint32_t* row = b.row(y);
        const double fy = double(y) / h;
        for (int32_t x = 0; x < w; ++x) {
            const double fx = double(x) / w;
            // Sky-like gradient, a few large soft shapes, a textured band, grain.
            double v = 170 - 90 * fy;
            v += 45 * std::sin(fx * 7.1 + std::sin(fy * 3.3) * 2) * std::cos(fy * 5.2);
            const double dx = fx - 0.62, dy = fy - 0.55;
            if (dx * dx * 2.2 + dy * dy < 0.045) v = 60 + 40 * fy + 20 * std::sin(fx * 90);
            if (fy > 0.8) v = 95 + 30 * std::sin(fx * 400) * std::sin(fy * 300);
            seed = seed * 1664525u + 1013904223u;
            v += double(seed >> 28) - 7.5;
            const uint32_t g = uint32_t(std::clamp(v, 0.0, 255.0));
            row[x] = rgb(g, g, g);
        }
    }
    return b;
}

// The fills are timed as the tools run them, the brush through the gestures.
struct Bench {
    NullProgress progress;
    BenchObserver observer;
    Document s{progress, observer};

    explicit Bench(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.markUpGrayStep = 16;
        s.tools.currentTool = kToolTouch;
        s.pointer.paintLimitRect = {0, 0, s.ws->width - 1, s.ws->height - 1};
        s.imageWindowOpen = true;
    }
    Workspace& ws() { return *s.ws; }
    void reset() {
        std::memset(ws().codes.get(), 0, ws().pixelCount());
        ws().colour.copyFrom(ws().source);
        ws().display.copyFrom(ws().source);
    }
    size_t countCode(int8_t code) const {
        const int8_t* c = s.ws->codes.get();
        return size_t(std::count(c, c + s.ws->pixelCount(), code));
    }
};

struct Stats {
    double best = 1e300, median = 0;
};
template <class Work, class Prepare>
Stats timeRuns(int runs, Prepare prepare, Work work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        prepare();
        const auto t0 = Clock::now();
        work();
        ms.push_back(msSince(t0));
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

void touchPaintBench(Bench& b, int32_t& bandLo, int32_t& bandHi) {
    Workspace& ws = b.ws();
    const double total = double(ws.pixelCount());
    // The seed level and tolerance (grayStep 16) whose band holds nearest half the pixels.
    int32_t bestSeed = 0, bestTol = 0;
    double bestFrac = -1;
    for (int32_t seed = 8; seed < 256; seed += 16)
        for (int32_t tol = 0; tol <= 128; tol += 16) {
            const ToneBand band = toneBand(seed, 16, tol);
            size_t n = 0;
            for (int l = band.lo; l <= band.hi; ++l) n += uint32_t(ws.bucketEnd(l) - ws.bucketBegin(l));
            if (std::abs(n / total - 0.5) < std::abs(bestFrac - 0.5)) {
                bestFrac = n / total;
                bestSeed = seed;
                bestTol = tol;
            }
        }
    b.s.controls.integration = bestTol;
    const ToneBand band = toneBand(bestSeed, 16, bestTol);
    bandLo = band.lo;
    bandHi = band.hi;
    // A seed pixel of that level.
    const uint32_t seedIndex = *ws.bucketBegin(bestSeed);
    const int32_t sx = int32_t(seedIndex % uint32_t(ws.width)), sy = int32_t(seedIndex / uint32_t(ws.width));
    size_t bandPixels = 0;
    for (int l = band.lo; l <= band.hi; ++l) bandPixels += uint32_t(ws.bucketEnd(l) - ws.bucketBegin(l));
    std::printf("image-wide Touch-paint: seed gray %d, tolerance %d, band %d..%d = %zu pixels (%.1f%%)\n", bestSeed,
                bestTol, band.lo, band.hi, bandPixels, 100.0 * bandPixels / total);

    struct Variant {
        const char* name;
        bool masked, overwrite;
    };
    for (const Variant& v : {Variant{"TouchPaintIOY", false, true}, Variant{"TouchPaintION", false, false},
                             Variant{"TouchPaintMOY", true, true}, Variant{"TouchPaintMON", true, false}}) {
        const Stats t = timeRuns(
            5, [&] { b.reset(); }, [&] { paintImageWide(b.s, sx, sy, 17, v.masked, v.overwrite); });
        const size_t painted = b.countCode(17);
        std::printf("  %s: best %.1f ms, median %.1f ms, %zu painted, %.2f ns per painted pixel (best)\n", v.name,
                    t.best, t.median, painted, t.best * 1e6 / double(painted));
    }
    // A second coat of the same band with Overwrite: every pixel repainted.
    {
        b.reset();
        paintImageWide(b.s, sx, sy, 17, false, true);
        const Stats t = timeRuns(5, [] {}, [&] { paintImageWide(b.s, sx, sy, 17, false, true); });
        std::printf("  TouchPaintIOY again over the painted band: best %.1f ms (%.2f ns per pixel)\n", t.best,
                    t.best * 1e6 / double(bandPixels));
    }
    // Limited to a pending selection of a quarter of the picture.
    {
        b.s.pointer.paintLimitRect = {ws.width / 4, ws.height / 4, ws.width * 3 / 4 - 1, ws.height * 3 / 4 - 1};
        const Stats t = timeRuns(
            5, [&] { b.reset(); }, [&] { paintImageWide(b.s, sx, sy, 17, false, true); });
        const size_t painted = b.countCode(17);
        std::printf("  TouchPaintIOY inside a centred quarter-area selection: best %.1f ms, %zu painted, %.2f ns per "
                    "painted pixel\n",
                    t.best, painted, t.best * 1e6 / double(painted));
        b.s.pointer.paintLimitRect = {0, 0, ws.width - 1, ws.height - 1};
    }
    std::printf("peer band %d %d\n", band.lo, band.hi);
}

void connectedBench(Bench& b) {
    Workspace& ws = b.ws();
    const double total = double(ws.pixelCount());
    const int32_t sx = ws.width / 3, sy = ws.height / 4;
    // The tolerance whose fill covers nearest 80% of the picture, unless
    // BENCH_TOLERANCE pins it (for profiling under a simulator, say).
    int32_t bestTol = 16;
    double bestFrac = -1;
    const char* pinned = std::getenv("BENCH_TOLERANCE");
    if (pinned) bestTol = std::atoi(pinned);
    for (int32_t tol = 32; !pinned && tol <= 256; tol += 16) {
        b.reset();
        b.s.controls.integration = tol;
        paintConnected(b.s, sx, sy, 3, true);
        const double frac = b.countCode(3) / total;
        if (std::abs(frac - 0.8) < std::abs(bestFrac - 0.8)) {
            bestFrac = frac;
            bestTol = tol;
        }
        if (frac > 0.8) break;
    }
    b.s.controls.integration = bestTol;
    std::printf("connected Touch-paint: seed (%d, %d) gray %u, tolerance %d (strict)\n", sx, sy,
                grayOf(ws.source.at(sx, sy)), bestTol);
    for (bool masked : {false, true}) {
        const Stats t = timeRuns(
            3, [&] { b.reset(); }, [&] { paintConnected(b.s, sx, sy, 17, masked); });
        const size_t painted = b.countCode(17);
        std::printf("  %s: best %.1f ms, median %.1f ms, %zu painted (%.1f%%), %.2f ns per painted pixel\n",
                    masked ? "ClickPaintM" : "ClickPaintI", t.best, t.median, painted, 100.0 * painted / total,
                    t.best * 1e6 / double(painted));
    }
    // Code 0 (a right click on an uncoloured pixel): the fill with its own visited marks.
    {
        const Stats t = timeRuns(
            3, [&] { b.reset(); }, [&] { paintConnected(b.s, sx, sy, 0, true); });
        std::printf("  ClickPaintM with code 0 (own visited marks): best %.1f ms\n", t.best);
    }
    std::printf("peer connected %d %d %u %d\n", sx, sy, grayOf(ws.source.at(sx, sy)), bestTol);
}

void brushBench(Bench& b, int32_t half, bool rounded, bool diagonal) {
    b.reset();
    Document& s = b.s;
    selectTool(s.tools, kToolBrush);
    s.tools.rounded = rounded;
    s.tools.brushWidth = s.tools.brushWidthField = half;
    s.tools.brushHeight = s.tools.brushHeightField = half;
    s.palette.paletteCode = 17;
    int32_t x = 1000, y = 1000;
    pointerMove(s, false, x, y);
    pointerPress(s, MouseButton::Left, false, x, y);
    std::vector<double> us;
    for (int i = 0; i < 2000; ++i) {
        ++x;
        if (diagonal) ++y;
        const auto t0 = Clock::now();
        pointerMove(s, false, x, y);
        us.push_back(msSince(t0) * 1000);
    }
    pointerClick(s);
    pointerUp(s, MouseButton::Left, false, x, y);
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (double v : us) sum += v;
    std::printf("  %3d x %-3d %-5s brush, %-10s moves: mean %.1f us, median %.1f us, 99%% %.1f us, max %.1f us\n",
                2 * half, 2 * half, rounded ? "round" : "rect", diagonal ? "diagonal" : "horizontal",
                sum / us.size(), us[us.size() / 2], us[us.size() * 99 / 100], us.back());
}

} // namespace

int main(int argc, char** argv) {
    Bitmap picture;
    const auto t0 = Clock::now();
    // A second argument picks one part: touch, connected or brush.
    const std::string only = argc > 2 ? argv[2] : "";
    if (argc > 1 && std::string(argv[1]) != "-") {
        picture = decodeJpegFile(argv[1]);
        std::printf("picture %s: %d x %d, decoded in %.0f ms\n", argv[1], picture.width(), picture.height(), msSince(t0));
    } else {
        picture = syntheticPhoto(kWidth, kHeight);
        std::printf("synthetic photograph %d x %d, made in %.0f ms\n", kWidth, kHeight, msSince(t0));
    }
    Bench b(std::move(picture));

    int32_t lo = 0, hi = 0;
    if (only.empty() || only == "touch") touchPaintBench(b, lo, hi);
    if (only.empty() || only == "connected") connectedBench(b);
    if (!only.empty() && only != "brush") return 0;
    std::printf("brush moves (press, then 2000 single-pixel moves; each timed with its outline and display restore):\n");
    brushBench(b, 20, true, false);
    brushBench(b, 20, true, true);
    brushBench(b, 20, false, false);
    brushBench(b, 20, false, true);
    brushBench(b, 40, true, false);
    std::printf("display area reported changed in total: %lld pixels\n", b.observer.changedPixels);
    return 0;
}
