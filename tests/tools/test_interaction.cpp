#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <sstream>

#include "actions/headless_host.h"
#include "actions/session.h"
#include "core/outline.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "test_support.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"

using namespace cw;

namespace {

// Records which routine a gesture chose, with its arguments.
class RecordingRoutines : public PaintRoutines {
public:
    std::vector<std::string> calls;
    int snapshots = 0;
    void undoSnapshot(Document& s) override {
        ++snapshots;
        PaintRoutines::undoSnapshot(s);
    }
    void colourWinI(Document& s) override { calls.push_back("ColourWinI " + rect(s.ws->toolRect)); }
    void colourWinM(Document& s) override { calls.push_back("ColourWinM " + rect(s.ws->toolRect)); }
    void selPaint(Document& s) override { calls.push_back("SelPaint " + rect(s.ws->selectionRect)); }
    void touchPaintMOY(Document& s, int32_t x, int32_t y, int32_t c) override { add("TouchPaintMOY", s, x, y, c); }
    void touchPaintMON(Document& s, int32_t x, int32_t y, int32_t c) override { add("TouchPaintMON", s, x, y, c); }
    void touchPaintIOY(Document& s, int32_t x, int32_t y, int32_t c) override { add("TouchPaintIOY", s, x, y, c); }
    void touchPaintION(Document& s, int32_t x, int32_t y, int32_t c) override { add("TouchPaintION", s, x, y, c); }
    void clickPaintM(Document& s, int32_t x, int32_t y, int32_t c) override { add("ClickPaintM", s, x, y, c); }
    void clickPaintI(Document& s, int32_t x, int32_t y, int32_t c) override { add("ClickPaintI", s, x, y, c); }

    static std::string rect(const Rect& r) {
        std::ostringstream o;
        o << r.x1 << ',' << r.y1 << ',' << r.x2 << ',' << r.y2;
        return o.str();
    }

private:
    void add(const char* name, Document& s, int32_t x, int32_t y, int32_t c) {
        std::ostringstream o;
        o << name << ' ' << x << ' ' << y << ' ' << c << " limit " << rect(s.pointer.paintLimitRect);
        calls.push_back(o.str());
    }
};

struct Picture : cwtest::SessionRig<> {
    RecordingRoutines* routines;

    explicit Picture(int w = 100, int h = 100) {
        Bitmap b(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) b.at(x, y) = rgb(x & 255, y & 255, (x + y) & 255);
        s.ws = buildWorkspace(std::move(b), false, progress);
        s.imageWindowOpen = true;
        auto r = std::make_unique<RecordingRoutines>();
        routines = r.get();
        s.routines = std::move(r);
    }
    void tap(int x, int y, MouseButton b = MouseButton::Left) { pointerTap(s, b, false, x, y); }
    void drag(int x1, int y1, int x2, int y2) {
        pointerMove(s, false, x1, y1);
        pointerPress(s, MouseButton::Left, false, x1, y1);
        pointerMove(s, false, x2, y2);
        pointerRelease(s, MouseButton::Left, false, x2, y2, insidePicture(s, x2, y2));
    }
};

} // namespace

TEST(Interaction, RectangularSelectionLimitsExactlyOneTouchPaint) {
    Picture p;
    selectTool(p.s.tools, kToolRectangle);
    p.tap(30, 30);  // no movement: no selection
    EXPECT_FALSE(p.s.ws->selectionActive);
    EXPECT_FALSE(p.s.cropPending);

    p.drag(50, 40, 10, 90);  // leftwards: no selection either
    EXPECT_FALSE(p.s.ws->selectionActive);

    p.drag(10, 40, 50, 90);
    EXPECT_TRUE(p.s.ws->selectionActive);
    EXPECT_EQ(p.s.pointer.paintLimitRect, (Rect{10, 40, 50, 90}));
    EXPECT_TRUE(p.s.cropPending);
    EXPECT_FALSE(p.displayIsColour()) << "the band stays visible";

    selectTool(p.s.tools, kToolTouch);
    p.tap(20, 50);
    p.tap(20, 50);
    ASSERT_EQ(p.routines->calls.size(), 2u);
    EXPECT_EQ(p.routines->calls[0], "TouchPaintIOY 20 50 1 limit 10,40,50,90");
    EXPECT_EQ(p.routines->calls[1], "TouchPaintIOY 20 50 1 limit 0,0,99,99");
    EXPECT_TRUE(p.displayIsColour()) << "the next press erased the band";
    EXPECT_FALSE(p.s.cropPending);
}

TEST(Interaction, BrushWindowAtTheBorderAndItsOutline) {
    Picture p;
    selectTool(p.s.tools, kToolBrush);
    pointerMove(p.s, false, 0, 0);
    pointerPress(p.s, MouseButton::Left, false, 0, 0);
    EXPECT_EQ(p.s.ws->toolRect, (Rect{0, 0, 10, 10}));
    EXPECT_EQ(p.s.ws->brushRadius, 10);
    // The outline complements pixels of the display only.
    int changed = 0;
    for (size_t i = 0; i < p.s.ws->pixelCount(); ++i)
        if (p.s.ws->display.data()[i] != p.s.ws->colour.data()[i]) {
            EXPECT_EQ(p.s.ws->display.data()[i], p.s.ws->colour.data()[i] ^ 0x00ffffffu);
            ++changed;
        }
    EXPECT_GT(changed, 20);
    pointerMove(p.s, false, 1, 0);
    EXPECT_EQ(p.s.ws->toolRect, (Rect{0, 0, 11, 10}));
    pointerMove(p.s, false, 99, 99);
    EXPECT_EQ(p.s.ws->toolRect, (Rect{89, 89, 99, 99}));
    pointerRelease(p.s, MouseButton::Left, false, 99, 99, true);
    EXPECT_EQ(p.routines->calls,
              (std::vector<std::string>{"ColourWinI 0,0,10,10", "ColourWinI 0,0,11,10", "ColourWinI 89,89,99,99"}));
    EXPECT_TRUE(p.displayIsColour()) << "the release erases the outline";
    EXPECT_EQ(p.s.ws->toolRect, Rect{});
    EXPECT_TRUE(p.s.ws->imageModified);

    p.s.tools.paintMode = kPaintMasked;
    p.s.tools.rounded = false;
    p.tap(50, 50);
    EXPECT_EQ(p.routines->calls.back(), "ColourWinM 41,41,60,60");
}

TEST(Interaction, TouchPaintDispatchFollowsScopeModeAndOverwrite) {
    struct Row {
        int scope, mode;
        bool overwrite;
        const char* routine;
    };
    const Row rows[] = {{kScopeImageWide, kPaintMasked, true, "TouchPaintMOY"},
                        {kScopeImageWide, kPaintMasked, false, "TouchPaintMON"},
                        {kScopeImageWide, kPaintInteractive, true, "TouchPaintIOY"},
                        {kScopeImageWide, kPaintInteractive, false, "TouchPaintION"},
                        {kScopeConnected, kPaintMasked, true, "ClickPaintM"},
                        {kScopeConnected, kPaintInteractive, false, "ClickPaintI"}};
    for (const Row& r : rows) {
        Picture p;
        selectTool(p.s.tools, kToolTouch);
        p.s.tools.scope = r.scope;
        p.s.tools.paintMode = r.mode;
        p.s.tools.overwrite = r.overwrite;
        p.s.palette.paletteCode = 7;
        p.tap(3, 4);
        ASSERT_EQ(p.routines->calls.size(), 1u) << r.routine;
        EXPECT_EQ(p.routines->calls[0].substr(0, p.routines->calls[0].find(' ')), r.routine);
        EXPECT_EQ(p.routines->calls[0].substr(0, p.routines->calls[0].find(" limit")),
                  std::string(r.routine) + " 3 4 7");
    }
    // The eraser with no effects paints nothing on a click.
    Picture p;
    selectTool(p.s.tools, kToolTouch);
    p.s.palette.paletteCode = 127;
    p.tap(3, 4);
    EXPECT_TRUE(p.routines->calls.empty());
    // A press released outside the picture gets no click: nothing painted.
    p.s.palette.paletteCode = 5;
    pointerMove(p.s, false, 3, 4);
    pointerPress(p.s, MouseButton::Left, false, 3, 4);
    pointerMove(p.s, false, 300, 4);
    pointerRelease(p.s, MouseButton::Left, false, 300, 4, insidePicture(p.s, 300, 4));
    EXPECT_TRUE(p.routines->calls.empty());
}

TEST(Interaction, RightClickPicksUpTheCodeUnderThePointer) {
    Picture p;
    p.s.ws->codes[5 * 100 + 6] = 9;
    p.s.ws->codes[7 * 100 + 8] = -3;
    for (auto [x, y, code] : {std::tuple{6, 5, 9}, {8, 7, -3}, {1, 1, 0}}) {
        p.s.palette.paletteCode = 42;
        p.tap(x, y, MouseButton::Right);
        EXPECT_EQ(p.s.palette.paletteCode, code);
    }
    EXPECT_TRUE(p.routines->calls.empty());
    EXPECT_EQ(p.routines->snapshots, 0) << "only a left press takes the undo snapshot";
    // Outside the picture the last code stays.
    p.s.ws->codes[0] = 4;
    pointerMove(p.s, false, 0, 0);
    pointerMove(p.s, false, -5, 1000);
    pointerPress(p.s, MouseButton::Right, false, -5, 1000);
    pointerUp(p.s, MouseButton::Right, false, -5, 1000);
    EXPECT_EQ(p.s.palette.paletteCode, 4);
}

TEST(Interaction, MovingWithoutAButtonOnlyUpdatesTheReadOuts) {
    Picture p;
    const Bitmap before = p.s.ws->display.clone();
    p.s.ws->codes[12 * 100 + 34] = 17;
    pointerMove(p.s, false, 34, 12);
    EXPECT_EQ(p.s.pointer.positionLabel, " x:34  y:12 ");
    EXPECT_EQ(p.s.pointer.colourLabel, " R:34 G:12 B:46 ");
    EXPECT_EQ(p.s.pointer.swatchColour, rgb(34, 12, 46));
    EXPECT_EQ(p.s.ws->pointedCode, 17);
    EXPECT_EQ(0, std::memcmp(before.data(), p.s.ws->display.data(), before.pixelCount() * 4));
    EXPECT_TRUE(p.routines->calls.empty());
}

TEST(Interaction, PressSetsShiftDamperAndTheUndoSnapshotWithoutOutlines) {
    Picture p;
    // A pending band on the display must not reach the undo snapshot.
    selectTool(p.s.tools, kToolRectangle);
    p.drag(10, 10, 60, 60);
    ASSERT_FALSE(p.displayIsColour());
    selectTool(p.s.tools, kToolBrush);
    p.s.ws->colour.at(0, 0) = rgb(1, 2, 3);  // the picture has changed since load
    pointerPress(p.s, MouseButton::Left, true, 20, 20);
    EXPECT_EQ(0, std::memcmp(p.s.ws->undo.data(), p.s.ws->colour.data(), p.s.ws->pixelCount() * 4));
    EXPECT_TRUE(p.s.pointer.shiftHeld);
    pointerUp(p.s, MouseButton::Left, true, 20, 20);
    EXPECT_FALSE(p.s.pointer.shiftHeld);

    struct Row {
        const char* strength;
        int pressure, code;
        int blend;
        bool damper;
    };
    for (const Row& r : {Row{"0", 0, 1, 1, false}, Row{"1", 0, 1, 1, false}, Row{"0", 0, 88, 1, true},
                         Row{"5", 0, 1, 5, true}, Row{"5", -5, 1, 10, true}, Row{"12", 0, 1, 9, true},
                         Row{"0", -1, 1, 2, true}}) {
        p.s.palette.strengthText = r.strength;
        p.s.palette.pressure = r.pressure;
        p.s.palette.paletteCode = r.code;
        pointerPress(p.s, MouseButton::Left, false, 20, 20);
        pointerUp(p.s, MouseButton::Left, false, 20, 20);
        EXPECT_EQ(p.s.palette.blendStrength, r.blend) << r.strength << " " << r.pressure;
        EXPECT_EQ(p.s.palette.damperOn, r.damper) << r.strength << " " << r.code;
    }
    p.s.pointer.undoEnabled = false;
    const int snapshots = p.routines->snapshots;
    p.tap(5, 5);
    EXPECT_EQ(p.routines->snapshots, snapshots);
}

TEST(Interaction, SelectionPaintGetsTheClampedRectangle) {
    Picture p(40, 30);
    selectTool(p.s.tools, kToolSelectionPaint);
    p.drag(5, 6, 70, 80);
    EXPECT_EQ(p.routines->calls, std::vector<std::string>{"SelPaint 5,6,39,29"});
    EXPECT_FALSE(p.s.ws->selectionActive);
}

TEST(ToolSettings, ToolsGroupsAndExclusions) {
    ToolSettings t;
    selectTool(t, kToolTouch);
    EXPECT_TRUE(t.overwrite && t.layered) << "tool 2 checks both";
    EXPECT_TRUE(t.groups.integrationShown && t.groups.overwriteShown && !t.groups.brushShown);
    layeredClicked(t, true);
    EXPECT_TRUE(t.overwrite) << "with tool 2 both may be checked";

    selectTool(t, kToolBrush);
    EXPECT_FALSE(t.overwrite || t.layered);
    EXPECT_TRUE(t.groups.brushShown && t.groups.overwriteShown && !t.groups.integrationShown);
    layeredClicked(t, true);
    overwriteClicked(t, true);
    EXPECT_TRUE(t.overwrite);
    EXPECT_FALSE(t.layered);
    layeredClicked(t, true);
    EXPECT_FALSE(t.overwrite);

    selectTool(t, kToolRectangle);
    EXPECT_FALSE(t.groups.brushShown || t.groups.overwriteShown || t.groups.integrationShown);
    EXPECT_TRUE(t.layered) << "the rectangle tool leaves Overwrite and Layered alone";

    selectTool(t, kToolTouch);
    scopeChanged(t, kScopeConnected);
    EXPECT_FALSE(t.overwrite);
    EXPECT_FALSE(t.groups.overwriteShown);
    scopeChanged(t, kScopeImageWide);
    EXPECT_TRUE(t.groups.overwriteShown);
    EXPECT_FALSE(t.overwrite) << "back to image-wide, Overwrite stays unchecked";

    quickBrush(t, kQuickBrushes[4]);
    EXPECT_EQ(t.brushWidth, 10);
    EXPECT_EQ(t.brushHeight, 5);
    brushWidthChanged(t, 99);
    EXPECT_EQ(t.brushWidthField, 40);
}

// A drag far past the picture's edge: the rubber band and the brush ellipse
// touch only what lies on the picture, and drawing twice leaves it as it was.
TEST(Outline, ShapesReachingFarPastThePictureTouchOnlyItsPixels) {
    Bitmap b(16, 12);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = rgb(uint32_t(i), 0, 0);
    const Bitmap before = b.clone();
    invertRectangle(b, Rect{1, 1, INT32_MAX, INT32_MAX});
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 16; ++x) {
            const bool edge = (y == 1 && x >= 1) || (x == 1 && y >= 2);
            EXPECT_EQ(b.at(x, y) != before.at(x, y), edge) << x << "," << y;
        }
    invertRectangle(b, Rect{1, 1, INT32_MAX, INT32_MAX});
    invertEllipse(b, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    invertEllipse(b, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    invertEllipse(b, Rect{-40, 3, 8, 9});
    EXPECT_NE(std::memcmp(b.data(), before.data(), b.pixelCount() * 4), 0);
    invertEllipse(b, Rect{-40, 3, 8, 9});
    EXPECT_EQ(std::memcmp(b.data(), before.data(), b.pixelCount() * 4), 0);
}
