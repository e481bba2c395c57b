#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/colour_mag.h"
#include "core/palette_networks.h"
#include "core/selection_paint.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "test_support.h"
#include "tools/core_paint_routines.h"
#include "tools/interaction.h"
#include "tools/selection_paint.h"
#include "tools/tool_choice.h"
#include "tools/touch_paint.h"

using namespace cw;

namespace {

struct Canvas : cwtest::SessionRig<cwtest::ProbeProgress, cwtest::RecordingHost> {
    explicit Canvas(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.routines = std::make_unique<CorePaintRoutines>();
        selectTool(s.tools, kToolSelectionPaint);
        progress.events.clear();
    }
    void drag(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        pointerMove(s, false, x1, y1);
        pointerPress(s, MouseButton::Left, false, x1, y1);
        pointerMove(s, false, (x1 + x2) / 2, (y1 + y2) / 2);
        pointerMove(s, false, x2, y2);
        pointerClick(s);
        pointerUp(s, MouseButton::Left, false, x2, y2);
    }
};

using cwtest::networkColour;

Bitmap photo() { return decodeJpegFile(cwtest::testdata("photos/camera.jpg")); }

} // namespace

TEST(SelectionPaint, RegionSortsCornersAddsAColumnAndARowAndClips) {
    struct Row {
        Rect tool, region;
    };
    const Row rows[] = {
        {{10, 40, 50, 90}, {10, 40, 51, 91}}, {{50, 90, 10, 40}, {10, 40, 51, 91}}, {{50, 40, 10, 90}, {10, 40, 51, 91}},
        {{-5, -3, 3, 2}, {0, 0, 4, 3}},       {{90, 90, 99, 99}, {90, 90, 99, 99}}, {{5, 5, -20, 30}, {0, 5, 6, 31}},
        {{7, 7, 7, 7}, {7, 7, 8, 8}},
    };
    for (const Row& r : rows) EXPECT_EQ(selectionRegion(r.tool, 100, 100), r.region);
}

// Both drag directions, both paint modes, with and without Overwrite, and
// the eraser, over a photograph whose pixels carry codes 0, 5 and 127.
TEST(SelectionPaint, DraggedRectangleIsPaintedByTheCodeRules) {
    struct Row {
        bool masked, overwrite;
        int32_t code;
    };
    const Row rows[] = {{true, false, 9},  {true, true, 9},     {false, false, 17},
                        {false, true, 17}, {true, false, 127}, {false, false, 127}};
    for (const Row& r : rows)
        for (bool upLeft : {false, true}) {
            SCOPED_TRACE(testing::Message() << "masked " << r.masked << " overwrite " << r.overwrite << " code "
                                            << r.code << (upLeft ? " dragged up-left" : ""));
            Canvas c(photo());
            Workspace& ws = c.ws();
            for (size_t i = 0; i < ws.pixelCount(); ++i) {
                ws.codes[i] = int8_t(i % 3 == 0 ? 0 : i % 3 == 1 ? 5 : 127);
                if (ws.codes[i] == 5) ws.colour.data()[i] = ws.display.data()[i] = rgb(1, 2, 3);
            }
            const std::vector<int8_t> before(ws.codes.get(), ws.codes.get() + ws.pixelCount());
            c.s.tools.paintMode = r.masked ? kPaintMasked : kPaintInteractive;
            c.s.tools.overwrite = r.overwrite;
            c.s.palette.paletteCode = r.code;
            if (upLeft) c.drag(150, 190, 110, 140);
            else c.drag(110, 140, 150, 190);

            for (int32_t y = 130; y < 200; ++y)
                for (int32_t x = 100; x < 160; ++x) {
                    const size_t i = c.at(x, y);
                    const uint32_t src = ws.source.data()[i];
                    const bool inside = x >= 110 && x <= 151 && y >= 140 && y <= 191;
                    const bool paint = inside && (r.code == 127 || r.overwrite || before[i] != 5);
                    const uint32_t old = before[i] == 5 ? rgb(1, 2, 3) : src;
                    const uint32_t want = !paint            ? old
                                          : r.code == 127   ? src
                                          : r.masked       ? maskedPixel(src, c.s.palette.markerColour)
                                                           : networkColour(r.code, src);
                    ASSERT_EQ(ws.colour.data()[i], want) << x << ',' << y;
                    ASSERT_EQ(ws.codes[i], !paint ? before[i] : r.code == 127 ? 0 : r.code) << x << ',' << y;
                }
            EXPECT_TRUE(c.displayIsColour()) << "the band is gone and the result shown";
            EXPECT_FALSE(ws.selectionActive);
            EXPECT_TRUE(ws.imageModified);
            ASSERT_FALSE(c.host.changed.empty());
            const Rect all = std::accumulate(c.host.changed.begin(), c.host.changed.end(), c.host.changed[0],
                                             [](Rect a, const Rect& b) {
                                                 return Rect{std::min(a.x1, b.x1), std::min(a.y1, b.y1),
                                                             std::max(a.x2, b.x2), std::max(a.y2, b.y2)};
                                             });
            EXPECT_LE(all.x1, 110);
            EXPECT_LE(all.y1, 140);
            EXPECT_GE(all.x2, 152);
            EXPECT_GE(all.y2, 192);
        }
}

TEST(SelectionPaint, AcceptsEveryColourAndPutsSelectivityBack) {
    Canvas c(photo());
    c.s.tools.overwriteFactor = 0;
    c.s.palette.paletteCode = 6;
    c.drag(10, 10, 30, 20);
    EXPECT_EQ(c.s.tools.overwriteFactor, 0);
    for (int32_t y = 10; y <= 21; ++y)
        for (int32_t x = 10; x <= 31; ++x) ASSERT_EQ(c.code(x, y), 6) << x << ',' << y;
    EXPECT_EQ(c.code(32, 10), 0);
    EXPECT_EQ(c.code(10, 22), 0);
}

TEST(SelectionPaint, MeterFollowsTheRowsAndAbortKeepsTheRowsDone) {
    Canvas c(photo());
    c.s.palette.paletteCode = 6;
    c.ws().selectionRect = {20, 100, 60, 130};
    selPaint(c.s);
    EXPECT_EQ(c.progress.events, (std::vector<std::string>{"show", "lock", "hide", "unlock"}));
    EXPECT_EQ(c.progress.phases.back(), kSelectionPhase);
    EXPECT_FALSE(c.progress.hiddenAtPoll);
    EXPECT_FALSE(c.progress.unlockedAtPoll);
    ASSERT_EQ(c.progress.gaugeAtPoll.size(), 32u) << "one poll per row, 100..131";
    EXPECT_EQ(c.progress.gaugeAtPoll[0], 0);
    EXPECT_EQ(c.progress.gaugeAtPoll[1], 100 * 100 / 132);
    EXPECT_TRUE(std::is_sorted(c.progress.gaugeAtPoll.begin(), c.progress.gaugeAtPoll.end()));
    EXPECT_EQ(c.progress.progress(), 131 * 100 / 132);

    Canvas a(photo());
    a.s.palette.paletteCode = 6;
    a.progress.abortAtPoll = 3;
    a.ws().selectionRect = {20, 100, 60, 130};
    selPaint(a.s);
    for (int32_t y = 95; y < 140; ++y) ASSERT_EQ(a.code(30, y), y == 100 || y == 101 ? 6 : 0) << y;
    EXPECT_FALSE(a.progress.locked());
    EXPECT_FALSE(a.progress.visible());
    EXPECT_TRUE(a.ws().imageModified);
}

// The rectangle the painter gives back holds the rows it got through: all of
// them, those before an abort, or none.
TEST(SelectionPaint, PainterGivesBackTheRowsItProcessed) {
    struct Row {
        uint64_t abortAtPoll;  // 0: none
        Rect rows;             // x2 and y2 exclusive
    };
    const Row rows[] = {
        {0, {20, 100, 62, 132}}, {3, {20, 100, 62, 102}}, {32, {20, 100, 62, 131}}, {1, {}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "abort at poll " << r.abortAtPoll);
        Canvas c(photo());
        c.progress.abortAtPoll = r.abortAtPoll;
        const SelectionFill fill{.toolRect = {60, 130, 20, 100}, .code = 6, .factor = 255, .masked = true};
        const Rect got = colourSelection({c.ws(), c.s.palette, c.s.effects, paintRules(c.s.tools), c.s.pointer.shiftHeld}, fill, c.progress);
        EXPECT_EQ(got, r.rows);
        for (int32_t y = 95; y < 140; ++y)
            for (int32_t x = 15; x < 70; ++x) {
                const bool inside = x >= got.x1 && x < got.x2 && y >= got.y1 && y < got.y2;
                ASSERT_EQ(c.code(x, y), inside ? 6 : 0) << x << ',' << y;
            }
    }
}

TEST(SelectionPaint, ColourSelWritesOnlyTheWorkingPicture) {
    for (bool masked : {true, false}) {
        Canvas c(photo());
        c.s.palette.paletteCode = 6;
        c.ws().toolRect = {5, 5, 9, 9};
        masked ? colourSelM(c.s) : colourSelI(c.s);
        EXPECT_EQ(c.code(10, 10), 6);
        EXPECT_NE(c.ws().colour.at(10, 10), c.ws().source.at(10, 10));
        EXPECT_EQ(c.ws().display.at(10, 10), c.ws().source.at(10, 10));
        EXPECT_TRUE(c.host.changed.empty());
    }
}

TEST(SelectionPaint, MaskedMakeUpMarkerComplements) {
    Canvas c(photo());
    c.s.tools.paintMode = kPaintMasked;
    c.s.palette.markerColour = -1;
    c.s.palette.paletteCode = 3;
    c.ws().selectionRect = {0, 0, 4, 4};
    selPaint(c.s);
    EXPECT_EQ(c.ws().colour.at(2, 2), c.ws().source.at(2, 2) ^ 0x00ffffffu);
    EXPECT_EQ(c.ws().display.at(2, 2), c.ws().colour.at(2, 2));
}

// The region reaches a column and a row past the rectangle's inclusive
// corner; those pixels are painted, so they are shown too.
TEST(SelectionPaint, ShowsThePaintedColumnAndRowPastTheRectangle) {
    Canvas c(photo());
    c.s.palette.paletteCode = 6;
    c.ws().selectionRect = {20, 30, 40, 50};
    selPaint(c.s);
    for (auto [x, y] : {std::pair{41, 51}, {40, 30}, {20, 50}}) {
        EXPECT_EQ(c.code(x, y), 6) << x << ',' << y;
        EXPECT_NE(c.ws().colour.at(x, y), c.ws().source.at(x, y)) << x << ',' << y;
        EXPECT_EQ(c.ws().display.at(x, y), c.ws().colour.at(x, y)) << x << ',' << y;
    }
    EXPECT_EQ(c.code(42, 52), 0);
    ASSERT_EQ(c.host.changed.size(), 1u);
    EXPECT_EQ(c.host.changed[0], (Rect{20, 30, 42, 52}));
}
