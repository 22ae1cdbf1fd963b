// The stopwatch on a test counter: running, stopped, resumed and restarted; and on the system's counter.
#include "probes/Stopwatch.h"

#include "fakes/FakeIcmp.h"

#include <gtest/gtest.h>

using namespace lanwick;
using lanwick::test::CFakeProbeClock;

TEST(Stopwatch, StopKeepsTheElapsedTimeStartResumesAStoppedOneAndRestartsARunningOne) {
    CFakeProbeClock clock;
    CStopwatch stopped(false, clock);
    CStopwatch w(true, clock);
    clock.Advance(250);
    EXPECT_FALSE(stopped.IsRunning());
    EXPECT_DOUBLE_EQ(stopped.ElapsedMicroseconds(), 0.0);
    EXPECT_TRUE(w.IsRunning());
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 250.0);
    w.Stop();
    clock.Advance(1000);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 250.0);
    w.Start();
    clock.Advance(100);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 350.0);
    w.Start();
    clock.Advance(30);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 30.0);
    w.Stop();
    w.Start(true);
    clock.Advance(5);
    EXPECT_DOUBLE_EQ(w.ElapsedMicroseconds(), 5.0);
    // Only a zero start reads as stopped: a counter at its first tick is a start.
    CFakeProbeClock early;
    early.Advance(1 - early.Now());
    CStopwatch first(true, early);
    early.Advance(7);
    EXPECT_DOUBLE_EQ(first.ElapsedMicroseconds(), 7.0);
}

TEST(Stopwatch, SystemCounterMeasuresASleep) {
    CStopwatch w(true);
    SystemProbeClock().Sleep(20);
    const double us = w.ElapsedMicroseconds();
    EXPECT_GE(us, 19000.0);
    EXPECT_LT(us, 2000000.0);
}
