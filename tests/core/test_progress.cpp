#include <gtest/gtest.h>

#include "test_support.h"

using cwtest::RecordingProgress;

TEST(Progress, BeginResetsTheAbortAndTheLookThatEndRestores) {
    RecordingProgress p;
    p.begin("first", {.hideAbort = true});
    EXPECT_FALSE(p.abortVisible());
    p.report(60);
    p.abortPressed();
    EXPECT_TRUE(p.poll());
    p.lock();
    EXPECT_TRUE(p.locked());
    p.end();
    p.unlock();
    EXPECT_FALSE(p.locked() || p.visible());
    EXPECT_TRUE(p.abortVisible()) << "end restores what begin hid";
    EXPECT_EQ(p.modalResult(), cw::kModalAbort) << "the request stays until the next begin";
    p.begin("second");
    EXPECT_EQ(p.modalResult(), cw::kModalNone);
    EXPECT_FALSE(p.poll()) << "an earlier Abort must not stop the next operation";
    EXPECT_TRUE(p.gaugeVisible() && p.gaugeTextVisible() && p.phaseVisible() && p.visible());
    EXPECT_EQ(p.progress(), 0);
    EXPECT_EQ(p.phases, (std::vector<std::string>{"first", "second"}));
    // 0 (as shown), 5 (draw), 5, 100 (clamped, draw), 100, 0 (clamped, draw)
    const int drawsAfterBegin = p.gaugeDraws;
    for (int v : {0, 5, 5, 150, 100, -20}) p.report(v);
    EXPECT_EQ(p.gaugeDraws - drawsAfterBegin, 3);
    EXPECT_EQ(p.progress(), 0);
    for (int v : {40, 30}) p.reportMonotonic(v);
    EXPECT_EQ(p.progress(), 40) << "monotonic reporting never moves back";
}

TEST(Progress, ScriptedAbortStopsALoopAtTheExactPollAndPollsPumpRarely) {
    for (uint64_t abortAt : {1u, 2u, 7u, 50u}) {
        RecordingProgress p;
        p.abortAtPoll = abortAt;
        p.begin("rows");
        int rowsDone = 0;
        for (int y = 0; y < 20 && !p.poll(); ++y) ++rowsDone;
        EXPECT_EQ(rowsDone, std::min<int>(int(abortAt) - 1, 20)) << "abort at poll " << abortAt;
    }
    RecordingProgress p;
    p.begin("many polls");
    for (int i = 0; i < 200000; ++i) p.poll();
    EXPECT_GE(p.pumps, 1) << "the first poll processes pending events";
    EXPECT_LT(p.pumps, 1000) << "a poll per pixel must not process events per pixel";
}
