// The awaited waits on the time base: a delay runs its time unless cancelled; a poll ends
// when its condition holds, at its bound, when the link is lost or when it is cancelled.
#include "procedure/ProcedureFixture.h"
#include "procedure/StepWaits.h"

namespace {

constexpr double kNeverMs = 10 * CProcedureFixture::kRunBoundMs;

class StepWaitsTest : public CProcedureFixture {};

TEST_F(StepWaitsTest, ADelayRunsItsTimeOnTheTimeBaseUnlessCancelledOrWithoutALink) {
    EXPECT_EQ(Finish(Delay(*context, 100)), StepOutcome::LinkLost);
    OpenOnPageC();
    const double startMs = timeBase.NowMs();
    EXPECT_EQ(Finish(Delay(*context, 1000)), StepOutcome::Done);
    EXPECT_GE(timeBase.NowMs() - startMs, 1000);
    QTimer::singleShot(20, [&] { context->Cancel(); });
    EXPECT_EQ(Finish(Delay(*context, kNeverMs)), StepOutcome::Cancelled);
    EXPECT_EQ(Finish(Delay(*context, kNeverMs)), StepOutcome::Cancelled); // stays cancelled
}

TEST_F(StepWaitsTest, APollLooksAtItsConditionEachPeriodUntilItHoldsOrTheBoundPasses) {
    OpenOnPageC();
    struct Case {
        const char* name;
        int holdsFrom; // the evaluation from which the condition holds; 0 never
        double boundMs;
        StepOutcome outcome;
    };
    const Case cases[] = {
        {"holds at once", 1, 20000, StepOutcome::Done},
        {"holds at the third look", 3, 20000, StepOutcome::Done},
        {"never holds", 0, 2000, StepOutcome::TimedOut},
    };
    constexpr double kPollMs = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int looks = 0;
        const double startMs = timeBase.NowMs();
        const auto outcome = Finish(PollUntil(
            *context, [&] { return ++looks >= c.holdsFrom && c.holdsFrom != 0; }, kPollMs,
            c.boundMs));
        const double elapsedMs = timeBase.NowMs() - startMs;
        EXPECT_EQ(outcome, c.outcome);
        if (c.holdsFrom != 0) {
            EXPECT_EQ(looks, c.holdsFrom);
            EXPECT_GE(elapsedMs, c.holdsFrom * kPollMs); // each look after a whole period
        } else {
            EXPECT_GE(elapsedMs, c.boundMs);
            EXPECT_GE(looks, 1); // once more at the bound
        }
    }
}

TEST_F(StepWaitsTest, APollEndsWhenTheLinkIsLostOrTheStepCancelled) {
    OpenOnPageC();
    int looks = 0;
    const auto never = [&] { return ++looks < 0; };
    EXPECT_FALSE(unit->Command("power off").empty());
    EXPECT_EQ(Finish(PollUntil(*context, never, 100, kNeverMs)), StepOutcome::LinkLost);
    EXPECT_FALSE(link->IsLinkAlive());

    looks = 0;
    context->Cancel();
    EXPECT_EQ(Finish(PollUntil(*context, never, 100, kNeverMs)), StepOutcome::Cancelled);
    EXPECT_EQ(looks, 0); // a cancelled step looks at nothing
}

} // namespace
