// Times the undo history on a 6000 x 4000 picture: what recording a step
// costs beside the operation it records (what the user waits for, and what
// the recorder's thread then does while the picture is shown), what undo and redo of it cost, and
// the memory a step keeps beside the bytes the operation changed. Prints
// figures; asserts nothing.
//
//   bench_history [picture.jpg]
//
// Without a file the picture is a gray ramp with grain. Peak memory of a
// whole run is measured on the batch runner (bench/README.md).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "actions/finishup_command.h"
#include "actions/picture_setup.h"
#include "actions/script_run.h"
#include "codecs/jpeg_decoder.h"
#include "core/finishup.h"
#include "core/workspace.h"
#include "document/undo.h"
#include "tools/connected_paint.h"
#include "tools/image_wide_paint.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"

using namespace cw;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

Bitmap grainyRamp(int32_t w, int32_t h) {
    Bitmap b(w, h);
    uint32_t seed = 99;
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const uint32_t g = uint32_t(std::clamp(int(x * 200 / w + y * 40 / h) + int(seed >> 29) - 4, 0, 255));
            b.at(x, y) = rgb(g, g, g);
        }
    return b;
}

// The bytes an operation changed: the pixels of each plane that differ.
struct Before {
    Bitmap colour, display;
    std::vector<int8_t> codes;
    explicit Before(const Workspace& ws)
        : colour(ws.colour.clone()), display(ws.display.clone()), codes(ws.codes.get(), ws.codes.get() + ws.pixelCount()) {}
    size_t changedBytes(const Workspace& ws) const {
        size_t n = 0;
        for (size_t i = 0; i < ws.pixelCount(); ++i)
            n += 4 * (colour.data()[i] != ws.colour.data()[i]) + 4 * (display.data()[i] != ws.display.data()[i]) +
                 (codes[i] != ws.codes[i]);
        return n;
    }
};

struct Bench {
    std::ostringstream out, err;
    ScriptRun run{out, err, "/nonexistent"};
    Session& s = run.session;

    // One operation, then its step: times, bytes, and undo and redo of it.
    template <class Operation>
    void measure(const char* name, Operation operation) {
        const Before before(*s.ws);
        const size_t held = s.history.bytes();
        auto t0 = Clock::now();
        operation();
        const double operationMs = msSince(t0);
        t0 = Clock::now();
        recordStep(s, name);
        const double recordMs = msSince(t0);
        t0 = Clock::now();
        settleHistory(s);
        const double recorderMs = msSince(t0);
        const size_t changed = before.changedBytes(*s.ws), kept = s.history.bytes() - held;
        t0 = Clock::now();
        undoStep(s);
        const double undoMs = msSince(t0);
        t0 = Clock::now();
        redoStep(s);
        const double redoMs = msSince(t0);
        std::printf("%-24s operation %6.1f ms, record %5.2f ms (%4.1f%%) + recorder's thread %6.1f ms, undo %5.1f ms, "
                    "redo %5.1f ms, changed %5.1f MB, kept %5.1f MB (%.2f x)\n",
                    name, operationMs, recordMs, 100 * recordMs / operationMs, recorderMs, undoMs, redoMs,
                    changed / 1e6, kept / 1e6, double(kept) / double(std::max<size_t>(changed, 1)));
    }

    void stroke(int32_t x, int32_t y, int32_t length) {
        pointerMove(s, false, x, y);
        pointerPress(s, MouseButton::Left, false, x, y);
        for (int i = 1; i <= length; ++i) pointerMove(s, false, x + i * 3, y + i);
    }
};

} // namespace

int main(int argc, char** argv) {
    Bitmap picture = argc > 1 ? decodeJpegFile(argv[1]) : grainyRamp(6000, 4000);
    std::printf("picture %d x %d\n", picture.width(), picture.height());
    Bench b;
    Session& s = b.s;
    if (!setUpPicture(s, std::move(picture))) return 1;
    auto t0 = Clock::now();
    settleHistory(s);
    std::printf("the history's copy of a new picture, on the recorder's thread: %.1f ms\n", msSince(t0));
    std::printf("history budget %.0f MB\n", s.history.budget() / 1e6);
    const int32_t w = s.ws->width, h = s.ws->height;

    // Twenty brush strokes of a 40-pixel brush, each about 600 pixels long.
    selectTool(s.tools, kToolBrush);
    s.tools.brushWidth = s.tools.brushWidthField = s.tools.brushHeight = s.tools.brushHeightField = 20;
    double strokeMs = 0, recordMs = 0, recorderMs = 0;
    const Before before(*s.ws);
    for (int i = 0; i < 20; ++i) {
        s.palette.paletteCode = 1 + i % 5;
        auto t0 = Clock::now();
        b.stroke(200 + i * 250, 300 + i * 150, 200);
        strokeMs += msSince(t0);
        t0 = Clock::now();
        recordStep(s, "Brush");
        recordMs += msSince(t0);
        t0 = Clock::now();
        settleHistory(s);
        recorderMs += msSince(t0);
        pointerUp(s, MouseButton::Left, false, 0, 0);
    }
    std::printf("%-24s strokes %6.1f ms, record %5.2f ms (%4.1f%%) + recorder's thread %6.1f ms, changed %5.1f MB, "
                "kept %5.1f MB (%.2f x)\n",
                "20 brush strokes", strokeMs, recordMs, 100 * recordMs / strokeMs, recorderMs, before.changedBytes(*s.ws) / 1e6,
                s.history.bytes() / 1e6, double(s.history.bytes()) / double(before.changedBytes(*s.ws)));

    s.palette.paletteCode = 7;
    s.controls.integration = 40;
    b.measure("image-wide Touch-paint", [&] { paintImageWide(s, w / 2, h / 3, 7, false, false); });
    s.palette.paletteCode = 9;
    b.measure("connected Touch-paint", [&] { paintConnected(s, w / 3, h / 2, 9, false); });
    b.measure("AutoFinish", [&] { runFinishup(s, FinishupMode::Fill); });
    return 0;
}
