#include "records/EchoPoll.h"

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// 1000 program milliseconds per real millisecond: a 5000 ms bound passes in 5 ms.
const CTimeBase kFast(1000.0);

TEST(EchoPollTest, ConfirmedOnTheThirdPoll) {
    CEchoPoll poll(kFast, 150.0);
    std::vector<double> waits;
    poll.SetWaitHook([&](double ms) {
        waits.push_back(ms);
        kFast.Sleep(ms);
    });
    int sends = 0, polls = 0;
    EXPECT_EQ(poll.Run([&] { return ++sends, true; }, [&] { return ++polls == 3; }),
              EchoPollResult::Confirmed);
    EXPECT_EQ(sends, 1);
    EXPECT_EQ(polls, 3);
    ASSERT_EQ(waits.size(), 3u);
    for (const double ms : waits) {
        EXPECT_GT(ms, 0.0);
        EXPECT_LE(ms, 150.0);
    }
}

TEST(EchoPollTest, FailedSendIsReportedWithoutPolling) {
    const CEchoPoll poll(kFast, 25.0);
    int polls = 0;
    EXPECT_EQ(poll.Run([] { return false; }, [&] { return ++polls, true; }),
              EchoPollResult::SendFailed);
    EXPECT_EQ(poll.Run(nullptr, [&] { return ++polls, true; }), EchoPollResult::SendFailed);
    EXPECT_EQ(polls, 0);
    EXPECT_STRNE(EchoPollMessage(EchoPollResult::SendFailed),
                 EchoPollMessage(EchoPollResult::TimedOut));
}

TEST(EchoPollTest, EchoThatNeverComesTimesOut) {
    const CEchoPoll poll(kFast, 150.0);
    int polls = 0;
    const double start = kFast.NowMs();
    EXPECT_EQ(poll.Run([] { return true; }, [&] { return ++polls, false; }),
              EchoPollResult::TimedOut);
    EXPECT_GE(kFast.NowMs() - start, CEchoPoll::kDefaultBoundMs);
    // Sleeps last at least as long as asked: at most one poll per interval, plus the last.
    EXPECT_GE(polls, 2);
    EXPECT_LE(polls, static_cast<int>(std::ceil(CEchoPoll::kDefaultBoundMs / 150.0)) + 1);
    EXPECT_STRNE(EchoPollMessage(EchoPollResult::TimedOut), "");

    // A wait that returns at once does not turn the bound into a count of polls.
    CEchoPoll hooked(kFast, 150.0, 2000.0);
    hooked.SetWaitHook([](double) {});
    const double hookedStart = kFast.NowMs();
    EXPECT_EQ(hooked.Run([] { return true; }, [] { return false; }), EchoPollResult::TimedOut);
    EXPECT_GE(kFast.NowMs() - hookedStart, 2000.0);
}

TEST(EchoPollTest, PredicateIsCheckedOnceMoreWhenTheBoundIsReached) {
    const CEchoPoll poll(kFast, 150.0, 1000.0);
    const double start = kFast.NowMs();
    EXPECT_EQ(poll.Run([] { return true; }, [&] { return kFast.NowMs() - start >= 1000.0; }),
              EchoPollResult::Confirmed);

    CEchoPoll once(kFast, 150.0, 0.0);
    int waits = 0, polls = 0;
    once.SetWaitHook([&](double) { ++waits; });
    EXPECT_EQ(once.Run([] { return true; }, [&] { return ++polls, false; }),
              EchoPollResult::TimedOut);
    EXPECT_EQ(polls, 1);
    EXPECT_EQ(waits, 0);
}

TEST(EchoPollTest, InvalidIntervalAndBoundAreMadeSafe) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const struct {
        double interval, bound, expectedInterval, expectedBound;
    } cases[] = {{0.0, -1.0, 1.0, CEchoPoll::kDefaultBoundMs},
                 {kNaN, kNaN, 1.0, CEchoPoll::kDefaultBoundMs},
                 {-5.0, kInf, 1.0, CEchoPoll::kDefaultBoundMs},
                 {25.0, 10000.0, 25.0, 10000.0}};
    for (const auto& c : cases) {
        const CEchoPoll poll(kFast, c.interval, c.bound);
        EXPECT_EQ(poll.IntervalMs(), c.expectedInterval);
        EXPECT_EQ(poll.BoundMs(), c.expectedBound);
    }
}

} // namespace
