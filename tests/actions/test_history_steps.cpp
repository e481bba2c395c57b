// The undo history through the program's own commands: a long random run of strokes, fills, finish-ups, mark-ups,
// crops and scales, Un-do presses, undos and redos, against a model that keeps the whole picture after every step.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/helper_threads.h"
#include "runner_rig.h"

namespace {
using namespace cw;
using cwtest::RunnerRig;

// What the history gives back: the picture's size, its pixels, codes and anchors, and the uncoloured count; with
// the display or without it.
std::string content(const RunnerRig& rig, bool display = true) {
    const Workspace& ws = *rig.r.session.ws;
    std::string all = std::to_string(ws.width) + "x" + std::to_string(ws.height) + " " + std::to_string(ws.freePixelCount);
    for (const Bitmap* b : {&ws.colour, &ws.source})
        all.append(reinterpret_cast<const char*>(b->data()), b->pixelCount() * sizeof(uint32_t));
    if (display) all.append(reinterpret_cast<const char*>(ws.display.data()), ws.pixelCount() * sizeof(uint32_t));
    all.append(reinterpret_cast<const char*>(ws.codes.get()), ws.pixelCount());
    for (const Anchor& a : ws.anchors) all += " " + std::to_string(a.x) + "," + std::to_string(a.y) + "," + std::to_string(a.code);
    return all;
}

TEST(HistorySteps, EveryUndoAndRedoGivesBackTheWholePictureOfItsStep) {
    RunnerRig rig;
    ASSERT_EQ(rig.lines("load \"" + cwtest::testdata("photos/camera.bmp") + "\"\nset complexity 32"), "");
    History& history = rig.r.session.history;
    std::mt19937 random(5);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    auto point = [&] {
        const Workspace& ws = *rig.r.session.ws;
        return std::to_string(pick(ws.width)) + " " + std::to_string(pick(ws.height)) + " ";
    };
    const std::vector<std::string> palettes = {"Sky: Blue", "Skin: Fair", "Greens: Summer"};
    // Each a change of one kind, named as the history names its step.
    const std::vector<std::pair<const char*, std::function<std::string()>>> changes = {
        {"Brush", [&] { return "tool brush\ndrag " + point() + point() + point(); }},
        {"Touch-paint", [&] { return "tool touch\nset scope image-wide\ntap " + point(); }},
        {"Touch-paint", [&] { return "tool touch\nset scope connected\ntap " + point(); }},
        {"Selection-paint", [&] { return "tool selection-paint\ndrag " + point() + point(); }},
        {"AutoFinish", [] { return std::string("autofinish"); }},
        {"AutoFinish", [] { return std::string("abort-after 2\nautofinish"); }},  // holding what it did
        {"Mark-up", [] { return std::string("markup"); }},
        {"Process", [] { return std::string("process"); }},
        {"Remove", [] { return std::string("remove"); }},
        {"Un-do", [] { return std::string("undo"); }},
        {"Crop", [&] {  // a band dragged down and right, which selects
            const Workspace& ws = *rig.r.session.ws;
            const int x = pick(ws.width / 2), y = pick(ws.height / 2);
            return "tool rectangle\ndrag " + std::to_string(x) + " " + std::to_string(y) + " " +
                   std::to_string(x + 2 + pick(ws.width / 2)) + " " + std::to_string(y + 2 + pick(ws.height / 2)) + "\nreset";
        }},
        {"Scale", [&] { return rig.r.session.ws->width > 200 ? "set scale-factor -2\nreset" : "set scale-factor 2\nreset"; }},
    };
    std::vector<std::string> states{content(rig)};  // states[i]: the picture after step i
    size_t at = 0;
    for (int turn = 0; turn < 300; ++turn) {
        const int roll = pick(10);
        if (roll < 3 && at > 0) {
            ASSERT_EQ(rig.lines("history-undo"), "");
            --at;
        } else if (roll < 5 && at + 1 < states.size()) {
            ASSERT_EQ(rig.lines("history-redo"), "");
            ++at;
        } else {
            const auto& [name, script] = changes[size_t(pick(int(changes.size())))];
            ASSERT_EQ(rig.lines("palette \"" + palettes[size_t(pick(3))] + "\"\nset scale-factor 0"), "");
            states[at] = content(rig);  // what a palette menu or a rubber band drew is where the next step starts
            const std::string before = content(rig, false), lines = script();
            const size_t steps = history.steps();
            ASSERT_EQ(rig.lines(lines), "") << lines;
            history.settle();  // the step is kept once the recorder is done
            if (content(rig, false) == before) {
                // Markers or a rubber band alone are no step: they are where the next one starts.
                ASSERT_EQ(history.steps(), steps) << lines;
                states[at] = content(rig);
            } else {
                ASSERT_EQ(history.undoName(), name) << lines;
                states.resize(++at);
                states.push_back(content(rig));
            }
        }
        ASSERT_EQ(history.canUndo(), at > 0) << turn;
        ASSERT_EQ(history.canRedo(), at + 1 < states.size()) << turn;
        ASSERT_TRUE(content(rig) == states[at]) << "turn " << turn << ", step " << at << ": " << history.undoName();
    }
}

// A mark-up that discards the colours (Re-mark) takes them back on undo, and a
// plain one leaves them for the history to skip.
TEST(HistorySteps, AMarkUpThatDiscardsTheColoursUndoesThem) {
    for (const bool discard : {true, false}) {
        SCOPED_TRACE(discard ? "re-mark" : "mark-up");
        RunnerRig rig;
        ASSERT_EQ(rig.lines("load \"" + cwtest::testdata("photos/camera.bmp") + "\"\npalette \"Sky: Blue\"\n"
                            "tool brush\ndrag 100 100 200 200 300 150\ntool touch\nset scope image-wide\ntap 50 50"), "");
        const std::string before = content(rig);
        ASSERT_EQ(rig.lines(std::string(discard ? "set remark on\n" : "") + "markup"), "");
        const std::string after = content(rig);
        ASSERT_EQ(rig.r.session.ws->colour.data()[0] == rig.r.session.ws->source.data()[0], discard);
        ASSERT_EQ(rig.lines("history-undo"), "");
        EXPECT_TRUE(content(rig) == before);
        ASSERT_EQ(rig.lines("history-redo"), "");
        EXPECT_TRUE(content(rig) == after);
    }
}

// The Un-do button pressed at once after a fill, while the fill is still being
// recorded, and pressed once the recording is done: the same picture, and
// the same steps back and forth. Opened as set up, and with a change kept in
// the snapshot before the fill.
TEST(HistorySteps, AnUnDoPressedWhileTheFillIsRecordedEndsAsOneThatWaits) {
    for (const char* before : {"", "tool brush\ndrag 100 100 200 200 300 150\n"}) {
        SCOPED_TRACE(*before ? "a stroke kept before" : "as set up");
        RunnerRig waits, ahead;
        for (RunnerRig* rig : {&waits, &ahead})
            ASSERT_EQ(rig->lines("load \"" + cwtest::testdata("photos/camera.bmp") + "\"\nmarkup\npalette \"Sky: Blue\"\n" +
                                 before + "tool touch\nset scope image-wide"),
                      "");
        const std::string fill = "tap 50 50", undo = "undo";
        ASSERT_EQ(waits.lines(fill), "");
        waits.r.session.history.settle();
        ASSERT_EQ(waits.lines(undo), "");
        {
            const ForegroundWork meanwhile;  // the recorder pauses at its first pause
            ASSERT_EQ(ahead.lines(fill), "");
            ASSERT_TRUE(ahead.r.session.history.recording());
            ASSERT_EQ(ahead.lines(undo), "");
            EXPECT_TRUE(ahead.r.session.history.recording()) << "the Un-do waited for the recording";
            EXPECT_TRUE(content(ahead) == content(waits)) << "what the Un-do shows";
        }
        for (const char* next : {"", "history-undo", "history-undo", "history-redo", "history-redo", "undo", "history-undo"}) {
            ASSERT_EQ(waits.lines(next), "");
            ASSERT_EQ(ahead.lines(next), "");
            waits.r.session.history.settle();
            ahead.r.session.history.settle();
            EXPECT_EQ(ahead.r.session.history.steps(), waits.r.session.history.steps()) << next;
            EXPECT_TRUE(content(ahead) == content(waits)) << next;
        }
    }
}

} // namespace
