#include "procedure/StepWaits.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr double kDefaultBoundMs = 5000.0;
constexpr double kMinPollMs = 1.0;
constexpr double kMaxBoundMs = 24.0 * 3600.0 * 1000.0;

} // namespace

double SanePollMs(double programMs) {
    return std::isfinite(programMs) && programMs >= kMinPollMs ? std::min(programMs, kMaxBoundMs)
                                                               : kMinPollMs;
}

double SaneBoundMs(double programMs) {
    return std::isfinite(programMs) && programMs >= 0.0 && programMs <= kMaxBoundMs
               ? programMs
               : kDefaultBoundMs;
}

std::chrono::milliseconds RealPause(const CTimeBase& clock, double programMs) {
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(clock.ToReal(programMs));
    return std::min(real, std::chrono::milliseconds(std::numeric_limits<int>::max()));
}

QCoro::Task<StepOutcome> Delay(CStepContext& context, double programMs) {
    const CStepToken token = context.Token();
    co_await Rest(token, context.TimeBase(), programMs);
    if (token.IsCancelled()) {
        co_return StepOutcome::Cancelled; // the context may be gone
    }
    co_return context.Interruption();
}

QCoro::Task<StepOutcome> PollUntil(CStepContext& context, std::function<bool()> condition,
                                   double pollMs, double boundMs) {
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    const double period = SanePollMs(pollMs);
    const double deadline = clock.NowMs() + SaneBoundMs(boundMs);
    for (;;) {
        const double remaining = deadline - clock.NowMs();
        if (remaining > 0) {
            co_await token.Pause(RealPause(clock, std::min(period, remaining)));
        }
        if (token.IsCancelled()) {
            co_return StepOutcome::Cancelled; // the context may be gone
        }
        if (const StepOutcome interruption = context.Interruption();
            interruption != StepOutcome::Done) {
            co_return interruption;
        }
        if (condition && condition()) {
            co_return StepOutcome::Done;
        }
        if (clock.NowMs() >= deadline) {
            co_return StepOutcome::TimedOut;
        }
    }
}

QCoro::Task<void> Rest(const CStepToken& token, const CTimeBase& clock, double programMs) {
    return token.Pause(RealPause(clock, programMs));
}
