// The tool registry and each tool's own part of the gestures, through the
// pointer router the windows and the script runner use.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "actions/session.h"
#include "core/workspace.h"
#include "document/zoom.h"
#include "test_support.h"
#include "tools/interaction.h"
#include "tools/tool_choice.h"
#include "tools/tool_registry.h"

using namespace cw;

namespace {

// What the tool bar promises of each tool, in button order.
struct Expected {
    const char* name;
    int32_t id;
    ToolCursor cursor;
    ToolGroups groups;
    SwitchesOnSelect switches;
    bool exclusive;  // Overwrite and Layered exclude each other
    bool drags;
};
const Expected kExpected[] = {
    {"rectangle", kToolRectangle, ToolCursor::Drag, {false, false, false}, SwitchesOnSelect::Kept, false, true},
    {"brush", kToolBrush, ToolCursor::Crosshair, {true, false, true}, SwitchesOnSelect::Cleared, true, true},
    {"selection-paint", kToolSelectionPaint, ToolCursor::Drag, {true, false, false}, SwitchesOnSelect::Cleared, false,
     true},
    {"touch", kToolTouch, ToolCursor::PointingHand, {true, true, false}, SwitchesOnSelect::Checked, false, false},
};

bool sameGroups(const ToolGroups& a, const ToolGroups& b) {
    return a.overwriteShown == b.overwriteShown && a.integrationShown == b.integrationShown &&
           a.brushShown == b.brushShown;
}

// Counts what the gestures start instead of painting.
class Calls : public PaintRoutines {
public:
    int brushWindows = 0, selectionPaints = 0, fills = 0;
    void colourWinI(Document&) override { ++brushWindows; }
    void colourWinM(Document&) override { ++brushWindows; }
    void selPaint(Document&) override { ++selectionPaints; }
    void touchPaintIOY(Document&, int32_t, int32_t, int32_t) override { ++fills; }
};

// Counts the zoomed view's refreshes.
class ZoomCounter final : public WindowHost {
public:
    int refreshes = 0;
    void createImageWindow() override {}
    void showImageWindow() override {}
    void closeImageWindow() override {}
    void zoomPictureChanged() override { ++refreshes; }
};

struct Picture : cwtest::SessionRig<cwtest::RecordingProgress, ZoomCounter> {
    Calls* calls;
    Picture() {
        Bitmap b(60, 40);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) b.at(x, y) = rgb(x * 4, y * 6, (x + y) & 255);
        s.ws = buildWorkspace(std::move(b), false, progress);
        s.imageWindowOpen = true;
        auto r = std::make_unique<Calls>();
        calls = r.get();
        s.routines = std::move(r);
    }
};

class EveryTool : public ::testing::TestWithParam<size_t> {
protected:
    const Tool& tool() const { return *toolBar()[GetParam()]; }
    const Expected& expected() const { return kExpected[GetParam()]; }
};

} // namespace

TEST(ToolRegistry, HoldsTheFourToolsWithDistinctIdsAndNames) {
    ASSERT_EQ(toolBar().size(), std::size(kExpected));
    std::set<int32_t> ids;
    std::set<std::string> names;
    for (const Tool* t : toolBar()) {
        EXPECT_TRUE(ids.insert(t->id()).second) << "id " << t->id() << " twice";
        EXPECT_TRUE(names.insert(std::string(t->name())).second) << t->name() << " twice";
    }
}

TEST(ToolRegistry, UnknownNamesAndIdsFindNoTool) {
    for (const char* name : {"", "pencil", "Brush", "brush ", "selection"}) EXPECT_EQ(toolNamed(name), nullptr) << name;
    for (int32_t id : {0, -1, 5, 127}) {
        EXPECT_EQ(toolById(id), nullptr) << id;
        ToolSettings t;
        t.currentTool = id;
        EXPECT_EQ(&currentTool(t), toolNamed("brush")) << "an id no tool has works as the brush";
    }
}

TEST_P(EveryTool, IsFoundByItsNameAndItsId) {
    EXPECT_EQ(tool().name(), expected().name);
    EXPECT_EQ(tool().id(), expected().id);
    EXPECT_EQ(toolNamed(tool().name()), &tool());
    EXPECT_EQ(toolById(tool().id()), &tool());
    ToolSettings t;
    t.currentTool = tool().id();
    EXPECT_EQ(&currentTool(t), &tool());
}

TEST_P(EveryTool, PresentsItselfAsTheToolBarShowsIt) {
    EXPECT_EQ(tool().cursor(), expected().cursor);
    EXPECT_TRUE(sameGroups(tool().groups(), expected().groups));
    EXPECT_EQ(tool().switchesOnSelect(), expected().switches);
    EXPECT_EQ(tool().overwriteExcludesLayered(), expected().exclusive);
    EXPECT_EQ(tool().drags(), expected().drags);
    EXPECT_FALSE(std::string_view(tool().hint()).empty()) << "its button needs a hint";
}

// From every state of Overwrite and Layered, under either Scope.
TEST_P(EveryTool, SelectingItShowsItsGroupsAndSetsOverwriteAndLayered) {
    for (int scope : {kScopeConnected, kScopeImageWide})
        for (int state = 0; state < 4; ++state) {
            const bool overwrite = state & 1, layered = state & 2;
            ToolSettings t;
            t.scope = scope;
            t.overwrite = overwrite;
            t.layered = layered;
            t.groups = {!expected().groups.overwriteShown, !expected().groups.integrationShown,
                        !expected().groups.brushShown};
            selectTool(t, tool());
            const std::string row = std::string(tool().name()) + " scope " + std::to_string(scope) + " state " +
                                    std::to_string(state);
            EXPECT_EQ(t.currentTool, expected().id) << row;
            EXPECT_TRUE(sameGroups(t.groups, expected().groups)) << row;
            EXPECT_EQ(t.scope, scope) << row;
            switch (expected().switches) {
            case SwitchesOnSelect::Cleared: EXPECT_TRUE(!t.overwrite && !t.layered) << row; break;
            case SwitchesOnSelect::Checked: EXPECT_TRUE(t.overwrite && t.layered) << row; break;
            case SwitchesOnSelect::Kept: EXPECT_TRUE(t.overwrite == overwrite && t.layered == layered) << row; break;
            }
        }
}

TEST_P(EveryTool, OverwriteAndLayeredExcludeEachOtherOnlyWhereItSays) {
    ToolSettings t;
    selectTool(t, tool());
    overwriteClicked(t, true);
    layeredClicked(t, true);
    EXPECT_TRUE(t.layered);
    EXPECT_EQ(t.overwrite, !expected().exclusive);
    overwriteClicked(t, true);
    EXPECT_TRUE(t.overwrite);
    EXPECT_EQ(t.layered, !expected().exclusive);
}

// Whatever the tool, a whole gesture ends the drag, takes the brush size
// back from its fields and leaves no tool rectangle.
TEST_P(EveryTool, AWholeDragEndsCleanly) {
    Picture p;
    selectTool(p.s.tools, tool());
    p.s.tools.brushWidth = 7;  // as if the press had clamped it
    pointerMove(p.s, false, 10, 8);
    pointerPress(p.s, MouseButton::Left, false, 10, 8);
    EXPECT_EQ(p.s.ws->dragging, expected().drags);
    pointerMove(p.s, false, 30, 20);
    pointerRelease(p.s, MouseButton::Left, false, 30, 20, true);
    EXPECT_FALSE(p.s.ws->dragging);
    EXPECT_EQ(p.s.ws->toolRect, Rect{});
    EXPECT_EQ(p.s.tools.brushWidth, expected().drags ? p.s.tools.brushWidthField : 7);
    EXPECT_EQ(p.s.ws->imageModified, expected().drags);
    EXPECT_EQ(p.calls->brushWindows > 0, tool().id() == kToolBrush);
    EXPECT_EQ(p.calls->selectionPaints, tool().id() == kToolSelectionPaint ? 1 : 0);
    EXPECT_EQ(p.calls->fills, tool().id() == kToolTouch ? 1 : 0);
    EXPECT_EQ(p.s.ws->selectionActive, tool().id() == kToolRectangle);
}

// A cancelled drag erases its outline and paints and selects nothing more.
TEST_P(EveryTool, ACancelledDragLeavesOnlyWhatItAlreadyPainted) {
    Picture p;
    selectTool(p.s.tools, tool());
    pointerMove(p.s, false, 10, 8);
    pointerPress(p.s, MouseButton::Left, true, 10, 8);
    pointerMove(p.s, false, 20, 14);
    pointerMove(p.s, false, 30, 20);
    const int brushWindows = p.calls->brushWindows;
    pointerCancel(p.s);
    EXPECT_FALSE(p.s.ws->dragging);
    EXPECT_EQ(p.s.pointer.shiftHeld, !expected().drags) << "a cancel ends a drag; without one it does nothing";
    EXPECT_EQ(p.s.ws->toolRect, Rect{});
    EXPECT_TRUE(p.displayIsColour()) << "no outline stays on screen";
    EXPECT_EQ(p.calls->brushWindows, brushWindows);
    EXPECT_EQ(p.calls->selectionPaints, 0);
    EXPECT_FALSE(p.s.ws->selectionActive);
    EXPECT_EQ(p.s.ws->imageModified, tool().id() == kToolBrush) << "only the brush painted before the cancel";
}

// The zoomed view shows what a click in it painted before the release
// refreshes it anyway, while it keeps in step with the picture.
TEST(PointerRouter, AClickInTheZoomedViewRefreshesItAtOnceWhileInSync) {
    auto refreshes = [](PointerSource from, bool autoSync, bool inside) {
        Picture p;
        p.s.zoom.factorField = 2;
        zoomClick(p.s);
        p.s.zoom.autoSync = autoSync;
        selectTool(p.s.tools, *toolNamed("touch"));
        pointerMove(p.s, false, 20, 20);
        pointerPress(p.s, MouseButton::Left, false, 20, 20);
        const int before = p.host.refreshes;
        pointerRelease(p.s, MouseButton::Left, false, 20, 20, inside, from);
        EXPECT_EQ(p.calls->fills, inside ? 1 : 0);
        return p.host.refreshes - before;
    };
    struct Row {
        PointerSource from;
        bool autoSync, inside;
        int extra;
    };
    for (const Row& r : {Row{PointerSource::ZoomedView, true, true, 1}, Row{PointerSource::ZoomedView, false, true, 0},
                         Row{PointerSource::ZoomedView, true, false, 0}, Row{PointerSource::Picture, false, true, 0}}) {
        EXPECT_EQ(refreshes(r.from, r.autoSync, r.inside), refreshes(PointerSource::Picture, true, r.inside) + r.extra)
            << (r.from == PointerSource::ZoomedView ? "view" : "picture") << " sync " << r.autoSync << " inside "
            << r.inside;
    }
}

INSTANTIATE_TEST_SUITE_P(ToolBar, EveryTool, ::testing::Range(size_t(0), std::size(kExpected)),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                             std::string name = kExpected[info.param].name;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });
