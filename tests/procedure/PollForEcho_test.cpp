// The echo poll: one send, then a look after each interval until the echo comes in a report
// counted after the send, the bound passes or the step is cancelled; a dead link goes on.
#include "procedure/PollForEcho.h"
#include "procedure/ProcedureFixture.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace {

constexpr double kNeverMs = 10 * CProcedureFixture::kRunBoundMs;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class PollForEchoTest : public CProcedureFixture {
protected:
    // A poll whose every report is new and whose echo matches from look `echoFrom` on
    // (never when 0).
    QCoro::Task<EchoPollResult> Poll(double intervalMs, double boundMs, int echoFrom) {
        return PollForEcho(
            *context, intervalMs, boundMs, [this] { return ++sends, true; },
            [this] { return ++reportCount; },
            [this, echoFrom] { return ++looks >= echoFrom && echoFrom != 0; });
    }

    int sends = 0;
    int looks = 0;
    std::uint32_t reportCount = 0;
};

// None of these has a link: the poll runs to its echo or its bound all the same.
TEST_F(PollForEchoTest, LooksAfterEachIntervalUntilTheEchoOrTheBoundEvenWithoutALink) {
    struct Case {
        const char* name;
        double intervalMs, boundMs;
        int echoFrom;
        EchoPollResult result;
        int looks; // 0: at least one
        double minElapsedMs;
    };
    const Case cases[] = {
        {"echo at the third look", 150, kNeverMs, 3, EchoPollResult::Confirmed, 3, 450},
        {"no echo", 150, 2000, 0, EchoPollResult::TimedOut, 0, 2000},
        {"no bound: one look", 150, 0, 0, EchoPollResult::TimedOut, 1, 0},
        {"zero interval taken as 1 ms", 0, kNeverMs, 3, EchoPollResult::Confirmed, 3, 3},
        {"bound not a number taken as 5000 ms", 150, kNaN, 0, EchoPollResult::TimedOut, 0, 5000},
        {"negative bound taken as 5000 ms", 150, -1, 0, EchoPollResult::TimedOut, 0, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sends = looks = 0;
        const double startMs = timeBase.NowMs();
        EXPECT_EQ(Finish(Poll(c.intervalMs, c.boundMs, c.echoFrom)), c.result);
        EXPECT_GE(timeBase.NowMs() - startMs, c.minElapsedMs);
        EXPECT_EQ(sends, 1);
        if (c.looks != 0) {
            EXPECT_EQ(looks, c.looks);
        } else {
            EXPECT_GE(looks, 1);
        }
    }
}

// The record already shows the value sent: only a report that arrives after the send
// confirms it.
TEST_F(PollForEchoTest, AValueTheRecordHeldBeforeTheSendIsNoEcho) {
    std::uint32_t reports = 7;
    const auto matches = [] { return true; };
    const auto send = [] { return true; };
    EXPECT_EQ(Finish(PollForEcho(
                  *context, 150, 2000, send, [&] { return reports; }, matches)),
              EchoPollResult::TimedOut);
    int calls = 0;
    EXPECT_EQ(Finish(PollForEcho(
                  *context, 150, 2000, send, [&] { return ++calls == 2 ? ++reports : reports; },
                  matches)),
              EchoPollResult::Confirmed);
}

TEST_F(PollForEchoTest, AFailedSendLooksAtNothing) {
    const auto reports = [&] { return ++reportCount; };
    const auto matches = [&] { return ++looks, true; };
    EXPECT_EQ(Finish(PollForEcho(
                  *context, 25, 5000, [] { return false; }, reports, matches)),
              EchoPollResult::SendFailed);
    EXPECT_EQ(looks, 0);
}

TEST_F(PollForEchoTest, ACancelledPollEndsAtOnceAndSendsNothingWhenCancelledBeforeTheSend) {
    enum class When { BeforeTheSend, AsItIsSent, WhileTheEchoIsAwaited, ContextDestroyed };
    struct Case {
        const char* name;
        When when;
        int sends;
    };
    const Case cases[] = {
        {"before the send", When::BeforeTheSend, 0},
        {"as it is sent", When::AsItIsSent, 1},
        {"while the echo is awaited", When::WhileTheEchoIsAwaited, 1},
        {"context destroyed while the echo is awaited", When::ContextDestroyed, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        context = std::make_unique<CStepContext>(*link, timeBase);
        sends = looks = 0;
        if (c.when == When::BeforeTheSend) {
            context->Cancel();
        } else if (c.when == When::WhileTheEchoIsAwaited) {
            QTimer::singleShot(20, [&] { context->Cancel(); });
        } else if (c.when == When::ContextDestroyed) {
            QTimer::singleShot(20, [&] { context.reset(); });
        }
        const auto send = [&] {
            ++sends;
            if (c.when == When::AsItIsSent) {
                context->Cancel();
            }
            return true;
        };
        EXPECT_EQ(Finish(PollForEcho(
                      *context, 25, kNeverMs, send, [&] { return ++reportCount; },
                      [&] { return ++looks, false; })),
                  EchoPollResult::Cancelled);
        EXPECT_EQ(sends, c.sends);
        if (c.when != When::WhileTheEchoIsAwaited && c.when != When::ContextDestroyed) {
            EXPECT_EQ(looks, 0);
        }
    }
    EXPECT_STREQ(EchoPollMessage(EchoPollResult::Cancelled), "");
}

} // namespace
