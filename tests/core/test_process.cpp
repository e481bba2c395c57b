#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "actions/fast_markup.h"
#include "actions/finishup.h"
#include "actions/headless_host.h"
#include "actions/markup.h"
#include "actions/process.h"
#include "actions/remark.h"
#include "actions/session.h"
#include "codecs/jpeg_decoder.h"
#include "core/colour_mag.h"
#include "core/remark.h"
#include "document/undo.h"
#include "test_support.h"

using namespace cw;

namespace {

class SelectionRecorder : public PaintRoutines {
public:
    int selPaints = 0;
    void selPaint(Document&) override { ++selPaints; }
};

// Horizontal bands of gray, darkest on top: each band is one region.
Bitmap bands(int w, const std::vector<int>& heights) {
    int h = std::accumulate(heights.begin(), heights.end(), 0);
    Bitmap b(w, h);
    int y = 0;
    for (size_t k = 0; k < heights.size(); ++k)
        for (int r = 0; r < heights[k]; ++r, ++y)
            for (int x = 0; x < w; ++x) b.at(x, y) = rgb(uint32_t(k * 80), uint32_t(k * 80), uint32_t(k * 80));
    return b;
}

struct Scene : cwtest::SessionRig<> {
    SelectionRecorder* routines;

    explicit Scene(Bitmap picture) {
        s.ws = buildWorkspace(std::move(picture), false, progress);
        s.imageWindowOpen = true;
        s.settings.imageSpan = s.ws->width + s.ws->height;
        s.controls.objectivity = 1;
        s.controls.separation = 1;
        valSet(s.controls, s.settings);
        auto r = std::make_unique<SelectionRecorder>();
        routines = r.get();
        s.routines = std::move(r);
        s.tools.currentTool = kToolTouch;
        progress.phases.clear();
    }
    void paint(int x, int y, int code) {
        const ColourMagContext ctx{ws(), s.palette, s.effects, paintRules(s.tools), s.pointer.shiftHeld};
        ws().curPixelIndex = y * ws().width + x;
        colourMag(ctx, code, x, y);
    }
    std::vector<int> sizes() {
        std::vector<int> v;
        for (const Anchor& a : ws().anchors) v.push_back(a.size);
        return v;
    }
};

Anchor record(int size, int x, int8_t status = 0) {
    Anchor a;
    a.size = size, a.x = x, a.y = 2, a.status = status;
    return a;
}

const std::vector<std::string> kProcessPhases{kPhasePreProcessing, kPhaseProcessing, kPhasePostProcessing};

} // namespace

TEST(Process, WithoutAnchorsItStillRedrawsAndMarksTheChange) {
    for (bool markedBefore : {false, true}) {
        Scene sc(bands(30, {10, 10}));
        if (markedBefore) {
            for (size_t i = 0; i < sc.ws().pixelCount(); ++i) sc.ws().codes[i] = 3;  // all coloured: no region
            markUp(sc.s, false);
            ASSERT_TRUE(sc.ws().anchors.empty());
        }
        drawAnchorMarker(sc.ws().display, 10, 10);
        sc.ws().imageModified = false;
        sc.progress.phases.clear();
        sc.progress.workCount = 77;
        processClick(sc.s);
        EXPECT_TRUE(sc.displayIsColour());
        EXPECT_TRUE(sc.ws().imageModified);
        EXPECT_EQ(sc.progress.phases, kProcessPhases);
        EXPECT_EQ(sc.progress.workCount, 0);
        EXPECT_FALSE(sc.progress.visible());
        EXPECT_FALSE(sc.progress.locked());
        EXPECT_EQ(sc.progress.progress(), 0);
    }
}

TEST(Process, SortsBySizeKeepingEqualsInOrderAndTakesTheMarkersAway) {
    Scene sc(bands(40, {20}));
    sc.ws().anchors = {record(9, 5), record(3, 10), record(9, 15), record(3, 20, -1), record(1, 25), record(9, 30)};
    viewAllClick(sc.s);
    EXPECT_FALSE(sc.displayIsColour());
    process(sc.s);
    std::vector<int> xs;
    for (const Anchor& a : sc.ws().anchors) xs.push_back(a.x);
    EXPECT_EQ(xs, (std::vector<int>{25, 10, 20, 5, 15, 30}));
    EXPECT_TRUE(sc.displayIsColour());
    // The markers can be brought back at any time.
    viewPendingClick(sc.s);
    EXPECT_EQ(sc.ws().display.at(25, 2), rgb(255, 255, 0));
    EXPECT_NE(sc.ws().display.at(20, 2), rgb(255, 255, 0)) << "Status 255 has no marker";
}

TEST(Process, ReMarkRecountsTheUncolouredPixelsFirst) {
    for (bool reMark : {false, true}) {
        Scene sc(bands(20, {5, 5}));
        for (int x = 0; x < 20; ++x) sc.paint(x, 7, 6);
        sc.ws().codes[2 * 20 + 3] = int8_t(kCodeOriginal);  // left behind on an uncoloured pixel
        sc.ws().freePixelCount = 1;
        sc.s.controls.reMark = reMark;
        process(sc.s);
        EXPECT_EQ(sc.ws().freePixelCount, reMark ? 180 : 1);
        EXPECT_EQ(sc.ws().codes[2 * 20 + 3], reMark ? 0 : int8_t(kCodeOriginal));
        for (int x = 0; x < 20; ++x) EXPECT_EQ(sc.ws().codes[7 * 20 + x], 6) << "coloured pixels keep their codes";
    }
}

TEST(Process, APendingSelectionIsColouredInstead) {
    Scene sc(bands(30, {10}));
    sc.ws().anchors = {record(9, 1), record(3, 2)};
    sc.ws().selectionActive = true;
    processClick(sc.s);
    EXPECT_EQ(sc.routines->selPaints, 1);
    EXPECT_EQ(sc.sizes(), (std::vector<int>{9, 3})) << "the anchors are not sorted";
    EXPECT_TRUE(sc.progress.phases.empty());
}

TEST(Process, AutoMarkUpEndsWithAFreshListInFoundOrder) {
    // Bands of 12, 4 and 8 rows: found top to bottom, so not in size order.
    Scene sc(bands(30, {12, 4, 8}));
    Scene twin(bands(30, {12, 4, 8}));
    for (Scene* s : {&sc, &twin})
        for (int x = 0; x < 30; x += 3) s->paint(x, 20, 17);
    markUp(twin.s, false);

    sc.ws().anchors = {record(1, 0)};
    sc.s.controls.autoMarkUp = true;
    sc.s.controls.reMark = true;      // the mark-up processing starts keeps the colouring
    sc.s.controls.scalePercent = 25;  // and is the full-resolution one
    process(sc.s);
    EXPECT_EQ(sc.sizes(), twin.sizes());
    EXPECT_EQ(sc.sizes(), (std::vector<int>{360, 120, 230}));
    for (int x = 0; x < 30; x += 3) EXPECT_EQ(sc.ws().codes[20 * 30 + x], 17);
    ASSERT_EQ(sc.ws().anchors[0].status, 0);
    for (const Anchor& a : sc.ws().anchors) {
        if (a.status == 0) {
            EXPECT_EQ(sc.ws().display.at(a.x, a.y), rgb(255, 255, 0)) << "its markers are on screen";
        }
    }
    EXPECT_EQ(sc.progress.phases, (std::vector<std::string>{kPhasePreProcessing, kPhaseProcessing, kPhasePostProcessing,
                                                            kPhasePreProcessing, kPhaseMarking, kPhasePostProcessing}));
    EXPECT_FALSE(sc.progress.visible());
    EXPECT_FALSE(sc.progress.locked());
    EXPECT_TRUE(sc.ws().imageModified);
}

TEST(Process, AnchorButtonsDoNothingWithoutAPicture) {
    const std::pair<const char*, std::function<void(Session&)>> buttons[] = {
        {"Process", processClick}, {"View All", viewAllClick}, {"View Pending", viewPendingClick},
        {"Remove", removeClick}};
    for (const auto& [name, click] : buttons) {
        Scene sc(bands(20, {20}));
        sc.ws().anchors = {record(5, 10)};
        sc.ws().selectionActive = std::string(name) == "Process";
        drawAnchorMarker(sc.ws().display, 3, 3);
        const Bitmap shown = sc.ws().display.clone();
        sc.s.imageWindowOpen = false;
        click(sc.s);
        EXPECT_EQ(0, std::memcmp(shown.data(), sc.ws().display.data(), sc.ws().pixelCount() * 4)) << name;
        EXPECT_TRUE(sc.progress.phases.empty()) << name;
        EXPECT_EQ(sc.routines->selPaints, 0) << name;
    }
}

TEST(Process, ViewButtonsShowAndRemoveTheMarkers) {
    Scene sc(bands(60, {20, 20}));
    markUp(sc.s, false);
    ASSERT_EQ(sc.ws().anchors.size(), 2u);
    const Bitmap pending = sc.ws().display.clone();
    EXPECT_FALSE(sc.displayIsColour());
    removeClick(sc.s);
    EXPECT_TRUE(sc.displayIsColour());
    viewAllClick(sc.s);
    EXPECT_EQ(0, std::memcmp(pending.data(), sc.ws().display.data(), sc.ws().pixelCount() * 4));
    removeClick(sc.s);
    viewPendingClick(sc.s);
    EXPECT_EQ(0, std::memcmp(pending.data(), sc.ws().display.data(), sc.ws().pixelCount() * 4));
}

TEST(Process, MarkUpColourFinishAndMarkUpAgainOnAPhoto) {
    Scene sc(decodeJpegFile(cwtest::testdata("photos/camera.jpg")));
    sc.s.controls.objectivity = 2;
    sc.s.controls.separation = 5;
    valSet(sc.s.controls, sc.s.settings);
    markUpClick(sc.s);
    const AnchorList first = sc.ws().anchors;
    ASSERT_GT(first.size(), 3u);

    // Colour a small patch at every anchor, each with its own palette.
    int code = 1;
    for (const Anchor& a : first) {
        if (a.status != 0) continue;
        for (int y = std::max(0, a.y - 2); y <= std::min(511, a.y + 2); ++y)
            for (int x = std::max(0, a.x - 2); x <= std::min(511, a.x + 2); ++x) sc.paint(x, y, code);
        code = code % 12 + 1;
    }
    const size_t before = size_t(std::count(sc.ws().codes.get(), sc.ws().codes.get() + 512 * 512, 0));
    autoFinishClick(sc.s);
    initvimg(sc.ws(), sc.progress);  // so that every later mark-up starts from the same codes
    const size_t after = size_t(std::count(sc.ws().codes.get(), sc.ws().codes.get() + 512 * 512, 0));
    EXPECT_LT(after, before * 3 / 4);
    EXPECT_TRUE(std::none_of(sc.ws().codes.get(), sc.ws().codes.get() + 512 * 512, [](int8_t c) { return c < 0; }));

    markUpClick(sc.s);
    const AnchorList again = sc.ws().anchors;
    const long total = std::accumulate(again.begin(), again.end(), 0L, [](long t, const Anchor& a) { return t + a.size; });
    EXPECT_EQ(size_t(total), after) << "only the pixels finish-up left uncoloured are searched";

    // Processing with Auto Mark-up finds the same regions in the same order.
    sc.s.controls.autoMarkUp = true;
    processClick(sc.s);
    ASSERT_EQ(sc.ws().anchors.size(), again.size());
    for (size_t k = 0; k < again.size(); ++k) {
        EXPECT_EQ(sc.ws().anchors[k].size, again[k].size);
        EXPECT_EQ(sc.ws().anchors[k].status, again[k].status);
    }
}

TEST(EngineRedraw, EveryOperationTellsTheWindowTheWholePictureWasRedrawn) {
    // Not square, so that a width given for a height shows; the bounds the
    // window takes are exclusive, so the last column and row must be inside.
    const int w = 23, h = 17;
    struct Case {
        const char* name;
        std::function<void(Session&)> run;
    };
    const Case cases[] = {
        {"Mark-up", [](Session& s) { markUp(s, false); }},
        {"FastMarkUp", [](Session& s) {
             s.controls.scalePercent = 50;
             fastMarkUp(s);
         }},
        {"Recolour", [](Session& s) { finishup(s, FinishupMode::Recolour); }},
        {"Fill", [](Session& s) { finishup(s, FinishupMode::Fill); }},
        {"Process with Auto Mark-up", [](Session& s) {
             s.controls.autoMarkUp = true;
             process(s);
         }},
        {"View All", viewAllClick},
        {"Un-do", [](Session& s) { undoClick(s); }},
    };
    for (const Case& c : cases) {
        cwtest::SessionRig<cwtest::RecordingProgress, cwtest::RecordingHost> rig;
        rig.s.ws = buildWorkspace(bands(w, {9, 8}), false, rig.progress);
        rig.s.imageWindowOpen = true;
        const ColourMagContext ctx{rig.ws(), rig.s.palette, rig.s.effects, paintRules(rig.s.tools), rig.s.pointer.shiftHeld};
        for (int x = 0; x < w; x += 4) {
            rig.ws().curPixelIndex = 4 * w + x;
            colourMag(ctx, 6, x, 4);
        }
        c.run(rig.s);
        ASSERT_FALSE(rig.host.changed.empty()) << c.name;
        EXPECT_EQ(rig.host.changed.back(), (Rect{0, 0, w, h})) << c.name;
    }
}
