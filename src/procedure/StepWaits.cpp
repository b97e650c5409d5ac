#include "procedure/StepWaits.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr double kDefaultBoundMs = 5000.0;
// Shortest poll period, so a zero or invalid period cannot spin.
constexpr double kMinPollMs = 1.0;
// Longest bound accepted.
constexpr double kMaxBoundMs = 24.0 * 3600.0 * 1000.0;

double SanePoll(double ms) {
    return std::isfinite(ms) && ms >= kMinPollMs ? std::min(ms, kMaxBoundMs) : kMinPollMs;
}

double SaneBound(double ms) {
    return std::isfinite(ms) && ms >= 0.0 && ms <= kMaxBoundMs ? ms : kDefaultBoundMs;
}

// The real time of a program duration, rounded up to whole milliseconds so that a pause
// never ends before its program time has passed.
std::chrono::milliseconds RealMs(const CTimeBase& clock, double programMs) {
    const auto real = std::chrono::ceil<std::chrono::milliseconds>(clock.ToReal(programMs));
    return std::min(real, std::chrono::milliseconds(std::numeric_limits<int>::max()));
}

} // namespace

QCoro::Task<StepOutcome> Delay(CStepContext& context, double programMs) {
    const CStepToken token = context.Token();
    co_await token.Pause(RealMs(context.TimeBase(), programMs));
    if (token.IsCancelled()) {
        co_return StepOutcome::Cancelled; // the context may be gone
    }
    co_return context.Interruption();
}

QCoro::Task<StepOutcome> PollUntil(CStepContext& context, std::function<bool()> condition,
                                   double pollMs, double boundMs) {
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    const double period = SanePoll(pollMs);
    const double deadline = clock.NowMs() + SaneBound(boundMs);
    for (;;) {
        const double remaining = deadline - clock.NowMs();
        if (remaining > 0) {
            co_await token.Pause(RealMs(clock, std::min(period, remaining)));
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
