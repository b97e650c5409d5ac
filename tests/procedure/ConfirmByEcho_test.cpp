// Echo-confirmed commands against the simulated unit in the test's own process: each item
// is sent once, confirmed by the unit's echo on output page C, and the run stops at the
// first item that is not, sending nothing after it.
#include "procedure/ConfirmByEcho.h"
#include "procedure/ProcedureFixture.h"
#include "records/CalibrationMath.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// An echo bound that no test waits out unless it means to: the run bound ends it first.
constexpr double kNeverMs = 10 * CProcedureFixture::kRunBoundMs;
constexpr double kBoundMs = 20000;
constexpr double kMfcPollMs = 150;
constexpr double kMccPollMs = 25;

class ConfirmByEchoTest : public CProcedureFixture {
protected:
    // Field corrections for the three axes; `expected` is what the echo must show.
    QCoro::Task<EchoConfirmation> SendFieldCorrections(std::array<std::int16_t, 3> values,
                                                       std::array<std::int16_t, 3> expected,
                                                       double boundMs) {
        return ConfirmByEcho(
            *context, {0, 1, 2},
            [this, values](int axis) {
                sent.push_back(axis);
                if (onSend) {
                    onSend(axis);
                }
                return link->SendMagFieldCorrection(axis, values[axis]);
            },
            [this, expected](int axis) {
                return link->State().GetMagFieldCorrection(axis) == expected[axis];
            },
            [this](int axis) { return link->State().GetMagFieldCorrectionReports(axis); },
            {kMfcPollMs, boundMs});
    }

    std::vector<int> sent;
    std::function<void(int)> onSend; // runs as an item is sent, before its line is written
};

struct EchoCase {
    const char* name;
    std::array<std::int16_t, 3> expected; // what each axis's echo must show
    EchoConfirmation result;
    std::vector<int> sent;
};

constexpr std::array<std::int16_t, 3> kValues{-37, 12, 205};

TEST_F(ConfirmByEchoTest, StopsAtTheFirstAxisNotConfirmed) {
    OpenOnPageC();
    const EchoCase cases[] = {
        {"all confirmed", kValues, {StepOutcome::Done, 3}, {0, 1, 2}},
        {"Y echoes another value", {-37, 13, 205}, {StepOutcome::TimedOut, 1}, {0, 1}},
        {"Z echoes another value", {-37, 12, 206}, {StepOutcome::TimedOut, 2}, {0, 1, 2}},
    };
    for (const EchoCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (int axis = 0; axis < 3; ++axis) { // each case from the unit's reset values
            ASSERT_TRUE(link->SendMagFieldCorrection(axis, 0));
        }
        ASSERT_TRUE(RunUntil([&] {
            const CAhrsState& state = link->State();
            return state.GetMagFieldCorrection(0) == 0 && state.GetMagFieldCorrection(1) == 0 &&
                   state.GetMagFieldCorrection(2) == 0;
        }));
        sent.clear();
        const std::optional<EchoConfirmation> result =
            Finish(SendFieldCorrections(kValues, c.expected, kBoundMs));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(sent, c.sent);
    }
}

// The record already shows the value sent, but the unit never took the command: no report
// came after it, so nothing is confirmed.
TEST_F(ConfirmByEchoTest, AValueTheRecordHeldBeforeIsNoEcho) {
    OpenOnPageC();
    for (int axis = 0; axis < 3; ++axis) {
        ASSERT_TRUE(link->SendMagFieldCorrection(axis, 0));
    }
    ASSERT_TRUE(RunUntil([&] { return link->State().GetMagFieldCorrection(2) == 0; }));
    ASSERT_EQ(unit->Command("fault ignore MFC"), "ok fault ignore MFC");
    ASSERT_EQ(unit->Command("power off"), "ok power off"); // and no more reports at all
    const std::optional<EchoConfirmation> result =
        Finish(SendFieldCorrections({0, 0, 0}, {0, 0, 0}, 2000));
    ASSERT_TRUE(result);
    EXPECT_NE(result->outcome, StepOutcome::Done);
    EXPECT_EQ(result->firstUnconfirmed, 0u);
}

TEST_F(ConfirmByEchoTest, WithoutALinkNothingIsSent) {
    const std::optional<EchoConfirmation> result =
        Finish(SendFieldCorrections(kValues, kValues, kBoundMs));
    EXPECT_EQ(result, (EchoConfirmation{StepOutcome::LinkLost, 0}));
    EXPECT_TRUE(sent.empty());
}

TEST_F(ConfirmByEchoTest, SendsTheCompassCorrectionsInTheOrderGivenEachToWithinTwoDecimals) {
    OpenOnPageC();
    const std::array<double, 4> values{1.25, -0.5, 2.75, -3.1};
    const std::vector<int> walk(kCompassWalk.begin(), kCompassWalk.end());
    const std::optional<EchoConfirmation> result = Finish(ConfirmByEcho(
        *context, walk,
        [&](int heading) {
            sent.push_back(heading);
            return link->SendMcc(heading, values[heading]);
        },
        [&](int heading) {
            return std::fabs(link->State().GetMcc(heading) - values[heading]) <= 0.02;
        },
        [&](int heading) { return link->State().GetMccReports(heading); }, {kMccPollMs, kBoundMs}));
    EXPECT_EQ(result, (EchoConfirmation{StepOutcome::Done, 4}));
    EXPECT_EQ(sent, walk);
}

TEST_F(ConfirmByEchoTest, ALinkLostMidwayEndsTheRunAtThatAxisAndSendsNothingMore) {
    OpenOnPageC();
    onSend = [&](int axis) {
        if (axis == 1) {
            EXPECT_FALSE(unit->Command("power off").empty());
        }
    };
    const std::optional<EchoConfirmation> result =
        Finish(SendFieldCorrections(kValues, kValues, kNeverMs));
    EXPECT_EQ(result, (EchoConfirmation{StepOutcome::LinkLost, 1}));
    EXPECT_EQ(sent, (std::vector{0, 1}));
    EXPECT_FALSE(link->IsLinkAlive());
}

TEST_F(ConfirmByEchoTest, ACancelledRunEndsAtOnceAndSendsNothingMore) {
    OpenOnPageC();
    enum class When { BeforeTheFirstSend, AsYIsSent, WhileYsEchoIsAwaited };
    struct CancelCase {
        const char* name;
        When when;
        EchoConfirmation result;
        std::vector<int> sent;
    };
    const CancelCase cases[] = {
        {"before the first send", When::BeforeTheFirstSend, {StepOutcome::Cancelled, 0}, {}},
        {"as Y is sent", When::AsYIsSent, {StepOutcome::Cancelled, 1}, {0, 1}},
        {"while Y's echo is awaited",
         When::WhileYsEchoIsAwaited,
         {StepOutcome::Cancelled, 1},
         {0, 1}},
    };
    for (const CancelCase& c : cases) {
        SCOPED_TRACE(c.name);
        context = std::make_unique<CStepContext>(*link, timeBase);
        sent.clear();
        onSend = [&](int axis) {
            if (axis != 1) {
                return;
            }
            if (c.when == When::AsYIsSent) {
                context->Cancel();
            } else if (c.when == When::WhileYsEchoIsAwaited) {
                QTimer::singleShot(20, [&] { context->Cancel(); });
            }
        };
        if (c.when == When::BeforeTheFirstSend) {
            context->Cancel();
        }
        // Y is never confirmed: only the cancellation can end the run before the run bound.
        const std::optional<EchoConfirmation> result =
            Finish(SendFieldCorrections(kValues, {-37, 13, 205}, kNeverMs));
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(sent, c.sent);
    }
}

TEST_F(ConfirmByEchoTest, AContextDestroyedWhileAnEchoIsAwaitedEndsTheRunCancelled) {
    OpenOnPageC();
    std::optional<EchoConfirmation> result;
    const auto collect = [](QCoro::Task<EchoConfirmation> task,
                            std::optional<EchoConfirmation>& out) -> QCoro::Task<void> {
        out = co_await task;
    };
    onSend = [&](int axis) {
        if (axis == 1) {
            QTimer::singleShot(20, [&] { context.reset(); });
        }
    };
    QCoro::Task<void> keeper =
        collect(SendFieldCorrections(kValues, {-37, 13, 205}, kNeverMs), result);
    ASSERT_TRUE(RunUntil([&] { return result.has_value(); }));
    EXPECT_EQ(result, (EchoConfirmation{StepOutcome::Cancelled, 1}));
    EXPECT_EQ(sent, (std::vector{0, 1}));
}

} // namespace
