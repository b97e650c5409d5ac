#include "procedure/PatientWaits.h"

#include "procedure/StepWaits.h"

#include <algorithm>
#include <chrono>

namespace {

// How often an awaited condition is looked at, in real time.
constexpr std::chrono::milliseconds kConditionPoll(2);

} // namespace

QCoro::Task<StepOutcome> PausePatiently(CStepContext& context, double programMs) {
    const CStepToken token = context.Token();
    co_await Rest(token, context.TimeBase(), programMs);
    co_return token.IsCancelled() ? StepOutcome::Cancelled : StepOutcome::Done;
}

QCoro::Task<StepOutcome> WaitPatiently(CStepContext& context, std::function<bool()> condition,
                                       double boundMs) {
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    const double untilMs = clock.NowMs() + SaneBoundMs(boundMs);
    for (;;) {
        if (token.IsCancelled()) {
            co_return StepOutcome::Cancelled; // the context may be gone
        }
        if (condition && condition()) {
            co_return StepOutcome::Done;
        }
        if (!(clock.NowMs() < untilMs)) {
            co_return StepOutcome::TimedOut;
        }
        co_await token.Pause(kConditionPoll);
    }
}
