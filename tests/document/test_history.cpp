// The undo history against a model that keeps every state whole: random
// changes of every kind the history keeps, undone and redone at random.
#include <random>

#include <gtest/gtest.h>

#include "core/helper_threads.h"
#include "core/workspace.h"
#include "document/history.h"
#include "test_support.h"

namespace {
using namespace cw;

struct State {
    Bitmap colour, display;
    std::vector<int8_t> codes;
    AnchorList anchors;
    int32_t width = 0;
    bool operator==(const State& o) const {
        return cwtest::samePixels(colour, o.colour) && cwtest::samePixels(display, o.display) && codes == o.codes &&
               anchors == o.anchors;
    }
};

State stateOf(const Workspace& ws) {
    return {ws.colour.clone(), ws.display.clone(), {ws.codes.get(), ws.codes.get() + ws.pixelCount()}, ws.anchors, ws.width};
}

std::unique_ptr<Workspace> picture(int32_t w, int32_t h, uint32_t seed) {
    Bitmap b(w, h);
    for (size_t i = 0; i < b.pixelCount(); ++i) b.data()[i] = rgb(seed & 255, i & 255, (i >> 8) & 255);
    cwtest::ProbeProgress progress;
    return buildWorkspace(std::move(b), false, progress);
}

struct Rig {
    std::mt19937 random{7};
    std::unique_ptr<Workspace> ws = picture(300, 170, 1);  // tiles cut at both edges
    History history;  // after the picture: it waits for its recorder before the picture goes
    explicit Rig(size_t budget = size_t(1) << 30, History::Opened how = History::Opened::JustSetUp) : history(budget) {
        history.start(*ws, how);
    }
    // Records and waits for the recorder, as the next change would.
    Recorded record(std::string_view name) {
        const Recorded how = history.record(*ws, name);
        return how == Recorded::Pending ? history.settle() : how;
    }
    uint32_t serial = 0;
    int32_t pick(int32_t n) { return int32_t(random() % uint32_t(n)); }
    Rect area() {
        const int32_t x = pick(ws->width), y = pick(ws->height);
        return {x, y, std::min(ws->width, x + 1 + pick(90)), std::min(ws->height, y + 1 + pick(90))};
    }
    // Paints an area of the planes `what` names (c colour, k codes, d display, a anchors).
    void paint(const std::string& what, const Rect& r) {
        history.settle();  // as every writer of the picture does
        ++serial;
        const uint32_t c = rgb(serial & 255, (serial >> 8) & 255, 9);  // never what was there
        for (int32_t y = r.y1; y < r.y2; ++y)
            for (int32_t x = r.x1; x < r.x2; ++x) {
                if (what.find('c') != std::string::npos) ws->colour.at(x, y) = c;
                if (what.find('d') != std::string::npos) ws->display.at(x, y) = c;
                if (what.find('k') != std::string::npos) ws->codes[size_t(y) * size_t(ws->width) + size_t(x)] = int8_t(serial % 120 + 1);
            }
        if (what.find('a') != std::string::npos) ws->anchors.push_back({r.x1, r.y1, 4, 2, 0});
        // Only the planes drawn into are named, as a command that knows it does.
        uint8_t planes = 0;
        if (what.find('c') != std::string::npos) planes |= planeBit(Plane::Colour);
        if (what.find('k') != std::string::npos) planes |= planeBit(Plane::Codes);
        if (what.find('d') != std::string::npos) planes |= planeBit(Plane::Display);
        history.touched(r, planes);
    }
};

TEST(History, EveryUndoAndRedoGivesBackTheStateItStepsTo) {
  // A picture just set up keeps no copy of its tiles until they change; one
  // opened with work in it is copied whole.
  for (History::Opened how : {History::Opened::JustSetUp, History::Opened::Worked}) {
    SCOPED_TRACE(how == History::Opened::JustSetUp ? "just set up" : "worked");
    Rig rig(size_t(1) << 30, how);
    std::vector<State> states;  // states[i]: after i steps
    states.push_back(stateOf(*rig.ws));
    size_t at = 0;
    // The display mostly shows the colours, and its shadow the colour's: a
    // change to the colour alone parts them.
    const char* kinds[] = {"cdk", "cd", "k", "a", "cdka", "c", "ck", "replace"};
    for (int turn = 0; turn < 400; ++turn) {
        const int roll = rig.pick(10);
        if (turn % 40 == 39) {
            // Every step kept undone (back to the picture as opened, until
            // the oldest steps go), and done again.
            while (rig.history.canUndo()) rig.history.undo(rig.ws), --at;
            ASSERT_TRUE(stateOf(*rig.ws) == states[at]) << "turn " << turn;
            while (at + 1 < states.size()) rig.history.redo(rig.ws), ++at;
        } else if (roll < 2 && at > 0) {
            rig.history.undo(rig.ws);
            --at;
        } else if (roll < 4 && at + 1 < states.size()) {
            rig.history.redo(rig.ws);
            ++at;
        } else {
            const std::string kind = kinds[rig.pick(int32_t(std::size(kinds)))];
            if (kind == "replace") {
                rig.history.replacing(std::move(rig.ws));
                rig.ws = picture(40 + rig.pick(300), 30 + rig.pick(200), uint32_t(turn));
            } else {
                rig.paint(kind, rig.area());
            }
            ASSERT_EQ(rig.record(kind), Recorded::Step) << kind;
            states.resize(++at);
            states.push_back(stateOf(*rig.ws));
        }
        ASSERT_TRUE(stateOf(*rig.ws) == states[at]) << "turn " << turn;
        ASSERT_EQ(rig.history.canUndo(), at > 0);
        ASSERT_EQ(rig.history.canRedo(), at + 1 < states.size());
    }
  }
}

TEST(History, TheDisplayAloneIsNoStepAndTheBudgetDropsTheOldest) {
    Rig rig;
    rig.paint("d", {0, 0, 100, 100});
    const uint32_t marker = rig.ws->display.at(50, 50);
    EXPECT_EQ(rig.record("View All"), Recorded::Nothing);
    rig.paint("c", {0, 0, 10, 10});
    ASSERT_EQ(rig.record("Brush"), Recorded::Step);
    EXPECT_EQ(rig.history.bytes(), 10 * 10 * 4 + kTileSide * sizeof(uint64_t)) << "a step holds the pixels it changed, of the planes it changed";
    rig.history.undo(rig.ws);
    EXPECT_TRUE(rig.ws->display.at(5, 5) == marker && rig.ws->display.at(90, 90) == marker) << "the markers stay";

    Rig small(3 * 64 * 64 * 4);  // three colour tiles
    for (int i = 0; i < 5; ++i) {
        small.paint("c", {i * 64, 0, i * 64 + 64, 64});
        ASSERT_EQ(small.record("Brush " + std::to_string(i)), Recorded::Step);
    }
    EXPECT_EQ(small.history.steps(), 3u);
    EXPECT_EQ(small.history.undoName(), "Brush 4");
    small.paint("c", {0, 0, 300, 128});
    EXPECT_EQ(small.record("Fill"), Recorded::TooLarge);
    EXPECT_FALSE(small.history.canUndo()) << "nothing before a step that was not kept can be undone";
}

TEST(History, TheSnapshotExchangesOnlyWhatChangedSinceItWasTaken) {
    Rig rig;
    rig.paint("c", {0, 0, 200, 100});
    rig.record("Fill");
    const Bitmap pressed = rig.ws->colour.clone();
    rig.history.takeSnapshot(*rig.ws);
    rig.paint("c", {150, 50, 250, 150});
    rig.record("Brush");
    const Bitmap painted = rig.ws->colour.clone();
    for (const Bitmap* expected : {&pressed, &painted, &pressed}) {
        rig.history.exchangeSnapshot(*rig.ws);
        rig.record("Un-do");
        EXPECT_TRUE(cwtest::samePixels(rig.ws->colour, *expected));
    }
    rig.history.undo(rig.ws);  // the third exchange, taken back
    EXPECT_TRUE(cwtest::samePixels(rig.ws->colour, painted));
}

// An Un-do pressed while the change before it is still being recorded
// exchanges into planes of the picture's own and lets the recording go on:
// the picture, and every step back and forth, as when it waits. The change:
// a fill over tiles the snapshot keeps and tiles it does not; markers, codes
// and anchors (a mark-up), which leave the colour as it was.
TEST(History, AnExchangeMadeWhileTheLastChangeIsRecordedKeepsEveryStep) {
  // keptBefore: a tile changed since the snapshot before the change, which
  // the exchange puts back (without, the second exchanges nothing); fresh:
  // the change is the first to the picture as set up, and over all of it.
  struct Case {
      const char* change;
      bool keptBefore, fresh;
  };
  for (const auto& [change, keptBefore, fresh] : {Case{"cdka", true, false}, Case{"dka", false, false}, Case{"cdka", false, true}}) {
    SCOPED_TRACE(std::string(change) + (fresh ? " fresh" : ""));
    Rig waits, ahead;
    for (Rig* rig : {&waits, &ahead}) {
      if (fresh) {
        rig->history.takeSnapshot(*rig->ws);
        rig->paint(change, {0, 0, rig->ws->width, rig->ws->height});
      } else {
        rig->paint("cd", {0, 0, 200, 100});
        rig->record("Fill");
        rig->paint("c", {10, 10, 20, 20});
        rig->paint("d", {60, 60, 70, 70});  // a marker
        rig->record("Brush");
        rig->history.takeSnapshot(*rig->ws);
        if (keptBefore) rig->paint("c", {0, 0, 40, 40}), rig->record("Brush");
        rig->paint(change, {30, 20, 260, 150});
      }
      rig->ws->freePixelCount -= 100;
    }
    waits.record("Change");
    waits.history.exchangeSnapshot(*waits.ws);
    waits.ws->display.copyFrom(waits.ws->colour);
    waits.record("Un-do");
    {
        const ForegroundWork meanwhile;  // the recorder pauses at its first pause
        ASSERT_EQ(ahead.history.record(*ahead.ws, "Change"), Recorded::Pending);
        ASSERT_TRUE(ahead.history.exchangeSnapshotAhead(*ahead.ws));
        EXPECT_TRUE(ahead.history.recordsBehind() && ahead.history.changedSince(*ahead.ws));
        EXPECT_EQ(ahead.history.record(*ahead.ws, "Un-do"), Recorded::Pending);
        EXPECT_EQ(ahead.ws->colour.data() == ahead.ws->source.data(), fresh) << "the picture as set up shows its source";
    }
    EXPECT_EQ(ahead.history.settle(), Recorded::Step);
    EXPECT_TRUE(ahead.ws->colour.data() != ahead.ws->source.data() && ahead.ws->display.data() != ahead.ws->colour.data());
    EXPECT_EQ(ahead.history.steps(), waits.history.steps());
    EXPECT_EQ(ahead.history.undoName(), waits.history.undoName());
    EXPECT_TRUE(cwtest::samePixels(ahead.ws->display, ahead.ws->colour));
    auto same = [&](const char* when) { EXPECT_TRUE(stateOf(*ahead.ws) == stateOf(*waits.ws)) << when; };
    same("after the Un-do");
    for (int back = 0; back < 2; ++back) {
        for (Rig* rig : {&waits, &ahead}) rig->history.undo(rig->ws);
        same("a step undone");
    }
    for (Rig* rig : {&waits, &ahead}) rig->history.redo(rig->ws), rig->history.redo(rig->ws);
    same("both done again");
    for (Rig* rig : {&waits, &ahead}) rig->history.exchangeSnapshot(*rig->ws), rig->record("Un-do");
    same("Un-do pressed again");
  }
}

} // namespace

TEST(History, TheRecorderGivesWayToASaveUnlessItIsAwaited) {
    EXPECT_FALSE(backgroundGivesWay());
    {
        std::thread other;
        const ForegroundWork saving;
        EXPECT_TRUE(backgroundGivesWay());
        {
            const ForegroundWaits onTheDisk;  // the save waits on the disk: the recording goes on meanwhile
            EXPECT_FALSE(backgroundGivesWay());
        }
        EXPECT_TRUE(backgroundGivesWay());
        bool givesWayMeanwhile = false;  // a thread that holds no foreground work waits: the save still runs
        other = std::thread([&] {
            const ForegroundWaits notASave;
            givesWayMeanwhile = backgroundGivesWay();
        });
        other.join();
        EXPECT_TRUE(givesWayMeanwhile && backgroundGivesWay());
        // A save that waits for the recorder must not wait for itself: a whole-picture recording settles.
        const std::unique_ptr<Workspace> ws = picture(640, 480, 1);
        History h;
        h.start(*ws, History::Opened::JustSetUp);
        for (size_t i = 0; i < ws->pixelCount(); ++i) ws->colour.data()[i] ^= 0x00ff00u;
        h.touched({0, 0, ws->width, ws->height});
        h.record(*ws, "Paint");
        const BackgroundAwaited awaited;
        EXPECT_FALSE(backgroundGivesWay());
        EXPECT_EQ(h.settle(), Recorded::Step);
    }
    EXPECT_FALSE(backgroundGivesWay());
}
