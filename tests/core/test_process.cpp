#include <functional>
#include <numeric>

#include "actions/process_command.h"
#include "core/remark.h"
#include "core_rig.h"
#include "document/undo.h"

namespace {

// Horizontal bands of gray, darkest on top: each band is one region.
Bitmap bands(int w, std::vector<int> heights) {
    std::partial_sum(heights.begin(), heights.end(), heights.begin());
    return picture(w, heights.back(),
                   [&](int, int y) { return 80 * (std::ranges::upper_bound(heights, y) - heights.begin()); });
}

} // namespace

TEST(Process, SortsBySizeKeepingEqualsInOrderAndRedrawsWithoutMarkers) {
    Scene<> sc(bands(40, {20}));
    sc.setAnchors({{5, 2, 9, 0}, {10, 2, 3, 0}, {15, 2, 9, 0}, {20, 2, 3, -1}, {25, 2, 1, 0}, {30, 2, 9, 0}});
    viewAllClick(sc.s);
    sc.ws().codes[3] = int8_t(kCodeOriginal);  // left on an uncoloured pixel: kept without Re-mark
    sc.ws().freePixelCount = 1;
    sc.ws().imageModified = false;
    sc.progress.phases.clear();
    sc.progress.workCount = 77;
    processClick(sc.s);
    EXPECT_EQ(sc.anchorValues(&Anchor::x), (std::vector<int>{25, 10, 20, 5, 15, 30}));
    EXPECT_TRUE(sc.displayIsColour() && sc.ws().imageModified);
    EXPECT_EQ(sc.progress.phases, (std::vector<std::string>{kPhasePreProcessing, kPhaseProcessing, kPhasePostProcessing}));
    EXPECT_EQ(std::make_tuple(sc.progress.workCount, sc.progress.visible(), sc.progress.locked()), std::make_tuple(0, false, false));
    EXPECT_EQ(std::make_pair(sc.code(3, 0), sc.ws().freePixelCount), std::make_pair(int8_t(kCodeOriginal), 1));
    viewPendingClick(sc.s);  // the markers can be brought back at any time
    EXPECT_EQ(sc.ws().display.at(25, 2), rgb(255, 255, 0));
    EXPECT_NE(sc.ws().display.at(20, 2), rgb(255, 255, 0)) << "Status 255 has no marker";
}

TEST(Process, AutoMarkUpEndsWithAFreshListInFoundOrder) {
    // Bands of 12, 4 and 8 rows: found top to bottom, so not in size order.
    Scene<> sc(bands(30, {12, 4, 8})), twin(bands(30, {12, 4, 8}));
    for (Scene<>* s : {&sc, &twin})
        for (int x = 0; x < 30; x += 3) s->paint(x, 20, 17);
    runMarkUp(twin.s, false);
    sc.setAnchors({{0, 2, 1, 0}});
    sc.ws().codes[3] = int8_t(kCodeOriginal);  // cleared by the recount Re-mark asks for
    sc.ws().freePixelCount = 1;
    sc.s.controls.autoMarkUp = sc.s.controls.reMark = true;  // the mark-up it starts keeps the colouring
    sc.s.controls.scalePercent = 25;                          // and is the full-resolution one
    runProcess(sc.s);
    EXPECT_EQ(sc.anchors(), twin.anchors());
    EXPECT_EQ(std::make_pair(sc.anchorValues(), sc.count(17)), std::make_pair(std::vector{360, 120, 230}, size_t(10)));
    for (const Anchor& a : sc.ws().anchors)
        EXPECT_EQ(sc.ws().display.at(a.x, a.y) == rgb(255, 255, 0), a.status == 0) << "its markers are on screen";
    EXPECT_EQ(sc.progress.phases, (std::vector<std::string>{kPhasePreProcessing, kPhaseProcessing, kPhasePostProcessing,
                                                            kPhasePreProcessing, kPhaseMarking, kPhasePostProcessing}));
    EXPECT_FALSE(sc.progress.visible() || sc.progress.locked());
}

TEST(Process, AnchorButtonsShowAndRemoveMarkersAndNeedAPicture) {
    Scene<> sc(bands(60, {20, 20}));
    runMarkUp(sc.s, false);
    ASSERT_EQ(sc.ws().anchors.size(), 2u);
    const std::vector<uint32_t> pending(sc.ws().display.data(), sc.ws().display.data() + sc.ws().pixelCount());
    using Click = void (*)(Session&);
    for (const auto& [click, shows] : {std::pair<Click, bool>{removeClick, false}, {viewAllClick, true},
                                       {removeClick, false}, {viewPendingClick, true}}) {
        click(sc.s);
        EXPECT_EQ(std::equal(pending.begin(), pending.end(), sc.ws().display.data()), shows);
        EXPECT_EQ(sc.displayIsColour(), !shows);
    }
    // A pending selection is coloured instead of processing, unsorted.
    sc.setAnchors({{1, 2, 9, 0}, {2, 2, 3, 0}});
    sc.ws().selectionActive = true, sc.ws().selectionRect = {1, 1, 5, 4};
    processClick(sc.s);
    EXPECT_EQ(std::make_tuple(sc.code(3, 3), sc.code(7, 3), sc.anchorValues()), std::make_tuple(int8_t(1), int8_t(0), std::vector<int>{9, 3}));
    // Without a picture no button does anything.
    sc.s.imageWindowOpen = false;
    sc.ws().selectionActive = true;
    sc.progress.phases.clear();
    drawAnchorMarker(sc.ws().display, 3, 3);
    const std::vector<uint32_t> shown(sc.ws().display.data(), sc.ws().display.data() + sc.ws().pixelCount());
    for (const Click click : {processClick, viewAllClick, viewPendingClick, removeClick}) click(sc.s);
    EXPECT_TRUE(std::equal(shown.begin(), shown.end(), sc.ws().display.data()));
    EXPECT_TRUE(sc.progress.phases.empty());
}
TEST(EngineRedraw, EveryOperationTellsTheWindowTheWholePictureWasRedrawn) {
    // Not square, so that a width given for a height shows; the bounds the window takes are exclusive, so the last
    // column and row must be inside.
    const int w = 23, h = 17;
    const std::pair<const char*, std::function<void(Session&)>> cases[] = {
        {"Mark-up", [](Session& s) { runMarkUp(s, false); }}, {"View All", viewAllClick},
        {"FastMarkUp", [](Session& s) { s.controls.scalePercent = 50, runFastMarkUp(s); }},
        {"Recolour", [](Session& s) { runFinishup(s, FinishupMode::Recolour); }},
        {"Fill", [](Session& s) { runFinishup(s, FinishupMode::Fill); }}, {"Un-do", [](Session& s) { undoClick(s); }},
        {"Process with Auto Mark-up", [](Session& s) { s.controls.autoMarkUp = true, runProcess(s); }}};
    for (const auto& [name, run] : cases) {
        Scene<cwtest::RecordingProgress, cwtest::RecordingHost> rig(bands(w, {9, 8}));
        for (int x = 0; x < w; x += 4) rig.paint(x, 4, 6);
        run(rig.s);
        EXPECT_EQ(rig.host.changed.empty() ? Rect{} : rig.host.changed.back(), (Rect{0, 0, w, h})) << name;
    }
}

TEST(ReMark, WritesTheDisplayOnlyWhereItDiffersAndSaysWhere) {
    // 150 x 100: the last column and row of tiles are cut short.
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> drawnOver;  // pixels of the display not showing the colour
        std::vector<std::array<int, 4>> anchors;
        std::vector<Rect> areas;
    };
    const Case cases[] = {
        {"showing the colours already", {}, {}, {}},
        {"one pixel in the cut corner", {{149, 99}}, {}, {{128, 64, 150, 100}}},
        {"neighbouring tiles joined", {{10, 10}, {70, 63}}, {}, {{0, 0, 128, 64}}},
        {"tiles apart", {{10, 10}, {140, 10}, {10, 70}}, {}, {{0, 0, 64, 64}, {128, 0, 150, 64}, {0, 64, 64, 100}}},
        {"a marker's square", {}, {{1, 98, 9, 0}, {40, 40, 9, 1}}, {{-3, 94, 6, 103}}},
    };
    for (const Case& c : cases) {
        Scene<> sc(bands(150, {50, 50}));
        for (const auto& [x, y] : c.drawnOver) sc.ws().display.at(x, y) = rgb(1, 2, 3);
        for (const auto& a : c.anchors) sc.ws().anchors.push_back(Anchor{a[0], a[1], a[2], -1, int8_t(a[3])});
        Bitmap expected = sc.ws().colour.clone();
        for (const auto& a : c.anchors)
            if (a[3] == 0) drawAnchorMarker(expected, a[0], a[1]);
        std::vector<Rect> areas;
        EXPECT_EQ(reMark(sc.ws(), ReMarkMode::Pending, &areas), (Rect{0, 0, 150, 100})) << c.name;
        EXPECT_TRUE(std::equal(expected.data(), expected.data() + expected.pixelCount(), sc.ws().display.data())) << c.name;
        EXPECT_EQ(areas, c.areas) << c.name;
    }
}
