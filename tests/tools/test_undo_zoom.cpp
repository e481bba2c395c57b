#include <gtest/gtest.h>

#include "actions/headless_host.h"
#include "actions/resample.h"
#include "actions/session.h"
#include "core/resample.h"
#include "document/tool_settings.h"
#include "document/undo.h"
#include "document/zoom.h"
#include "test_support.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"

using namespace cw;

namespace {

struct Picture : cwtest::SessionRig<> {
    explicit Picture(int w = 100, int h = 80) : SessionRig("scratch") {
        Bitmap b(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) b.at(x, y) = rgb((x * 3) & 255, (y * 5) & 255, (x ^ y) & 255);
        s.ws = buildWorkspace(std::move(b), false, progress);
        s.imageWindowOpen = true;
    }
    void paint(uint32_t c) {
        for (size_t i = 0; i < s.ws->pixelCount(); i += 7) s.ws->colour.data()[i] = c;
        s.ws->display.copyFrom(s.ws->colour);
    }
    void select(int x1, int y1, int x2, int y2) {
        selectTool(s.tools, kToolRectangle);
        pointerPress(s, MouseButton::Left, false, x1, y1);
        pointerMove(s, false, x2, y2);
        pointerClick(s);
        pointerUp(s, MouseButton::Left, false, x2, y2);
    }
};

} // namespace

TEST(Undo, TwoUndosRestoreAndPixelCodesStay) {
    Picture p;
    const Bitmap loaded = p.s.ws->colour.clone();
    pointerPress(p.s, MouseButton::Left, false, 5, 5);  // the snapshot at the press
    pointerUp(p.s, MouseButton::Left, false, 5, 5);
    p.paint(rgb(200, 0, 0));
    p.s.ws->codes[0] = 6;
    const Bitmap painted = p.s.ws->colour.clone();
    undoClick(p.s);
    EXPECT_TRUE(cwtest::samePixels(p.s.ws->colour, loaded));
    EXPECT_TRUE(cwtest::samePixels(p.s.ws->display, loaded));
    EXPECT_EQ(p.s.ws->codes[0], 6) << "only the pictures are exchanged";
    undoClick(p.s);
    EXPECT_TRUE(cwtest::samePixels(p.s.ws->colour, painted));
    EXPECT_TRUE(cwtest::samePixels(p.s.ws->display, painted));

    // Checking "Un-do Enabled" snapshots at once; unchecked, Un-do does nothing.
    undoEnabledClick(p.s, false);
    undoClick(p.s);
    EXPECT_TRUE(cwtest::samePixels(p.s.ws->colour, painted));
    undoEnabledClick(p.s, true);
    p.paint(rgb(0, 0, 200));
    undoClick(p.s);
    EXPECT_TRUE(cwtest::samePixels(p.s.ws->colour, painted));
}

TEST(Zoom, FactorsSizesAndMapping) {
    struct Row {
        int field, factor, width, height;
    };
    for (const Row& r : {Row{3, 3, 117, 57}, Row{0, 1, 39, 19}, Row{-1, 1, 39, 19}, Row{-2, -2, 19, 9},
                         Row{1, 1, 39, 19}, Row{10, 10, 390, 190}}) {
        Picture p;
        p.select(10, 10, 50, 30);
        ASSERT_TRUE(p.s.ws->selectionActive);
        p.s.zoom.factorField = r.field;
        zoomClick(p.s);
        EXPECT_FALSE(p.s.ws->selectionActive) << "Zoom consumes the selection";
        EXPECT_TRUE(cwtest::samePixels(p.s.ws->display, p.s.ws->colour)) << "the band is erased";
        const ZoomView& z = p.s.zoom;
        EXPECT_EQ(z.sourceRect, (Rect{11, 11, 49, 29}));
        EXPECT_EQ(std::pair(z.picture.width(), z.picture.height()), std::pair(39, 19));
        EXPECT_EQ(z.factor, r.factor) << r.field;
        EXPECT_EQ(std::pair(z.shownWidth(), z.shownHeight()), std::pair(r.width, r.height)) << r.field;
        EXPECT_EQ(z.picture.at(0, 0), p.s.ws->display.at(11, 11));
        EXPECT_EQ(z.picture.at(38, 18), p.s.ws->display.at(49, 29));
    }
    ZoomView z;
    z.factor = 4;
    z.sourceRect = {11, 11, 40, 40};
    int x, y;
    mapViewToImage(z, 9, 3, x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(13, 11));
    z.factor = -2;
    z.sourceRect = {0, 0, 40, 40};
    mapViewToImage(z, 5, 7, x, y);
    EXPECT_EQ(std::pair(x, y), std::pair(10, 14));
}

TEST(Zoom, AutoSyncOffWaitsForTheReleaseAndResetShowsTheOriginal) {
    Picture p;
    zoomClick(p.s);  // no selection: the whole picture
    EXPECT_EQ(p.s.zoom.sourceRect, (Rect{1, 1, 98, 78}));
    p.s.zoom.autoSync = false;
    selectTool(p.s.tools, kToolSelectionPaint);
    pointerPress(p.s, MouseButton::Left, false, 20, 20);
    // As if the stroke had painted (6, 6).
    p.s.ws->colour.at(6, 6) = p.s.ws->display.at(6, 6) = rgb(1, 2, 3);
    pointerMove(p.s, false, 30, 30);
    EXPECT_NE(p.s.zoom.picture.at(5, 5), p.s.ws->display.at(6, 6)) << "no refresh while dragging";
    pointerUp(p.s, MouseButton::Left, false, 30, 30);
    EXPECT_EQ(p.s.zoom.picture.at(5, 5), p.s.ws->display.at(6, 6)) << "the release refreshes";

    zoomReset(p.s);
    EXPECT_EQ(p.s.zoom.picture.at(5, 5), p.s.ws->source.at(6, 6));
    EXPECT_EQ(p.s.ws->colour.at(6, 6), rgb(1, 2, 3)) << "the picture keeps its colours";
}

TEST(Resample, ScaleFieldRulesAndTargetSizes) {
    ScaleField f;
    int v = -2;
    scaleFieldChange(f, v + 1);
    EXPECT_EQ(std::tuple(f.value, f.step, f.scaleEnabled), std::tuple(0, 2, false));
    scaleFieldChange(f, f.value + f.step);
    EXPECT_EQ(std::tuple(f.value, f.step, f.scaleEnabled), std::tuple(2, 1, true));
    scaleFieldChange(f, -1);
    EXPECT_EQ(f.value, 0);

    const Rect whole{0, 0, 299, 199};
    struct Row {
        bool crop;
        int scale, w, h;
    };
    for (const Row& r : {Row{false, 2, 600, 400}, Row{false, -3, 100, 66}, Row{false, 0, 300, 200},
                         Row{true, 5, 300, 200}, Row{false, -10, 30, 20}}) {
        int w, h;
        resetTargetSize(whole, r.crop, r.scale, w, h);
        EXPECT_EQ(std::pair(w, h), std::pair(r.w, r.h)) << r.scale;
    }
    Bitmap src(3, 2);
    for (int i = 0; i < 6; ++i) src.data()[i] = rgb(i, 0, 0);
    const Bitmap up = resampleNearest(src, 6, 4);
    EXPECT_EQ(up.at(5, 3), rgb(5, 0, 0));
    EXPECT_EQ(up.at(1, 1), rgb(0, 0, 0));
    EXPECT_EQ(up.at(2, 2), rgb(4, 0, 0));
}

TEST(Resample, ReSetMakesTheColouredPictureTheNewOriginal) {
    Picture p(300, 200);
    p.paint(rgb(9, 8, 7));
    p.s.ws->codes[3] = 5;
    p.s.scale.value = 0;
    ASSERT_TRUE(resetClick(p.s));
    ASSERT_TRUE(p.s.ws);
    EXPECT_EQ(p.s.ws->width, 300);
    EXPECT_EQ(p.s.ws->source.at(0, 0), rgb(9, 8, 7));
    EXPECT_EQ(p.s.ws->codes[3], 0);
    EXPECT_EQ(p.s.ws->freePixelCount, 300 * 200);
    EXPECT_TRUE(std::filesystem::is_empty(p.dir / "scratch")) << "the hand-over file is gone";

    scaleFieldChange(p.s.scale, -3);
    ASSERT_TRUE(resetClick(p.s));
    EXPECT_EQ(std::pair(p.s.ws->width, p.s.ws->height), std::pair(100, 66));

    // A pending selection crops whatever the scale says; Force Gray applies.
    scaleFieldChange(p.s.scale, 4);
    p.select(10, 20, 40, 50);
    const uint32_t corner = p.s.ws->colour.at(10, 20);
    p.s.controls.forceGray = true;
    ASSERT_TRUE(resetClick(p.s));
    EXPECT_EQ(std::pair(p.s.ws->width, p.s.ws->height), std::pair(31, 31));
    const uint32_t g = grayOf(corner);
    EXPECT_EQ(p.s.ws->source.at(0, 0), rgb(g, g, g));
    EXPECT_FALSE(p.s.ws->selectionActive);
    EXPECT_FALSE(p.s.cropPending);

    // Enlarging past what memory holds (or the int32 range) is refused before
    // any allocation, with the set-up's message, and the picture stays.
    p.s.controls.forceGray = false;
    p.paint(rgb(1, 2, 3));
    for (int factor : {99, 99, 99}) {
        scaleFieldChange(p.s.scale, factor);
        p.s.ws->selectionActive = false;
        if (!resetClick(p.s)) break;
    }
    ASSERT_FALSE(p.messages.shown.empty());
    EXPECT_EQ(p.messages.shown.back(), kSetupOutOfMemory);
    ASSERT_TRUE(p.s.ws);
    EXPECT_EQ(p.s.ws->colour.at(0, 0), rgb(1, 2, 3));
}
