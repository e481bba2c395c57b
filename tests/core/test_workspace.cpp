#include <gtest/gtest.h>

#include "codecs/jpeg_decoder.h"
#include "core/workspace.h"
#include "core/workspace_builder.h"
#include "document/controls.h"
#include "test_support.h"

using namespace cw;

namespace {

Bitmap pattern(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.at(x, y) = rgb((x * 37 + y) & 255, (x * y) & 255, (y * 11) & 255);
    return b;
}

} // namespace

TEST(Workspace, GrayBucketsHoldEveryPixelOnceByLevelInRowMajorOrder) {
    for (const char* name : {"photos/astronaut.jpg", "photos/coffee.jpg", "photos/camera.jpg"}) {
        const Bitmap picture = decodeJpegFile(cwtest::testdata(name));
        cwtest::RecordingProgress progress;
        auto ws = buildWorkspace(picture.clone(), false, progress);
        const size_t n = picture.pixelCount();
        ASSERT_EQ(ws->bucketStart[256], n) << name;
        std::vector<int> seen(n, 0);
        for (int g = 0; g < 256; ++g) {
            uint32_t previous = 0;
            bool first = true;
            size_t count = 0;
            for (const uint32_t* p = ws->bucketBegin(g); p != ws->bucketEnd(g); ++p, ++count) {
                ASSERT_LT(*p, n);
                EXPECT_EQ(grayOf(picture.data()[*p]), uint32_t(g)) << name;
                if (!first) {
                    EXPECT_LT(previous, *p) << "row-major within level " << g;
                }
                previous = *p;
                first = false;
                ++seen[*p];
            }
            // An independent count of the level.
            size_t expected = 0;
            for (size_t i = 0; i < n; ++i) expected += grayOf(picture.data()[i]) == uint32_t(g);
            EXPECT_EQ(count, expected) << name << " level " << g;
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), std::ptrdiff_t(n)) << name;
    }
}

TEST(Workspace, BuildingWhileRowsArriveInAnySlicesGivesTheSameBuckets) {
    // Rows handed over in odd slices, as a decoder does; the halves the two
    // threads place must still meet exactly.
    for (int h : {1, 2, 3, 31, 33, 64, 257}) {
        for (int slice : {1, 5, 7, 16, 37}) {
            const Bitmap picture = pattern(29, h);
            Bitmap copy = picture.clone();
            cwtest::RecordingProgress progress;
            WorkspaceBuilder builder(copy.data(), copy.width(), copy.height(), false);
            for (int y = slice; y < h; y += slice) builder.rowsArrived(y);
            auto ws = builder.finish(std::move(copy), progress);
            size_t at = 0;
            for (int g = 0; g < 256; ++g)
                for (size_t i = 0; i < picture.pixelCount(); ++i)
                    if (grayOf(picture.data()[i]) == uint32_t(g)) {
                        ASSERT_EQ(ws->bucketIndex[at], i) << "h " << h << " slice " << slice << " level " << g;
                        ++at;
                    }
            ASSERT_EQ(at, picture.pixelCount());
            EXPECT_TRUE(std::all_of(ws->codes.get(), ws->codes.get() + at, [](int8_t c) { return c == 0; }));
        }
    }
}

TEST(Workspace, SetUpStartsUncolouredAndInitvimgKeepsIt) {
    cwtest::RecordingProgress progress;
    auto ws = buildWorkspace(pattern(37, 23), false, progress);
    EXPECT_EQ(ws->freePixelCount, 37 * 23);
    EXPECT_TRUE(std::all_of(ws->codes.get(), ws->codes.get() + ws->pixelCount(), [](int8_t c) { return c == 0; }));
    EXPECT_FALSE(ws->selectionActive);
    EXPECT_EQ(ws->selectionRect, Rect{});
    for (const Bitmap* b : {&ws->source, &ws->colour, &ws->undo})
        EXPECT_EQ(0, std::memcmp(b->data(), ws->display.data(), ws->pixelCount() * 4));
    initvimg(*ws, progress);
    EXPECT_EQ(ws->freePixelCount, 37 * 23);
}

TEST(Workspace, InitvimgClearsCodesOnlyWhereThePixelIsUncoloured) {
    cwtest::RecordingProgress progress;
    auto ws = buildWorkspace(pattern(10, 4), false, progress);
    // Coloured pixel keeps its code; a marked pixel that is still uncoloured loses it.
    ws->colour.at(3, 1) = rgb(1, 2, 3) == ws->source.at(3, 1) ? rgb(4, 5, 6) : rgb(1, 2, 3);
    ws->codes[1 * 10 + 3] = 5;
    ws->codes[2 * 10 + 7] = int8_t(kCodeOriginal);
    ws->codes[0] = -4;
    initvimg(*ws, progress);
    EXPECT_EQ(ws->freePixelCount, 39);
    EXPECT_EQ(ws->codes[13], 5);
    EXPECT_EQ(ws->codes[27], 0);
    EXPECT_EQ(ws->codes[0], 0);
    EXPECT_EQ(progress.progress(), 0) << "initvimg ends by reporting 0";
}

TEST(Workspace, ForceGrayTurnsEveryBufferGrayAndOtherwiseKeepsColour) {
    const Bitmap astronaut = decodeJpegFile(cwtest::testdata("photos/astronaut.jpg"));
    cwtest::RecordingProgress progress;
    auto gray = buildWorkspace(astronaut.clone(), true, progress);
    auto colour = buildWorkspace(astronaut.clone(), false, progress);
    size_t coloured = 0;
    for (size_t i = 0; i < astronaut.pixelCount(); ++i) {
        const uint32_t c = astronaut.data()[i];
        const uint32_t g = grayOf(c);
        for (const Bitmap* b : {&gray->display, &gray->source, &gray->colour, &gray->undo})
            ASSERT_EQ(b->data()[i], rgb(g, g, g)) << i;
        ASSERT_EQ(colour->source.data()[i], c);
        coloured += redOf(c) != blueOf(c);
    }
    EXPECT_GT(coloured, astronaut.pixelCount() / 2) << "the astronaut is a colour photo";
    // Buckets are by the gray level either way.
    EXPECT_EQ(gray->bucketStart, colour->bucketStart);
}

TEST(Settings, ValSetDerivesSizesFromTheSpanAndSetsTheIntegrationStep) {
    MainControls c;
    EngineSettings s;
    s.imageSpan = 512 + 341;
    c.complexity = 31;
    c.integration = 200;
    c.objectivity = 7;
    c.separation = 13;
    s.grayStep = 99;
    valSet(c, s);
    EXPECT_EQ(s.complexity, 31);
    EXPECT_EQ(s.integrationTolerance, 200);
    EXPECT_EQ(s.minObjectSize, 7 * 853 / 100);
    EXPECT_EQ(s.minAnchorSeparation, 13 * 853 / 100);
    EXPECT_EQ(c.integrationStep, 32);
    EXPECT_EQ(s.grayStep, 99) << "ValSet leaves GrayStep alone";
}

TEST(Workspace, EveryGraySumGetsItsLevelAtEveryWidthAndOffset) {
    // Every sum R + G + B from 0 to 765 appears, at widths that leave every
    // remainder after whole groups of pixels, so no position in a row and no
    // way the rows fall across buffer alignments is left out.
    std::vector<uint32_t> colours;
    for (uint32_t sum = 0; sum <= 765; ++sum) {
        const uint32_t r = std::min<uint32_t>(255, sum), g = std::min<uint32_t>(255, sum - r);
        colours.push_back(rgb(r, g, sum - r - g));
        colours.push_back(rgb(sum - r - g, r, g));
    }
    for (int w : {1, 3, 4, 5, 15, 16, 17, 31, 33, 63}) {
        const int h = int((colours.size() + size_t(w) - 1) / size_t(w)) + 1;
        for (bool forceGray : {false, true}) {
            Bitmap picture(w, h);
            for (size_t i = 0; i < picture.pixelCount(); ++i) picture.data()[i] = colours[(i * 7 + size_t(w)) % colours.size()];
            cwtest::RecordingProgress progress;
            auto ws = buildWorkspace(picture.clone(), forceGray, progress);
            for (int level = 0; level < 256; ++level)
                for (const uint32_t* p = ws->bucketBegin(level); p != ws->bucketEnd(level); ++p)
                    ASSERT_EQ(grayOf(picture.data()[*p]), uint32_t(level)) << "width " << w << " pixel " << *p;
            for (size_t i = 0; i < picture.pixelCount(); ++i) {
                const uint32_t g = grayOf(picture.data()[i]);
                const uint32_t expected = forceGray ? rgb(g, g, g) : picture.data()[i];
                for (const Bitmap* b : {&ws->display, &ws->source, &ws->colour, &ws->undo})
                    ASSERT_EQ(b->data()[i], expected) << "width " << w << " pixel " << i;
            }
        }
    }
}
