// Times the engine's long operations on a 6000 x 4000 photo: auto finish-up
// (recolour and fill passes) with about 5% of the pixels coloured in
// scattered strokes, full-resolution mark-up with the default settings,
// FastMarkUp at Scale% 25, and how soon each returns after Abort is pressed.
//
// usage: bench_engine [PHOTO.jpg]   (any size; without one a photo-like
// picture is made up). An up-scaled sample works well:
//   convert tests/data/photos/camera.jpg -resize 6000x4000! -attenuate 0.5 +noise Gaussian /tmp/p.jpg
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <time.h>

#include "codecs/jpeg_decoder.h"
#include "core/colour_mag.h"
#include "core/fast_markup.h"
#include "core/finishup.h"
#include "core/markup.h"
#include "core/progress.h"
#include "document/controls.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kWidth = 6000, kHeight = 4000;
constexpr int kRuns = 3;

// Counts polls, and presses Abort at a chosen one, noting when.
class BenchProgress final : public cw::Progress {
public:
    uint64_t abortAt = 0;
    uint64_t polls = 0;
    Clock::time_point pressed;
    BenchProgress() { hookEveryPoll(); }

protected:
    void polled(uint64_t n) override {
        polls = n;
        if (abortAt && n == abortAt && modalResult() != cw::kModalAbort) {
            pressed = Clock::now();
            abortPressed();
        }
    }
};

// Smooth shapes, soft gradients and grain: regions of many sizes, as a photo has.
cw::Bitmap madeUpPhoto() {
    cw::Bitmap b(kWidth, kHeight);
    std::mt19937 rng(1);
    std::normal_distribution<double> grain(0, 4);
    for (int32_t y = 0; y < kHeight; ++y)
        for (int32_t x = 0; x < kWidth; ++x) {
            const double v = 128 + 60 * std::sin(x / 700.0) * std::cos(y / 500.0) + 40 * std::sin((x + 2 * y) / 90.0) +
                             grain(rng);
            const uint32_t g = uint32_t(std::clamp(v, 0.0, 255.0));
            b.at(x, y) = cw::rgb(g, g, g);
        }
    return b;
}

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// This thread's processor time: steadier than the wall clock on a busy machine.
double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// The workspace and the settings the engine reads, as the main window starts
// them; the mark-up's parameters as the Mark-up button brings them up to date.
struct Rig {
    BenchProgress progress;
    std::unique_ptr<cw::Workspace> ws;
    cw::MainControls controls;
    cw::PaletteSelection palette;
    cw::EffectSettings effects;
    cw::PaintRules rules{.skipSameCode = false};  // the recolour pass then recolours every stroke
    bool shiftHeld = false;
    cw::MarkUpParams markUp;

    explicit Rig(const cw::Bitmap& photo) {
        ws = cw::buildWorkspace(photo.clone(), false, progress);
        cw::MarkUpSizes sizes;
        cw::takeControls(controls, sizes, photo.width() + photo.height());
        markUp = {.grayStep = cw::grayStepOf(controls.complexity),
                  .tolerance = controls.integration,
                  .minObjectSize = std::max(sizes.minObjectSize, cw::kMinObjectSizeFloor),
                  .minSeparation = std::max(sizes.minAnchorSeparation, cw::kMinSeparationFloor)};
    }
    cw::ColourMagContext colouring() { return {*ws, palette, effects, rules, shiftHeld}; }
    // 100 div Scale%, as FastMarkUp takes it.
    static int32_t gridFactor(int scalePercent) { return std::max(1, 100 / scalePercent); }
};

// Strokes 2 pixels thick in the eight directions, until `share` of the picture is coloured.
size_t paintStrokes(Rig& rig, double share) {
    cw::Workspace& ws = *rig.ws;
    const cw::ColourMagContext ctx = rig.colouring();
    std::mt19937 rng(42);
    const int codes[] = {1, 3, 6, 13, 17, 22};
    const size_t goal = size_t(double(ws.pixelCount()) * share);
    size_t coloured = 0;
    while (coloured < goal) {
        int32_t x = int32_t(rng() % uint32_t(ws.width)), y = int32_t(rng() % uint32_t(ws.height));
        const int dx = int(rng() % 3) - 1, dy = dx == 0 ? 1 : int(rng() % 3) - 1;
        const int code = codes[rng() % std::size(codes)];
        const int len = 30 + int(rng() % 200);
        for (int k = 0; k < len; ++k, x += dx, y += dy)
            for (int t = 0; t < 2; ++t) {
                const int32_t px = x + (dy != 0 ? t : 0), py = y + (dy == 0 ? t : 0);
                if (px < 0 || py < 0 || px >= ws.width || py >= ws.height) continue;
                const size_t i = size_t(py) * size_t(ws.width) + size_t(px);
                if (ws.codes[i] != 0) continue;
                ws.curPixelIndex = int32_t(i);
                cw::colourMag(ctx, code, px, py);
                ws.codes[i] = int8_t(code);
                ++coloured;
            }
    }
    return coloured;
}

struct Timing {
    double best = 1e9, mean = 0, cpu = 1e9;
    void add(double wall, double processor) {
        best = std::min(best, wall);
        mean += wall / kRuns;
        cpu = std::min(cpu, processor);
    }
};

// Wall-clock and processor time of one operation.
struct Stopwatch {
    Clock::time_point wall = Clock::now();
    double cpu = cpuSeconds();
    void stopInto(Timing& t) {
        t.add(seconds(wall, Clock::now()), cpuSeconds() - cpu);
        wall = Clock::now();
        cpu = cpuSeconds();
    }
};

void report(const char* what, const Timing& t, double budget) {
    std::printf("  %-30s best %6.3f s  mean %6.3f s  cpu %6.3f s  (target < %.1f s)\n", what, t.best, t.mean, t.cpu,
                budget);
}

void reportAbort(const char* what, double latency, uint64_t at, uint64_t of) {
    std::printf("  %-34s %6.1f ms after the press (poll %llu of %llu; target < 100 ms)\n", what, latency * 1000,
                static_cast<unsigned long long>(at), static_cast<unsigned long long>(of));
}

} // namespace

int main(int argc, char** argv) {
    const cw::Bitmap photo = argc > 1 ? cw::decodeJpegFile(argv[1]) : madeUpPhoto();
    std::printf("bench_engine: %d x %d %s\n", photo.width(), photo.height(), argc > 1 ? argv[1] : "(made up)");

    // Finish-up: the same strokes before every run.
    Rig strokes(photo);
    const size_t coloured = paintStrokes(strokes, 0.05);
    const cw::Bitmap strokeColour = strokes.ws->colour.clone();
    const std::string strokeCodes(reinterpret_cast<const char*>(strokes.ws->codes.get()), strokes.ws->pixelCount());
    const auto restoreStrokes = [&] {
        strokes.ws->colour.copyFrom(strokeColour);
        std::memcpy(strokes.ws->codes.get(), strokeCodes.data(), strokeCodes.size());
    };
    std::printf("finish-up, %.2f%% coloured in strokes:\n", 100.0 * double(coloured) / double(photo.pixelCount()));
    Timing recolour, fill, both;
    uint64_t fillPolls = 0;
    for (int r = 0; r < kRuns; ++r) {
        restoreStrokes();
        Stopwatch whole, pass;
        cw::finishup(strokes.colouring(), cw::FinishupMode::Recolour, strokes.progress);
        pass.stopInto(recolour);
        cw::finishup(strokes.colouring(), cw::FinishupMode::Fill, strokes.progress);
        pass.stopInto(fill);
        whole.stopInto(both);
        fillPolls = strokes.progress.polls;
    }
    const size_t left = size_t(std::count(strokes.ws->codes.get(), strokes.ws->codes.get() + photo.pixelCount(), 0));
    report("recolour pass", recolour, 2.0);
    report("fill pass", fill, 2.0);
    report("both passes", both, 2.0);
    std::printf("  %.2f%% left uncoloured\n", 100.0 * double(left) / double(photo.pixelCount()));
    for (cw::FinishupMode mode : {cw::FinishupMode::Recolour, cw::FinishupMode::Fill}) {
        restoreStrokes();
        strokes.progress.abortAt = uint64_t(photo.height()) / 2;
        cw::finishup(strokes.colouring(), mode, strokes.progress);
        const double latency = seconds(strokes.progress.pressed, Clock::now());
        reportAbort(mode == cw::FinishupMode::Fill ? "abort during the fill pass" : "abort during the recolour pass",
                    latency, strokes.progress.abortAt, fillPolls);
        strokes.progress.abortAt = 0;
    }

    // Mark-up on the uncoloured picture.
    Rig plain(photo);
    std::printf("mark-up, default settings (D %d, S %d, T %d, GrayStep %d):\n", plain.markUp.minObjectSize,
                plain.markUp.minSeparation, plain.markUp.tolerance, plain.markUp.grayStep);
    Timing full, fast;
    uint64_t fullPolls = 0, fastPolls = 0;
    size_t fullAnchors = 0, fastAnchors = 0, fullRecords = 0, fastRecords = 0;
    for (int r = 0; r < kRuns; ++r) {
        Stopwatch watch;
        cw::markUp(*plain.ws, plain.markUp, plain.progress);
        watch.stopInto(full);
        fullPolls = plain.progress.polls;
        fullRecords = plain.ws->anchors.size();
        fullAnchors = size_t(std::count_if(plain.ws->anchors.begin(), plain.ws->anchors.end(),
                                           [](const cw::Anchor& a) { return a.status == 0; }));
        watch = Stopwatch{};
        cw::fastMarkUp(*plain.ws, plain.markUp, Rig::gridFactor(25), plain.progress);
        watch.stopInto(fast);
        fastPolls = plain.progress.polls;
        fastRecords = plain.ws->anchors.size();
        fastAnchors = size_t(std::count_if(plain.ws->anchors.begin(), plain.ws->anchors.end(),
                                           [](const cw::Anchor& a) { return a.status == 0; }));
    }
    report("MarkUp (full resolution)", full, 2.0);
    std::printf("  %zu regions, %zu anchors\n", fullRecords, fullAnchors);
    report("FastMarkUp (Scale% 25)", fast, 0.3);
    std::printf("  %zu regions, %zu anchors\n", fastRecords, fastAnchors);

    plain.progress.abortAt = fullPolls / 2;
    cw::markUp(*plain.ws, plain.markUp, plain.progress);
    reportAbort("abort during MarkUp", seconds(plain.progress.pressed, Clock::now()), fullPolls / 2, fullPolls);
    plain.progress.abortAt = fastPolls / 2;
    cw::fastMarkUp(*plain.ws, plain.markUp, Rig::gridFactor(25), plain.progress);
    reportAbort("abort during FastMarkUp", seconds(plain.progress.pressed, Clock::now()), fastPolls / 2, fastPolls);
    return 0;
}
