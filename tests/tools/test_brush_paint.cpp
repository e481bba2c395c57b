#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/brush_paint.h"
#include "core/colour_mag.h"
#include "core/palette_networks.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "test_support.h"
#include "tools/brush_paint.h"
#include "tools/core_paint_routines.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"
#include "tools/touch_paint.h"

using namespace cw;

namespace {

using cwtest::gray;
using cwtest::networkColour;

struct Canvas : cwtest::SessionRig<cwtest::RecordingProgress, cwtest::RecordingHost> {
    explicit Canvas(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.routines = std::make_unique<CorePaintRoutines>();
        selectTool(s.tools, kToolBrush);
    }
    // One brush call over `window` as a press makes it.
    void press(const Rect& window, uint32_t picked, int32_t cx = 0, int32_t cy = 0, int32_t radius = 0) {
        s.ws->toolRect = s.ws->prevToolRect = window;
        s.ws->pickedColour = picked;
        s.ws->brushCentreX = cx;
        s.ws->brushCentreY = cy;
        s.ws->brushRadius = radius;
    }
    void clearCodes() { std::fill(s.ws->codes.get(), s.ws->codes.get() + s.ws->pixelCount(), int8_t(0)); }
    // Pixels carrying `code`, as the rectangle around them; and their count.
    size_t count(int8_t code, Rect* box = nullptr) const {
        size_t n = 0;
        Rect b{INT32_MAX, INT32_MAX, -1, -1};
        for (int32_t y = 0; y < s.ws->height; ++y)
            for (int32_t x = 0; x < s.ws->width; ++x)
                if (this->code(x, y) == code) {
                    ++n;
                    b = {std::min(b.x1, x), std::min(b.y1, y), std::max(b.x2, x), std::max(b.y2, y)};
                }
        if (box) *box = b;
        return n;
    }
};

Bitmap flat(int32_t w, int32_t h, uint32_t level = 100) {
    Bitmap b(w, h);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = gray(level);
    return b;
}

} // namespace

TEST(BrushPaint, RegionIsTheUncoveredStripOrTheWholeWindow) {
    struct Row {
        const char* what;
        Rect prev, cur;
        bool rounded;
        Rect region;
    };
    const Row rows[] = {
        {"press", {10, 10, 30, 30}, {10, 10, 30, 30}, false, {10, 10, 31, 31}},
        {"right by one", {10, 10, 30, 30}, {11, 10, 31, 30}, false, {29, 10, 32, 31}},
        {"left by one", {11, 10, 31, 30}, {10, 10, 30, 30}, false, {10, 10, 13, 31}},
        {"down by two", {10, 10, 30, 30}, {10, 12, 30, 32}, false, {10, 29, 31, 33}},
        {"up by two", {10, 12, 30, 32}, {10, 10, 30, 30}, false, {10, 10, 31, 14}},
        {"diagonal", {10, 10, 30, 30}, {11, 11, 31, 31}, false, {11, 11, 32, 32}},
        {"round, right by one", {10, 10, 30, 30}, {11, 10, 31, 30}, true, {11, 10, 32, 31}},
        {"round, down by one", {10, 10, 30, 30}, {10, 11, 30, 31}, true, {10, 11, 31, 32}},
        {"jump apart", {10, 10, 30, 30}, {40, 10, 60, 30}, false, {40, 10, 61, 31}},
        {"overlap of one pixel", {10, 10, 30, 30}, {29, 10, 49, 30}, false, {29, 10, 50, 31}},
        {"overlap of two pixels", {10, 10, 30, 30}, {28, 10, 48, 30}, false, {29, 10, 49, 31}},
        {"first move from the corner", {0, 0, 10, 10}, {0, 0, 11, 10}, false, {0, 0, 12, 11}},
        {"right edge", {80, 10, 99, 30}, {81, 10, 99, 30}, false, {98, 10, 99, 31}},
        {"clipped", {-5, -5, 120, 3}, {-5, -5, 120, 3}, false, {0, 0, 99, 4}},
    };
    for (const Row& r : rows)
        EXPECT_EQ(brushRegion(r.prev, r.cur, r.rounded, 100, 100), r.region) << r.what;
}

// The rectangle the painter gives back is what it painted: with every colour
// accepted and a rectangular brush, exactly the pixels now carrying the code.
TEST(BrushPaint, PainterGivesBackTheRegionItPainted) {
    struct Row {
        const char* what;
        Rect prev, cur;
        Rect painted;  // x2 and y2 exclusive
    };
    const Row rows[] = {
        {"press", {10, 10, 30, 30}, {10, 10, 30, 30}, {10, 10, 32, 32}},
        {"right by one", {10, 10, 30, 30}, {11, 10, 31, 30}, {29, 10, 33, 32}},
        {"up by two", {10, 12, 30, 32}, {10, 10, 30, 30}, {10, 10, 32, 15}},
        {"clipped", {-5, -5, 120, 3}, {-5, -5, 120, 3}, {0, 0, 100, 5}},
        {"at the corner", {95, 95, 99, 99}, {95, 95, 99, 99}, {95, 95, 100, 100}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        Canvas c(flat(100, 100));
        const BrushStroke stroke{.prev = r.prev, .cur = r.cur, .code = 4, .factor = 255, .masked = true};
        const Rect got = brushPaint({c.ws(), c.s.palette, c.s.effects, paintRules(c.s.tools), c.s.pointer.shiftHeld}, stroke);
        EXPECT_EQ(got, r.painted);
        Rect box;
        EXPECT_EQ(c.count(4, &box), size_t(got.x2 - got.x1) * size_t(got.y2 - got.y1));
        EXPECT_EQ(box, (Rect{got.x1, got.y1, got.x2 - 1, got.y2 - 1}));
        EXPECT_EQ(c.ws().curPixelIndex, int32_t(c.at(got.x2 - 1, got.y2 - 1)));
    }
}

// The strip of a move is what gets painted, checked on the pixel codes.
TEST(BrushPaint, MoveAlongOneAxisPaintsOnlyTheStrip) {
    Canvas c(flat(60, 40));
    c.s.tools.paintMode = kPaintMasked;
    c.s.tools.rounded = false;
    c.s.tools.brushWidth = c.s.tools.brushWidthField = 5;
    c.s.tools.brushHeight = c.s.tools.brushHeightField = 5;
    c.s.palette.paletteCode = 4;
    pointerMove(c.s, false, 20, 20);
    pointerPress(c.s, MouseButton::Left, false, 20, 20);
    Rect box;
    EXPECT_EQ(c.count(4, &box), 11u * 11u);
    EXPECT_EQ(box, (Rect{16, 16, 26, 26})) << "press window (16, 16, 25, 25) and one more";
    pointerMove(c.s, false, 21, 20);  // window (16, 15, 26, 25)
    c.clearCodes();
    pointerMove(c.s, false, 22, 20);  // window (17, 15, 27, 25)
    EXPECT_EQ(c.count(4, &box), 4u * 12u);
    EXPECT_EQ(box, (Rect{25, 15, 28, 26}));
    EXPECT_EQ(c.ws().colour.at(27, 25), maskedPixel(gray(100), c.s.palette.markerColour));
    EXPECT_EQ(c.ws().display.at(27, 25), gray(100)) << "the painter does not write the display";
    pointerClick(c.s);
    pointerUp(c.s, MouseButton::Left, false, 22, 20);
    EXPECT_EQ(c.ws().display.at(27, 25), c.ws().colour.at(27, 25)) << "the release shows the strip";
}

TEST(BrushPaint, RoundBrushIsADiscClippedToTheWindow) {
    Canvas c(flat(100, 100));
    c.s.tools.paintMode = kPaintMasked;
    c.s.tools.rounded = true;
    c.s.palette.paletteCode = 4;
    quickBrush(c.s.tools, {"10 x 5", 10, 5});
    pointerMove(c.s, false, 50, 50);
    pointerPress(c.s, MouseButton::Left, false, 50, 50);
    EXPECT_EQ(c.ws().toolRect, (Rect{41, 46, 60, 55}));
    EXPECT_EQ(c.ws().brushRadius, 10);
    size_t inside = 0;
    for (int32_t y = 0; y < 100; ++y)
        for (int32_t x = 0; x < 100; ++x) {
            const int32_t dx = x - 50, dy = y - 50;
            const bool want = dx * dx + dy * dy <= 100 && x >= 41 && x <= 61 && y >= 46 && y <= 56;
            ASSERT_EQ(c.code(x, y) == 4, want) << x << ',' << y;
            inside += want;
        }
    EXPECT_LT(inside, 314u) << "rows above 46 of the disc are cut off";
    EXPECT_EQ(c.code(50, 40), 0);
    EXPECT_EQ(c.code(50, 56), 4);
    EXPECT_EQ(c.code(42, 56), 4);
    EXPECT_EQ(c.code(41, 56), 0);
}

// Selectivity: the displayed colour against the picked one, including the
// displayed picture differing from the working one (an outline).
TEST(BrushPaint, SelectivityReadsTheDisplayedPicture) {
    Bitmap b(8, 1);
    const uint32_t row[8] = {rgb(100, 100, 100), rgb(110, 100, 100), rgb(100, 90, 100),  rgb(100, 100, 111),
                             rgb(89, 100, 100),  rgb(100, 100, 100), rgb(200, 0, 0),     rgb(100, 110, 90)};
    for (int32_t x = 0; x < 8; ++x) b.at(x, 0) = row[x];
    struct Case {
        int32_t factor;
        const char* painted;
    };
    for (const Case& k : {Case{0, "#......."}, Case{10, "###....#"}, Case{255, "########"}}) {
        Canvas c(b.clone());
        c.s.tools.paintMode = kPaintMasked;
        c.s.tools.rounded = false;
        c.s.tools.overwriteFactor = k.factor;
        c.s.palette.paletteCode = 6;
        c.ws().display.at(5, 0) ^= 0x00ffffffu;  // outlined: seen complemented
        c.press({0, 0, 7, 0}, rgb(100, 100, 100));
        colourWinM(c.s);
        std::string got;
        for (int32_t x = 0; x < 8; ++x) got += c.code(x, 0) == 6 ? '#' : '.';
        EXPECT_EQ(got, k.painted) << "factor " << k.factor;
    }
}

TEST(BrushPaint, PressWithSelectivityZeroSkipsItsOwnOutline) {
    Canvas c(flat(40, 40));
    c.s.tools.rounded = false;
    c.s.tools.overwriteFactor = 0;
    c.s.tools.brushWidth = c.s.tools.brushWidthField = 5;
    c.s.tools.brushHeight = c.s.tools.brushHeightField = 5;
    c.s.palette.paletteCode = 17;
    pointerMove(c.s, false, 20, 20);
    pointerPress(c.s, MouseButton::Left, false, 20, 20);  // window (16, 16, 25, 25)
    for (int32_t y = 16; y <= 26; ++y)
        for (int32_t x = 16; x <= 26; ++x) {
            const bool outline = (x == 16 || x == 24 || y == 16 || y == 24) && x <= 24 && y <= 24;
            ASSERT_EQ(c.code(x, y), outline ? 0 : 17) << x << ',' << y;
        }
}

TEST(BrushPaint, EraserRestoresTheSourceWithEachPaintersCode) {
    for (bool masked : {true, false}) {
        Canvas c(flat(10, 10));
        for (size_t i = 0; i < c.ws().pixelCount(); ++i) {
            c.ws().colour.data()[i] = c.ws().display.data()[i] = rgb(1, 2, 3);
            c.ws().codes[i] = 5;
        }
        c.s.palette.paletteCode = 127;
        c.s.tools.rounded = false;
        c.press({2, 2, 5, 5}, 0);
        masked ? colourWinM(c.s) : colourWinI(c.s);
        for (int32_t y = 0; y < 10; ++y)
            for (int32_t x = 0; x < 10; ++x) {
                const bool erased = x >= 2 && x <= 6 && y >= 2 && y <= 6;
                ASSERT_EQ(c.code(x, y), erased ? (masked ? 127 : 0) : 5) << x << ',' << y << " masked " << masked;
                ASSERT_EQ(c.ws().colour.at(x, y), erased ? gray(100) : rgb(1, 2, 3));
            }
        EXPECT_EQ(c.ws().display.at(3, 3), rgb(1, 2, 3)) << "the painter does not write the display";
    }
}

TEST(BrushPaint, InteractiveBrushLeavesItsOwnCodeAloneUnlessOverwrite) {
    for (bool overwrite : {false, true}) {
        Canvas c(flat(6, 6, 128));
        c.s.tools.rounded = false;
        c.s.tools.overwrite = overwrite;
        c.s.palette.paletteCode = 17;
        c.ws().codes[c.at(1, 1)] = 17;
        c.ws().colour.at(1, 1) = rgb(9, 9, 9);
        c.press({0, 0, 3, 3}, 0);
        colourWinI(c.s);
        EXPECT_EQ(c.ws().colour.at(2, 2), rgb(2, 219, 2)) << "code 17 at gray 128";
        EXPECT_EQ(c.code(2, 2), 17);
        EXPECT_EQ(c.ws().colour.at(1, 1), overwrite ? rgb(2, 219, 2) : rgb(9, 9, 9));
        EXPECT_EQ(c.ws().colour.at(5, 5), gray(128));
    }
}

TEST(BrushPaint, StrokeOverAPhotographPaintsOnlyNearThePickedTone) {
    Canvas c(decodeJpegFile(cwtest::testdata("photos/camera.jpg")));
    c.s.tools.overwriteFactor = 20;
    c.s.tools.rounded = true;
    c.s.palette.paletteCode = 6;
    pointerMove(c.s, false, 100, 300);
    pointerPress(c.s, MouseButton::Left, false, 100, 300);
    const uint32_t picked = c.ws().pickedColour;
    EXPECT_EQ(picked, c.ws().source.at(100, 300));
    for (int32_t x = 101; x <= 160; ++x) pointerMove(c.s, false, x, 300);
    pointerClick(c.s);
    pointerUp(c.s, MouseButton::Left, false, 160, 300);
    size_t painted = 0;
    for (int32_t y = 0; y < c.ws().height; ++y)
        for (int32_t x = 0; x < c.ws().width; ++x) {
            if (c.code(x, y) != 6) continue;
            ++painted;
            const int32_t dy = y - 300;
            ASSERT_LE(dy * dy, 11 * 11) << x << ',' << y;
            ASSERT_TRUE(x >= 90 && x <= 171) << x << ',' << y;
            // Seen as it was, or complemented under the outline.
            const uint32_t s = c.ws().source.at(x, y);
            ASSERT_TRUE(colourTestAccepts(s, picked, 20) || colourTestAccepts(s ^ 0x00ffffffu, picked, 20))
                << x << ',' << y;
            ASSERT_EQ(c.ws().colour.at(x, y), networkColour(6, s)) << x << ',' << y;
        }
    EXPECT_GT(painted, 200u);
}
