#include "net/TTimeCounter.h"

#include <gtest/gtest.h>

#include <thread>

namespace vexil {
namespace {

using namespace std::chrono_literals;

struct ManualClock {
    TTimeCounter::Clock::time_point now{};
    TTimeCounter::NowFunction Function() {
        return [this] { return now; };
    }
};

TEST(TTimeCounter, CountsDownOnceASecondUntilTimedOut) {
    ManualClock clock;
    TTimeCounter counter(3, clock.Function());
    counter.Start();
    EXPECT_EQ(counter.Count(), 3);
    clock.now += 999ms;
    counter.Poll();
    EXPECT_EQ(counter.Count(), 3);
    clock.now += 1ms;
    counter.Poll();
    EXPECT_EQ(counter.Count(), 2);
    EXPECT_FALSE(counter.TimedOut());
    clock.now += 2s;
    counter.Poll();
    EXPECT_EQ(counter.Count(), 0);
    EXPECT_TRUE(counter.TimedOut());
}

TEST(TTimeCounter, ZeroAndOneTimeOutAtTheFirstTick) {
    for (int seconds : {0, 1}) {
        ManualClock clock;
        TTimeCounter counter(seconds, clock.Function());
        counter.Start();
        clock.now += 500ms;
        counter.Poll();
        EXPECT_FALSE(counter.TimedOut()) << seconds;
        clock.now += 500ms;
        counter.Poll();
        EXPECT_TRUE(counter.TimedOut()) << seconds;
    }
}

TEST(TTimeCounter, StoppedCounterDoesNotTick) {
    ManualClock clock;
    TTimeCounter counter(1, clock.Function());
    counter.Start();
    counter.Stop();
    clock.now += 10s;
    counter.Poll();
    EXPECT_FALSE(counter.TimedOut());
    EXPECT_EQ(counter.Count(), 1);
}

TEST(TTimeCounter, TimeOutLatchesUntilTheOwnerClearsIt) {
    ManualClock clock;
    TTimeCounter counter(1, clock.Function());
    counter.Start();
    clock.now += 1s;
    counter.Poll();
    ASSERT_TRUE(counter.TimedOut());
    counter.Start(); // a restart does not end a time-out that was not cleared
    EXPECT_TRUE(counter.TimedOut());
    EXPECT_EQ(counter.Count(), 1);
    counter.SetTimedOut(false);
    clock.now += 500ms;
    counter.Poll();
    EXPECT_FALSE(counter.TimedOut());
}

TEST(TTimeCounter, RestartBeginsAFreshSecond) {
    ManualClock clock;
    TTimeCounter counter(2, clock.Function());
    counter.Start();
    clock.now += 1900ms;
    counter.Start(); // an inactivity time-out restarted by every chunk
    clock.now += 900ms;
    counter.Poll();
    EXPECT_EQ(counter.Count(), 2);
}

TEST(TTimeCounter, CountsOnTheRealClockByDefault) {
    TTimeCounter counter;
    EXPECT_EQ(counter.TimeOut(), 60);
    counter.SetTimeOut(0);
    counter.Start();
    const auto until = TTimeCounter::Clock::now() + 3s;
    while (!counter.TimedOut() && TTimeCounter::Clock::now() < until) {
        std::this_thread::sleep_for(5ms);
        counter.Poll();
    }
    EXPECT_TRUE(counter.TimedOut());
}

} // namespace
} // namespace vexil
