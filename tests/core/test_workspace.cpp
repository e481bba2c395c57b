#include "core/workspace_builder.h"
#include "core_rig.h"

using cwtest::RecordingProgress;

// Every sum R + G + B from 0 to 765 appears, at widths that leave every remainder after whole groups of pixels and
// heights that split the rows between the builder's two threads in every way, rows handed over in odd slices; with
// the index of the pixels by level and, as for a picture below the size that keeps one, without.
TEST(Workspace, BuffersAndGrayBucketsAtEverySumSizeAndSlice) {
  const size_t usual = levelIndexFrom();
  for (const bool indexed : {true, false}) {
    setLevelIndexFrom(indexed ? 0 : size_t(1) << 40);
    std::vector<uint32_t> colours;
    for (uint32_t sum = 0; sum <= 765; ++sum) {
        const uint32_t r = std::min<uint32_t>(255, sum), g = std::min<uint32_t>(255, sum - r);
        colours.insert(colours.end(), {rgb(r, g, sum - r - g), rgb(sum - r - g, r, g)});
    }
    const std::pair<int, int> sizes[] = {{1, 1},   {29, 1},  {29, 2},  {29, 3},  {29, 31}, {29, 33}, {29, 64}, {29, 257},
                                         {1, 1533}, {4, 384}, {5, 308}, {15, 103}, {16, 97}, {17, 91}, {31, 50}, {33, 48}, {63, 26}};
    for (const auto& [w, h] : sizes)
        for (int slice : {0, 1, 5, 37})
            for (bool forceGray : {false, true}) {
                Bitmap pic(w, h);
                for (size_t i = 0; i < pic.pixelCount(); ++i) pic.data()[i] = colours[(i * 7 + size_t(w)) % colours.size()];
                Bitmap copy = pic.clone();
                cwtest::RecordingProgress progress;
                WorkspaceBuilder builder(copy.data(), w, h, forceGray);
                for (int y = slice; slice && y < h; y += slice) builder.rowsArrived(y);
                const auto ws = slice ? builder.finish(std::move(copy), progress) : buildWorkspace(pic.clone(), forceGray, progress);
                const std::string what = std::to_string(w) + "x" + std::to_string(h) + " slice " + std::to_string(slice);
                ASSERT_EQ(ws->bucketIndex != nullptr, indexed) << what;
                size_t at = 0;  // every pixel once, by level, row-major within a level
                for (uint32_t g = 0; g < 256; ++g) {
                    ASSERT_EQ(ws->bucketStart[g], at) << what;
                    for (size_t i = 0; i < pic.pixelCount(); ++i)
                        if (grayOf(pic.data()[i]) == g) {
                            if (indexed) { ASSERT_EQ(ws->bucketIndex[at], i) << what << " level " << g; }
                            ++at;
                        }
                }
                ASSERT_EQ(ws->bucketStart[256], at) << what;
                for (size_t i = 0; i < pic.pixelCount(); ++i) {
                    const uint32_t g = grayOf(pic.data()[i]), want = forceGray ? rgb(g, g, g) : pic.data()[i];
                    for (const Bitmap* b : {&ws->display, &ws->source, &ws->colour})
                        ASSERT_EQ(b->data()[i], want) << what << " pixel " << i;
                }
                EXPECT_TRUE(std::all_of(ws->codes.get(), ws->codes.get() + w * h, [](int8_t c) { return c == 0; }));
                EXPECT_TRUE(!ws->selectionActive && ws->selectionRect == Rect{});
                // Recounting clears the code of a pixel still uncoloured and ends by reporting 0.
                ws->codes[0] = 5, ws->freePixelCount = 0, progress.report(50), recountUncoloured(*ws, progress);
                EXPECT_EQ(std::make_tuple(ws->codes[0], ws->freePixelCount, progress.progress()), std::make_tuple(0, w * h, 0));
            }
  }
  setLevelIndexFrom(usual);
}

TEST(Progress, BeginResetsTheAbortAndTheLookThatEndRestores) {
    RecordingProgress p;
    p.begin("first", {.hideAbort = true});
    EXPECT_FALSE(p.abortVisible());
    p.report(60);
    p.abortPressed();
    EXPECT_TRUE(p.poll());
    p.lock();
    EXPECT_TRUE(p.locked());
    p.end(), p.unlock();
    EXPECT_FALSE(p.locked() || p.visible());
    EXPECT_TRUE(p.abortVisible()) << "end restores what begin hid";
    EXPECT_EQ(p.modalResult(), cw::kModalAbort) << "the request stays until the next begin";
    p.begin("second");
    EXPECT_EQ(p.modalResult(), cw::kModalNone);
    EXPECT_FALSE(p.poll()) << "an earlier Abort must not stop the next operation";
    EXPECT_TRUE(p.gaugeVisible() && p.gaugeTextVisible() && p.phaseVisible() && p.visible() && p.progress() == 0);
    EXPECT_EQ(p.phases, (std::vector<std::string>{"first", "second"}));
    // 0 (as shown), 5 (draw), 5, 100 (clamped, draw), 100, 0 (clamped, draw)
    const int drawsAfterBegin = p.gaugeDraws;
    for (int v : {0, 5, 5, 150, 100, -20}) p.report(v);
    EXPECT_EQ(std::make_pair(p.gaugeDraws - drawsAfterBegin, p.progress()), std::make_pair(3, 0));
    for (int v : {40, 39}) p.reportMonotonic(v);
    EXPECT_EQ(p.progress(), 40) << "monotonic reporting never moves back";
}

TEST(Progress, ScriptedAbortStopsALoopAtTheExactPoll) {
    for (uint64_t abortAt : {1u, 2u, 7u, 50u}) {
        RecordingProgress p;
        p.abortAtPoll = abortAt, p.begin("rows");
        int rowsDone = 0;
        for (int y = 0; y < 20 && !p.poll(); ++y) ++rowsDone;
        EXPECT_EQ(rowsDone, std::min<int>(int(abortAt) - 1, 20)) << "abort at poll " << abortAt;
        EXPECT_GE(p.pumps, 1) << "the first poll processes pending events";
    }
}
