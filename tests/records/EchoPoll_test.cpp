#include "records/EchoPoll.h"

#include "device/CountingUiThread.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

// 1000 program milliseconds per real millisecond: a 5000 ms bound passes in 5 ms.
const CTimeBase kFast(1000.0);

// A door whose pauses return at once, as a wait that ends early would.
class CInstantDoor : public CCountingUiThread {
public:
    using CCountingUiThread::CCountingUiThread;
    bool WaitUntil(const std::function<bool()>& done, double /*programMs*/,
                   const CTimeBase& clock) override {
        CCountingUiThread::WaitUntil(done, 0, clock);
        return done && done();
    }
};

TEST(EchoPollTest, EveryPauseGoesThroughTheDoorWithinTheInterval) {
    CCountingUiThread door(kFast);
    const CEchoPoll poll(door, kFast, 150.0, 1e7); // a bound no loaded machine reaches
    int sends = 0, polls = 0;
    EXPECT_EQ(poll.Run([&] { return ++sends, true; }, [&] { return ++polls == 3; }),
              EchoPollResult::Confirmed);
    EXPECT_EQ(sends, 1);
    const auto waits = door.TakeWaits();
    ASSERT_EQ(waits.size(), 3u);
    for (const auto& wait : waits) {
        EXPECT_FALSE(wait.withPredicate); // a fixed pause: the predicate is polled after it
        EXPECT_GT(wait.programMs, 0.0);
        EXPECT_LE(wait.programMs, 150.0);
    }
}

TEST(EchoPollTest, FailedSendIsReportedWithoutPollingOrWaiting) {
    CCountingUiThread door(kFast);
    const CEchoPoll poll(door, kFast, 25.0);
    int polls = 0;
    EXPECT_EQ(poll.Run([] { return false; }, [&] { return ++polls, true; }),
              EchoPollResult::SendFailed);
    EXPECT_EQ(poll.Run(nullptr, [&] { return ++polls, true; }), EchoPollResult::SendFailed);
    EXPECT_EQ(polls, 0);
    EXPECT_TRUE(door.TakeWaits().empty());
}

// The bound is kept on the time base's clock whether the door's pauses last as long as
// asked or return at once.
TEST(EchoPollTest, EchoThatNeverComesTimesOutOnTheClock) {
    CCountingUiThread real(kFast);
    CInstantDoor instant(kFast);
    for (CCountingUiThread* door : {&real, static_cast<CCountingUiThread*>(&instant)}) {
        const CEchoPoll poll(*door, kFast, 150.0, 2000.0);
        int polls = 0;
        const double start = kFast.NowMs();
        EXPECT_EQ(poll.Run([] { return true; }, [&] { return ++polls, false; }),
                  EchoPollResult::TimedOut);
        EXPECT_GE(kFast.NowMs() - start, 2000.0);
        EXPECT_GE(polls, 1);
        double total = 0;
        for (const auto& wait : door->TakeWaits()) {
            total += wait.programMs;
        }
        EXPECT_LE(total, door == &real ? 2000.0 + 1e-6 : 1e12);
    }
    EXPECT_STRNE(EchoPollMessage(EchoPollResult::TimedOut), "");
}

TEST(EchoPollTest, PredicateIsCheckedOnceMoreWhenTheBoundIsReached) {
    CCountingUiThread door(kFast);
    const CEchoPoll poll(door, kFast, 150.0, 1000.0);
    const double start = kFast.NowMs();
    EXPECT_EQ(poll.Run([] { return true; }, [&] { return kFast.NowMs() - start >= 1000.0; }),
              EchoPollResult::Confirmed);

    door.TakeWaits();
    const CEchoPoll once(door, kFast, 150.0, 0.0);
    int polls = 0;
    EXPECT_EQ(once.Run([] { return true; }, [&] { return ++polls, false; }),
              EchoPollResult::TimedOut);
    EXPECT_EQ(polls, 1);
    EXPECT_TRUE(door.TakeWaits().empty());
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
    CCountingUiThread door(kFast);
    for (const auto& c : cases) {
        const CEchoPoll poll(door, kFast, c.interval, c.bound);
        EXPECT_EQ(poll.IntervalMs(), c.expectedInterval);
        EXPECT_EQ(poll.BoundMs(), c.expectedBound);
    }
}

// The record already shows the value sent (kept from before, or from a page that does not
// show it): only a report that arrives after the send confirms it.
TEST(EchoPollTest, AValueTheRecordHeldBeforeTheSendIsNoEcho) {
    CCountingUiThread door(kFast);
    const CEchoPoll poll(door, kFast, 150.0, 2000.0);
    std::uint32_t reports = 7;
    const auto matches = [] { return true; };
    EXPECT_EQ(poll.RunForEcho([] { return true; }, [&] { return reports; }, matches),
              EchoPollResult::TimedOut);
    int polls = 0;
    EXPECT_EQ(poll.RunForEcho([] { return true; },
                              [&] { return ++polls == 2 ? ++reports : reports; }, matches),
              EchoPollResult::Confirmed);
}

} // namespace
