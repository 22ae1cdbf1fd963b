// The stopwatch on a test counter: running, stopped, resumed and restarted.
#include "probes/Stopwatch.h"

#include "fakes/FakeIcmp.h"

#include <gtest/gtest.h>

using namespace lanwick;
using lanwick::test::CFakeProbeClock;

TEST(Stopwatch, MadeStoppedItReadsZeroAndIsNotRunning) {
    CFakeProbeClock clock;
    CStopwatch w(false, clock);
    clock.Advance(1000);
    EXPECT_FALSE(w.IsRunning());
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 0.0);
}

TEST(Stopwatch, StopKeepsTheElapsedTimeAndStartResumesFromIt) {
    CFakeProbeClock clock;
    CStopwatch w(true, clock);
    clock.Advance(250);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 250.0);
    w.Stop();
    clock.Advance(1000);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 250.0);
    w.Start(); // stopped with elapsed time: resumes
    clock.Advance(100);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 350.0);
}

TEST(Stopwatch, StartRestartsARunningStopwatchAndTheRestartFlagAStoppedOne) {
    CFakeProbeClock clock;
    CStopwatch w(true, clock);
    clock.Advance(400);
    w.Start();
    clock.Advance(30);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 30.0);
    w.Stop();
    w.Start(true);
    clock.Advance(5);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 5.0);
}

TEST(Stopwatch, SystemCounterMeasuresASleep) {
    CStopwatch w(true);
    SystemProbeClock().Sleep(20);
    const double us = w.ElapsedMicroseconds();
    EXPECT_GE(us, 19000.0);
    EXPECT_LT(us, 2000000.0);
}
