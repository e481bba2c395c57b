// The pointer router and what each tool adds to the gestures, judged by the
// pixels and codes they leave; and the image window's Un-do, Zoom and Re-set
// over what the gestures left.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <set>
#include <string>

#include "actions/crop_scale_command.h"
#include "actions/session.h"
#include "core/outline.h"
#include "core/resample.h"
#include "core/tone_fill.h"
#include "core/workspace.h"
#include "document/tool_settings.h"
#include "document/undo.h"
#include "document/zoom.h"
#include "test_support.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"
#include "tools/tool_registry.h"

using namespace cw;

namespace {

// Counts the zoomed view's refreshes.
class ZoomCounter final : public WindowHost {
public:
    int refreshes = 0;
    void createImageWindow() override {} void showImageWindow() override {} void closeImageWindow() override {}
    void zoomPictureChanged() override { ++refreshes; }
};

Bitmap gradient(int w, int h) {
    Bitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.at(x, y) = rgb(x & 255, y & 255, (x + y) & 255);
    return b;
}

struct Picture : cwtest::SessionRig<cwtest::RecordingProgress, ZoomCounter> {
    explicit Picture(int w = 100, int h = 100, int32_t tool = -1) : Picture(gradient(w, h), tool) {}
    Picture(Bitmap b, int32_t tool) : SessionRig("scratch") {
        s.ws = buildWorkspace(std::move(b), false, progress); s.imageWindowOpen = true; s.history.start(*s.ws, History::Opened::JustSetUp);
        s.history.settle();
        if (tool >= 0) selectTool(s.tools, tool);
    }
    // The picture, to look at or to write into as a tool would: once the
    // step being recorded is settled.
    Workspace& w() { settleHistory(s); return *s.ws; }
    std::vector<int8_t> codes() const { return {s.ws->codes.get(), s.ws->codes.get() + s.ws->pixelCount()}; }
    Rect box(int8_t code) const { return cwtest::codeBox(*s.ws, code); }
    void tap(int x, int y, MouseButton b = MouseButton::Left) { pointerTap(s, b, false, x, y); }
    void press(int x, int y, bool shift = false) { pointerMove(s, false, x, y), pointerPress(s, MouseButton::Left, shift, x, y); }
    void click(int x, int y, MouseButton b = MouseButton::Left) { pointerPress(s, b, false, x, y), pointerUp(s, b, false, x, y); }
    void paint(uint32_t c) {
        settleHistory(s);
        for (size_t i = 0; i < s.ws->pixelCount(); i += 7) s.ws->colour.data()[i] = c;
        s.ws->display.copyFrom(s.ws->colour);
        s.showChanged({0, 0, s.ws->width, s.ws->height});
    }
    // What Un-do would bring back, as two presses of it tell.
    Bitmap snapshot() {
        const bool enabled = s.pointer.undoEnabled;
        s.pointer.undoEnabled = true;
        undoClick(s);
        Bitmap b = s.ws->colour.clone();
        undoClick(s);
        s.pointer.undoEnabled = enabled;
        return b;
    }
    void select(int x1, int y1, int x2, int y2) { selectTool(s.tools, kToolRectangle), drag(x1, y1, x2, y2); }
    void drag(int x1, int y1, int x2, int y2) {
        press(x1, y1); pointerMove(s, false, x2, y2);
        pointerRelease(s, MouseButton::Left, false, x2, y2, insidePicture(s, x2, y2));
    }
    bool shows(const Bitmap& b) const { return cwtest::samePixels(s.ws->colour, b) && cwtest::samePixels(s.ws->display, b); }
};

// Two dark blocks either side of a light band; part of the left one is
// already painted, with code 9 or 5, in a colour of its own.
constexpr uint32_t kPainted = 0xff010203u;
int8_t paintedCode(int32_t x, int32_t y) { return x < 14 || x > 24 || y < 14 || y > 30 ? 0 : (x + y) % 3 ? 9 : 5; }

// What a tool's gesture over those blocks leaves: a drag from (20, 20) to
// (36, 24) with the palette's code 9, after `tweak` changed a setting.
struct Outcome {
    std::vector<int8_t> codes;
    std::vector<uint32_t> colour;
    bool selected, dragged;
    bool operator==(const Outcome&) const = default;
};
using Tweak = void (*)(Document&);
Outcome gesture(const Tool& tool, Tweak tweak) {
    Bitmap b(60, 40);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 60; ++x) b.at(x, y) = cwtest::gray(x >= 28 && x < 32 ? 200 : 40);
    Picture p(std::move(b), tool.id());
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 60; ++x)
            if (const int8_t code = paintedCode(x, y)) p.w().codes[size_t(y) * 60 + size_t(x)] = code, p.w().colour.at(x, y) = kPainted;
    p.w().display.copyFrom(p.w().colour);
    p.s.palette.paletteCode = 9;
    tweak(p.s);
    p.press(20, 20); const bool dragged = p.s.gesture.dragging;
    pointerMove(p.s, false, 36, 24); pointerRelease(p.s, MouseButton::Left, false, 36, 24, true);
    return {p.codes(), {p.w().colour.data(), p.w().colour.data() + p.w().pixelCount()}, p.w().selectionActive, dragged};
}

using EveryTool = ::testing::TestWithParam<const Tool*>;

} // namespace

TEST(ToolRegistry, FindsEachToolByNameAndIdAndNothingElse) {
    std::set<int32_t> ids;
    std::set<std::string_view> names;
    for (const Tool* t : toolBar()) {
        EXPECT_TRUE(ids.insert(t->id()).second && names.insert(t->name()).second) << t->name() << " twice";
        EXPECT_EQ(toolNamed(t->name()), t); EXPECT_EQ(toolById(t->id()), t);
        ToolSettings s; s.currentTool = t->id();
        EXPECT_EQ(&currentTool(s), t);
    }
    for (const char* name : {"", "pencil", "Brush", "brush ", "selection"}) EXPECT_EQ(toolNamed(name), nullptr) << name;
    for (int32_t id : {0, -1, 5, 127}) {
        EXPECT_EQ(toolById(id), nullptr) << id;
        ToolSettings t; t.currentTool = id;
        EXPECT_EQ(&currentTool(t), toolNamed("brush")) << "an id no tool has works as the brush";
    }
}

// A tool shows exactly the groups whose settings change what its gesture does.
TEST_P(EveryTool, ShowsTheGroupsWhoseSettingsItUses) {
    const Tool& tool = *GetParam();
    struct Group { const char* name; bool ToolGroups::*shown; std::vector<Tweak> tweaks; };
    const Group groups[] = {
        {"Overwrite", &ToolGroups::overwriteShown, {[](Document& d) { d.tools.overwrite = !d.tools.overwrite; },
                                                    [](Document& d) { d.tools.layered = !d.tools.layered; }}},
        {"Integration", &ToolGroups::integrationShown, {[](Document& d) { d.controls.integration = 255; },
                                                        [](Document& d) { d.tools.scope = kScopeConnected; }}},
        {"brush", &ToolGroups::brushShown, {[](Document& d) { d.tools.brushWidth = d.tools.brushHeight = 4; },
                                            [](Document& d) { d.tools.rounded = !d.tools.rounded; },
                                            [](Document& d) { d.tools.overwriteFactor = 0; }}}};
    const Outcome chosen = gesture(tool, [](Document&) {});
    ToolSettings t; selectTool(t, tool);
    for (const Group& g : groups) {
        bool used = false;
        for (Tweak tweak : g.tweaks) used = used || gesture(tool, tweak) != chosen;
        EXPECT_EQ(t.groups.*g.shown, used) << tool.name() << ": the " << g.name << " group";
    }
}

// Choosing a tool that shows no Overwrite leaves the switches alone; the
// others start them alike: on for the tool that paints without a drag (a
// whole tone at once), off for those that paint what is dragged. Checking
// one unchecks the other only where Overwrite means repainting the tool's
// own code: for the tool that otherwise leaves it alone and no other code.
TEST_P(EveryTool, SetsOverwriteAndLayeredAsItPaints) {
    const Tool& tool = *GetParam();
    const Outcome chosen = gesture(tool, [](Document& d) { d.tools.overwrite = d.tools.layered = false; });
    bool leavesOwnCode = true, repaintsOthers = false;
    for (int32_t i = 0; i < 60 * 40; ++i)
        if (const int8_t code = paintedCode(i % 60, i / 60); code && chosen.colour[size_t(i)] != kPainted) {
            if (code == 9) leavesOwnCode = false;
            else repaintsOthers = true;
        }
    for (int scope : {kScopeConnected, kScopeImageWide})
        for (int state = 0; state < 4; ++state) {
            ToolSettings t; t.scope = scope, t.overwrite = state & 1, t.layered = state & 2;
            selectTool(t, tool);
            SCOPED_TRACE(testing::Message() << tool.name() << " scope " << scope << " state " << state);
            EXPECT_EQ(std::tuple(t.currentTool, t.scope), std::tuple(tool.id(), scope));
            if (!t.groups.overwriteShown) EXPECT_EQ(std::pair(t.overwrite, t.layered), std::pair(bool(state & 1), bool(state & 2)));
            else EXPECT_EQ(std::pair(t.overwrite, t.layered), std::pair(!chosen.dragged, !chosen.dragged));
        }
    const bool exclusive = leavesOwnCode && repaintsOthers;
    ToolSettings t; selectTool(t, tool); overwriteClicked(t, true); layeredClicked(t, true);
    EXPECT_EQ(std::pair(t.overwrite, t.layered), std::pair(!exclusive, true));
    overwriteClicked(t, true);
    EXPECT_EQ(std::pair(t.overwrite, t.layered), std::pair(true, !exclusive));
}

// Whatever the tool, a whole gesture ends the drag, takes the brush size
// back from its fields and leaves no tool rectangle; a cancelled one erases
// its outline and paints and selects nothing more.
TEST_P(EveryTool, AWholeOrACancelledDragEndsCleanly) {
    const Tool& tool = *GetParam();
    for (bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "whole");
        Picture p(60, 40); selectTool(p.s.tools, tool); const int32_t id = tool.id();
        p.s.tools.brushWidth = p.s.tools.brushHeight = 7;  // as if the press had clamped them
        pointerMove(p.s, false, 10, 8); pointerPress(p.s, MouseButton::Left, cancel, 10, 8);
        const bool drags = p.s.gesture.dragging;
        EXPECT_EQ(drags, id != kToolTouch) << "Touch-paint alone paints on a click";
        pointerMove(p.s, false, 20, 14); pointerMove(p.s, false, 30, 20);
        const std::vector<int8_t> dragged = p.codes();
        cancel ? pointerCancel(p.s) : pointerRelease(p.s, MouseButton::Left, false, 30, 20, true);
        EXPECT_FALSE(p.s.gesture.dragging); EXPECT_EQ(p.s.gesture.toolRect, Rect{});
        EXPECT_EQ(std::ranges::count(dragged, 0) < std::ssize(dragged), id == kToolBrush) << "only the brush paints as it drags";
        EXPECT_EQ(p.codes() != dragged, !cancel && (id == kToolSelectionPaint || id == kToolTouch)) << "what the release paints";
        EXPECT_EQ(p.w().selectionActive, !cancel && id == kToolRectangle);
        if (cancel) {
            EXPECT_TRUE(p.displayIsColour()) << "no outline stays on screen";
            EXPECT_EQ(p.s.pointer.shiftHeld, !drags) << "a cancel ends a drag; without one it does nothing";
            EXPECT_EQ(p.w().imageModified, id == kToolBrush) << "only the brush painted before the cancel";
        } else {
            EXPECT_EQ(p.s.tools.brushWidth, drags ? p.s.tools.brushWidthField : 7);
            EXPECT_EQ(p.s.tools.brushHeight, drags ? p.s.tools.brushHeightField : 7);
            EXPECT_TRUE(p.w().imageModified) << "a drag's release, or Touch-paint's click";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ToolBar, EveryTool, ::testing::ValuesIn(toolBar().begin(), toolBar().end()),
                         [](const ::testing::TestParamInfo<const Tool*>& info) {
                             std::string name(info.param->name());
                             return (std::replace(name.begin(), name.end(), '-', '_'), name);
                         });

TEST(ToolSettings, ScopeQuickBrushAndWidthField) {
    ToolSettings t; selectTool(t, kToolTouch); scopeChanged(t, kScopeConnected);
    EXPECT_EQ(std::pair(t.overwrite, t.groups.overwriteShown), std::pair(false, false));
    scopeChanged(t, kScopeImageWide);
    EXPECT_TRUE(t.groups.overwriteShown);
    EXPECT_FALSE(t.overwrite) << "back to image-wide, Overwrite stays unchecked";
    quickBrush(t, kQuickBrushes[4]);
    EXPECT_EQ(std::pair(t.brushWidth, t.brushHeight), std::pair(10, 5));
    brushWidthChanged(t, 99);
    EXPECT_EQ(t.brushWidthField, 40);
}

TEST(Interaction, RectangularSelectionLimitsExactlyOneTouchPaint) {
    Picture p(100, 100, kToolRectangle);
    p.tap(30, 30);  // no movement: no selection
    EXPECT_FALSE(p.w().selectionActive);
    p.drag(50, 40, 10, 90);  // leftwards: no selection either
    EXPECT_FALSE(p.w().selectionActive);
    p.drag(10, 40, 50, 40);  // nor with no height
    EXPECT_FALSE(p.w().selectionActive || p.s.cropPending);
    p.drag(10, 40, 50, 90);
    EXPECT_TRUE(p.w().selectionActive && p.s.cropPending);
    EXPECT_EQ(p.s.pointer.paintLimitRect, (Rect{10, 40, 50, 90}));
    EXPECT_FALSE(p.displayIsColour()) << "the band stays visible";
    selectTool(p.s.tools, kToolTouch); p.tap(20, 50);
    const Rect once = p.box(1);
    EXPECT_TRUE(once.x1 >= 10 && once.y1 >= 40 && once.x2 <= 50 && once.y2 <= 90 && p.code(20, 50) == 1);
    EXPECT_TRUE(p.displayIsColour()) << "the next press erased the band";
    EXPECT_FALSE(p.s.cropPending);
    p.tap(20, 50);
    EXPECT_NE(p.box(1), once) << "the next Touch-paint reaches past the band";
    // Selection-paint gets its rectangle clamped to the picture.
    Picture q(100, 100, kToolSelectionPaint); q.drag(5, 6, 170, 180);
    EXPECT_EQ(q.box(1), (Rect{5, 6, 99, 99})); EXPECT_FALSE(q.w().selectionActive);
}

TEST(Interaction, BrushWindowAtTheBorderAndItsOutline) {
    // Each step paints with a code of its own: its window and a pixel past it, or the strip a move uncovered.
    Picture p(100, 100, kToolBrush); p.s.tools.rounded = false; const Bitmap loaded = p.w().colour.clone(); p.press(0, 0);
    EXPECT_EQ(p.s.gesture.toolRect, (Rect{0, 0, 10, 10})); EXPECT_EQ(p.s.gesture.brushRadius, 10);
    int changed = 0;  // the outline complements pixels of the display only
    for (size_t i = 0; i < p.w().pixelCount(); ++i)
        if (p.w().display.data()[i] != loaded.data()[i]) {
            EXPECT_EQ(p.w().display.data()[i], loaded.data()[i] ^ 0x00ffffffu);
            ++changed;
        }
    EXPECT_GT(changed, 20);
    EXPECT_EQ(p.box(1), (Rect{0, 0, 11, 11}));
    p.s.palette.paletteCode = 2; pointerMove(p.s, false, 1, 0);
    p.s.palette.paletteCode = 3; pointerMove(p.s, false, 99, 99);
    pointerRelease(p.s, MouseButton::Left, false, 99, 99, true);
    EXPECT_EQ(std::pair(p.box(2), p.box(3)), std::pair(Rect{0, 0, 12, 11}, Rect{89, 89, 99, 99}));
    EXPECT_TRUE(p.displayIsColour()) << "the release erases the outline";
    EXPECT_TRUE(p.w().imageModified);
    p.s.tools.paintMode = kPaintMasked; p.s.palette.paletteCode = 4; p.tap(50, 50);
    EXPECT_EQ(p.box(4), (Rect{41, 41, 61, 61}));
    EXPECT_EQ(p.w().colour.at(50, 50), maskedPixel(p.w().source.at(50, 50), p.s.palette.markerColour));
    p.s.tools.brushWidth = p.s.tools.brushHeight = 70;  // a press keeps the window within 50 of the pointer
    p.s.palette.paletteCode = 5; p.tap(50, 50);
    EXPECT_EQ(p.box(5), (Rect{1, 1, 99, 99}));
}

// Two dark regions apart, the left one holding a painted pixel; a click in
// the left one. Scope says whether the right one is reached, Overwrite
// whether the painted pixel is, the mode what colour they take.
TEST(Interaction, TouchPaintFollowsScopeModeAndOverwrite) {
    struct Row { int scope, mode; bool overwrite; int8_t right, painted; };
    for (const Row& r : {Row{kScopeImageWide, kPaintMasked, true, 17, 17}, Row{kScopeImageWide, kPaintMasked, false, 17, 5},
                         Row{kScopeImageWide, kPaintInteractive, true, 17, 17}, Row{kScopeImageWide, kPaintInteractive, false, 17, 5},
                         Row{kScopeConnected, kPaintMasked, true, 0, 5}, Row{kScopeConnected, kPaintInteractive, false, 0, 5}}) {
        Bitmap b(12, 3);
        for (int32_t x = 0; x < 12; ++x)
            for (int32_t y = 0; y < 3; ++y) b.at(x, y) = cwtest::gray(x >= 4 && x < 8 ? 200 : 40);
        Picture p(std::move(b), kToolTouch); p.w().codes[1] = 5;
        p.s.tools.scope = r.scope, p.s.tools.paintMode = r.mode, p.s.tools.overwrite = r.overwrite, p.s.tools.layered = false;
        p.s.palette.paletteCode = 17; p.tap(2, 1);
        SCOPED_TRACE(testing::Message() << "scope " << r.scope << " mode " << r.mode << " overwrite " << r.overwrite);
        EXPECT_EQ(std::tuple(p.code(2, 1), p.code(9, 1), p.code(1, 0), p.code(5, 1)), std::tuple(17, r.right, r.painted, 0));
        EXPECT_EQ(p.w().colour.at(2, 1), r.mode == kPaintMasked ? maskedPixel(cwtest::gray(40), p.s.palette.markerColour)
                                                                : cwtest::networkColour(17, cwtest::gray(40)));
    }
    // The eraser with no effects paints nothing on a click, nor does a press
    // released outside the picture.
    Picture p(100, 100, kToolTouch); p.s.palette.paletteCode = 127; p.tap(3, 4); p.s.palette.paletteCode = 5;
    p.drag(3, 4, 300, 4);
    EXPECT_TRUE(p.shows(p.w().source)); EXPECT_EQ(p.codes(), std::vector<int8_t>(p.w().pixelCount()));
}

TEST(Interaction, RightClickPicksUpTheCodeAndMovingUpdatesTheReadOuts) {
    Picture p; p.w().codes[5 * 100 + 6] = 9; p.w().codes[7 * 100 + 8] = -3;
    p.w().colour.at(0, 0) = p.w().display.at(0, 0) = rgb(1, 2, 3); p.s.showChanged({0, 0, 1, 1});
    for (auto [x, y, code] : {std::tuple{6, 5, 9}, {8, 7, -3}, {1, 1, 0}}) {
        p.s.palette.paletteCode = 42; p.tap(x, y, MouseButton::Right);
        EXPECT_EQ(p.s.palette.paletteCode, code);
    }
    EXPECT_NE(p.snapshot().at(0, 0), rgb(1, 2, 3)) << "only a left press takes the undo snapshot";
    p.w().codes[0] = 4;  // outside the picture the last code stays
    pointerMove(p.s, false, 0, 0); pointerMove(p.s, false, -5, 1000); p.click(-5, 1000, MouseButton::Right);
    EXPECT_EQ(p.s.palette.paletteCode, 4);

    const Bitmap before = p.w().display.clone();
    p.w().codes[12 * 100 + 34] = 17; pointerMove(p.s, false, 34, 12);  // with the brush, not dragging
    const GestureState& g = p.s.gesture;
    EXPECT_EQ(std::tuple(g.pointerX, g.pointerY, g.pointedColour, g.pointedCode), std::tuple(34, 12, rgb(34, 12, 46), int8_t(17)));
    EXPECT_TRUE(p.shows(before));
    pointerMove(p.s, false, 100, 12);  // just past the right edge: no colour
    EXPECT_EQ(std::pair(g.pointerX, g.pointedColour), std::pair(100, 0u));
}

TEST(Interaction, PressSetsShiftDamperAndTheUndoSnapshotWithoutOutlines) {
    Picture p;
    p.select(10, 10, 60, 60);  // a pending band must not reach the snapshot
    ASSERT_FALSE(p.displayIsColour());
    selectTool(p.s.tools, kToolBrush); p.w().colour.at(0, 0) = rgb(1, 2, 3); p.s.showChanged({0, 0, 1, 1});
    const Bitmap pressed = p.w().colour.clone();
    pointerPress(p.s, MouseButton::Left, true, 20, 20);
    const Bitmap painted = p.w().colour.clone();
    EXPECT_TRUE(cwtest::samePixels(p.snapshot(), pressed) && cwtest::samePixels(p.w().colour, painted)); EXPECT_TRUE(p.s.pointer.shiftHeld);
    pointerUp(p.s, MouseButton::Left, true, 20, 20);
    EXPECT_FALSE(p.s.pointer.shiftHeld);
    struct Row { int strength, pressure, code, blend; bool damper; };
    for (const Row& r : {Row{0, 0, 1, 1, false}, Row{1, 0, 1, 1, false}, Row{0, 0, 88, 1, true}, Row{5, 0, 1, 5, true},
                         Row{5, -5, 1, 10, true}, Row{12, 0, 1, 9, true}, Row{0, -1, 1, 2, true}}) {
        p.s.palette.strength = r.strength, p.s.palette.pressure = r.pressure, p.s.palette.paletteCode = r.code;
        p.click(20, 20);
        EXPECT_EQ(std::pair(p.s.palette.blendStrength, p.s.palette.damperOn), std::pair(r.blend, r.damper))
            << r.strength << " " << r.pressure << " " << r.code;
    }
    p.s.pointer.undoEnabled = false; const Bitmap undo = p.snapshot();
    p.w().colour.at(0, 0) = rgb(7, 7, 7); p.s.showChanged({0, 0, 1, 1}); p.tap(5, 5);
    EXPECT_TRUE(cwtest::samePixels(p.snapshot(), undo)) << "no snapshot while Un-do is off";
}

// A click refreshes the zoomed view once, whether it painted, whatever the
// view's AutoSync, and the view then shows what the click and the release left.
TEST(Interaction, AClickRefreshesTheZoomedViewOnce) {
    struct Row { const char* tool; bool autoSync, inside, paints; };
    for (const Row& r : {Row{"touch", true, true, true}, Row{"touch", false, true, true}, Row{"touch", true, false, false},
                         Row{"brush", false, true, true}, Row{"rectangle", true, true, false}}) {
        SCOPED_TRACE(testing::Message() << r.tool << " sync " << r.autoSync << " inside " << r.inside);
        Picture p(60, 40); p.s.zoom.factorField = 2; zoomClick(p.s); p.s.zoom.autoSync = r.autoSync;
        selectTool(p.s.tools, *toolNamed(r.tool)); p.press(20, 20); const int before = p.host.refreshes;
        pointerRelease(p.s, MouseButton::Left, false, 20, 20, r.inside);
        EXPECT_EQ(p.host.refreshes - before, 1);
        EXPECT_EQ(p.code(20, 20) == 1, r.paints);
        EXPECT_EQ(p.s.zoom.picture.at(19, 19), p.w().display.at(20, 20));
    }
}

// Shapes reaching far past the picture touch only its pixels, and drawing
// twice leaves it as it was.
TEST(Outline, ShapesReachingFarPastThePictureTouchOnlyItsPixels) {
    Bitmap b(16, 12);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = rgb(uint32_t(i), 0, 0);
    const Bitmap before = b.clone();
    invertRectangle(b, Rect{1, 1, INT32_MAX, INT32_MAX});
    for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 16; ++x)
            EXPECT_EQ(b.at(x, y) != before.at(x, y), (y == 1 && x >= 1) || (x == 1 && y >= 2)) << x << "," << y;
    invertRectangle(b, Rect{1, 1, INT32_MAX, INT32_MAX});
    invertEllipse(b, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX});
    invertEllipse(b, Rect{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}); invertEllipse(b, Rect{-40, 3, 8, 9});
    EXPECT_FALSE(cwtest::samePixels(b, before));
    invertEllipse(b, Rect{-40, 3, 8, 9});
    EXPECT_TRUE(cwtest::samePixels(b, before));
}

TEST(Undo, TwoUndosRestoreAndPixelCodesStay) {
    Picture p(100, 80); const Bitmap loaded = p.w().colour.clone();
    p.click(5, 5);  // the snapshot at the press
    p.paint(rgb(200, 0, 0)); p.w().codes[0] = 6; const Bitmap painted = p.w().colour.clone(); undoClick(p.s);
    EXPECT_TRUE(p.shows(loaded)); EXPECT_EQ(p.w().codes[0], 6) << "only the pictures are exchanged";
    undoClick(p.s);
    EXPECT_TRUE(p.shows(painted));
    // Checking "Un-do Enabled" snapshots at once; unchecked, Un-do does nothing.
    undoEnabledClick(p.s, false);
    EXPECT_TRUE(cwtest::samePixels(p.snapshot(), loaded)) << "unchecking takes no snapshot";
    undoClick(p.s);
    EXPECT_TRUE(cwtest::samePixels(p.w().colour, painted));
    undoEnabledClick(p.s, true); p.paint(rgb(0, 0, 200)); undoClick(p.s);
    EXPECT_TRUE(cwtest::samePixels(p.w().colour, painted));
}

TEST(Zoom, FactorsSizesAndMapping) {
    struct Row { int field, factor, width, height; };
    for (const Row& r : {Row{3, 3, 117, 57}, Row{0, 1, 39, 19}, Row{-1, 1, 39, 19}, Row{-2, -2, 19, 9},
                         Row{1, 1, 39, 19}, Row{10, 10, 390, 190}}) {
        Picture p(100, 80); p.select(10, 10, 50, 30);
        ASSERT_TRUE(p.w().selectionActive);
        p.s.zoom.factorField = r.field; zoomClick(p.s);
        EXPECT_FALSE(p.w().selectionActive) << "Zoom consumes the selection";
        EXPECT_TRUE(p.displayIsColour()) << "the band is erased";
        const ZoomView& z = p.s.zoom;
        EXPECT_EQ(z.sourceRect, (Rect{11, 11, 49, 29}));
        EXPECT_EQ(std::pair(z.picture.width(), z.picture.height()), std::pair(39, 19));
        EXPECT_EQ(z.factor, r.factor) << r.field;
        EXPECT_EQ(std::pair(z.shownWidth(), z.shownHeight()), std::pair(r.width, r.height)) << r.field;
        EXPECT_EQ(z.picture.at(0, 0), p.w().display.at(11, 11));
        EXPECT_EQ(z.picture.at(38, 18), p.w().display.at(49, 29));
    }
    struct Map { int factor; Rect source; int vx, vy, x, y; };
    for (const Map& m : {Map{4, {11, 11, 40, 40}, 9, 3, 13, 11}, Map{-2, {0, 0, 40, 40}, 5, 7, 10, 14}}) {
        ZoomView z; z.factor = m.factor, z.sourceRect = m.source; int x, y;
        mapViewToImage(z, m.vx, m.vy, x, y);
        EXPECT_EQ(std::pair(x, y), std::pair(m.x, m.y)) << m.factor;
    }
}

TEST(Zoom, AutoSyncOffWaitsForTheReleaseAndResetShowsTheOriginal) {
    Picture p(100, 80);
    zoomClick(p.s);  // no selection: the whole picture
    EXPECT_EQ(p.s.zoom.sourceRect, (Rect{1, 1, 98, 78}));
    p.s.zoom.autoSync = false; selectTool(p.s.tools, kToolSelectionPaint);
    pointerPress(p.s, MouseButton::Left, false, 20, 20);
    p.w().colour.at(6, 6) = p.w().display.at(6, 6) = rgb(1, 2, 3);  // as if the stroke had painted (6, 6)
    pointerMove(p.s, false, 30, 30);
    EXPECT_NE(p.s.zoom.picture.at(5, 5), p.w().display.at(6, 6)) << "no refresh while dragging";
    pointerUp(p.s, MouseButton::Left, false, 30, 30);
    EXPECT_EQ(p.s.zoom.picture.at(5, 5), p.w().display.at(6, 6)) << "the release refreshes";
    zoomReset(p.s);
    EXPECT_EQ(p.s.zoom.picture.at(5, 5), p.w().source.at(6, 6));
    EXPECT_EQ(p.w().colour.at(6, 6), rgb(1, 2, 3)) << "the picture keeps its colours";
}

TEST(Resample, ScaleFieldRulesAndTargetSizes) {
    ScaleField f; scaleFieldChange(f, -1);
    EXPECT_EQ(std::tuple(f.value, f.step, f.scaleEnabled), std::tuple(0, 2, false));
    scaleFieldChange(f, f.value + f.step);
    EXPECT_EQ(std::tuple(f.value, f.step, f.scaleEnabled), std::tuple(2, 1, true));
    scaleFieldChange(f, -1);
    EXPECT_EQ(f.value, 0);
    struct Row { bool crop; int scale, w, h; };
    for (const Row& r : {Row{false, 2, 600, 400}, Row{false, -3, 100, 66}, Row{false, 0, 300, 200},
                         Row{true, 5, 300, 200}, Row{false, -10, 30, 20}}) {
        int w, h; resetTargetSize(Rect{0, 0, 299, 199}, r.crop, r.scale, w, h);
        EXPECT_EQ(std::pair(w, h), std::pair(r.w, r.h)) << r.scale;
    }
    Bitmap src(3, 2);
    for (int i = 0; i < 6; ++i) src.data()[i] = rgb(i, 0, 0);
    const Bitmap up = resampleNearest(src, 6, 4);
    EXPECT_EQ(std::tuple(up.at(5, 3), up.at(1, 1), up.at(2, 2)), std::tuple(rgb(5, 0, 0), rgb(0, 0, 0), rgb(4, 0, 0)));
}

TEST(Resample, ReSetMakesTheColouredPictureTheNewOriginal) {
    Picture p(300, 200); p.paint(rgb(9, 8, 7)); p.w().codes[3] = 5; p.s.scale.value = 0;
    p.press(40, 30);  // a drag under way goes with the picture, and the pointer is at the new one's origin
    ASSERT_TRUE(resetClick(p.s)); ASSERT_TRUE(p.s.ws); EXPECT_EQ(p.w().width, 300);
    EXPECT_EQ(std::tuple(p.s.gesture.dragging, p.s.gesture.pointerX, p.s.gesture.toolRect), std::tuple(false, 0, Rect{}));
    EXPECT_EQ(p.w().source.at(0, 0), rgb(9, 8, 7)); EXPECT_EQ(p.w().codes[3], 0);
    EXPECT_EQ(p.w().freePixelCount, 300 * 200);
    EXPECT_TRUE(std::filesystem::is_empty(p.dir / "scratch")) << "the hand-over file is gone";
    scaleFieldChange(p.s.scale, -3);
    ASSERT_TRUE(resetClick(p.s));
    EXPECT_EQ(std::pair(p.w().width, p.w().height), std::pair(100, 66));
    // A pending selection crops whatever the scale says; Force Gray applies.
    scaleFieldChange(p.s.scale, 4); p.select(10, 20, 40, 50);
    const uint32_t g = grayOf(p.w().colour.at(10, 20));
    p.s.controls.forceGray = true;
    ASSERT_TRUE(resetClick(p.s));
    EXPECT_EQ(std::pair(p.w().width, p.w().height), std::pair(31, 31));
    EXPECT_EQ(p.w().source.at(0, 0), rgb(g, g, g));
    EXPECT_FALSE(p.w().selectionActive || p.s.cropPending);
    // Enlarging past what memory holds (or the int32 range) is refused before
    // any allocation, with the set-up's message, and the picture stays.
    p.s.controls.forceGray = false; p.paint(rgb(1, 2, 3));
    for (int factor : {99, 99, 99}) {
        scaleFieldChange(p.s.scale, factor); p.w().selectionActive = false;
        if (!resetClick(p.s)) break;
    }
    ASSERT_FALSE(p.messages.shown.empty()); EXPECT_EQ(p.messages.shown.back(), kSetupOutOfMemory);
    ASSERT_TRUE(p.s.ws); EXPECT_EQ(p.w().colour.at(0, 0), rgb(1, 2, 3));
}
