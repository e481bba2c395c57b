// What an autosave holds the windows for on a 6000 x 4000 picture: copying
// the work's buffers (the rest is written on the autosave's thread), and
// what that writing takes. Prints figures; asserts nothing.
//
//   bench_autosave [picture.jpg]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "actions/picture_setup.h"
#include "actions/script_run.h"
#include "actions/work_file.h"
#include "codecs/jpeg_decoder.h"
#include "core/workspace.h"

using namespace cw;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
    Bitmap picture = argc > 1 ? decodeJpegFile(argv[1]) : Bitmap(6000, 4000);
    if (argc <= 1)
        for (size_t i = 0; i < picture.pixelCount(); ++i) picture.data()[i] = rgb(i % 251, i % 251, i % 251);
    std::ostringstream out, err;
    ScriptRun run{out, err, "/nonexistent"};
    Session& s = run.session;
    if (!setUpPicture(s, std::move(picture))) return 1;
    s.history.settle();
    // Some work: a third of the picture coloured.
    for (size_t i = 0; i < s.ws->pixelCount() / 3; ++i) s.ws->colour.data()[i] ^= 0x00203040u, s.ws->codes[i] = 3;
    std::vector<double> copy, write;
    const std::string path = "/tmp/bench_autosave.ora";
    // Made on the autosave's thread before the first round.
    auto p0 = Clock::now();
    WorkCopy work(s.ws->width, s.ws->height);
    const double prepare = std::chrono::duration<double, std::milli>(Clock::now() - p0).count();
    for (int round = 0; round < 5; ++round) {
        auto t0 = Clock::now();
        copyWork(s, work);
        auto t1 = Clock::now();
        writeWorkCopy(work, path);
        auto t2 = Clock::now();
        copy.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        write.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
    }
    std::remove(path.c_str());
    std::sort(copy.begin(), copy.end());
    std::sort(write.begin(), write.end());
    std::printf("autosave of %d x %d: the windows wait %.1f ms (median of 5, max %.1f), its thread writes %.0f ms\n",
                s.ws->width, s.ws->height, copy[2], copy[4], write[2]);
    std::printf("buffers made beforehand on the autosave's thread: %.0f ms\n", prepare);
    std::printf("RESULT autosave_copy %.1f ms\nRESULT autosave_copy_max %.1f ms\nRESULT autosave_write %.0f ms\n", copy[2],
                copy[4], write[2]);
}
