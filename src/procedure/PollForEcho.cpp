#include "procedure/PollForEcho.h"

#include "procedure/StepWaits.h"

#include <algorithm>

QCoro::Task<EchoPollResult> PollForEcho(CStepContext& context, double intervalMs, double boundMs,
                                        std::function<bool()> send,
                                        std::function<std::uint32_t()> reports,
                                        std::function<bool()> matches) {
    // Copies: after a pause the context may be gone.
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    if (token.IsCancelled()) {
        co_return EchoPollResult::Cancelled;
    }
    const double interval = SanePollMs(intervalMs);
    const std::uint32_t before = reports ? reports() : 0;
    if (!send || !send()) {
        co_return EchoPollResult::SendFailed;
    }
    const double deadline = clock.NowMs() + SaneBoundMs(boundMs);
    for (;;) {
        const double remaining = deadline - clock.NowMs();
        if (remaining > 0) {
            co_await token.Pause(RealPause(clock, std::min(interval, remaining)));
        }
        if (token.IsCancelled()) {
            co_return EchoPollResult::Cancelled;
        }
        if (reports && reports() != before && matches && matches()) {
            co_return EchoPollResult::Confirmed;
        }
        if (clock.NowMs() >= deadline) {
            co_return EchoPollResult::TimedOut;
        }
    }
}

const char* EchoPollMessage(EchoPollResult result) {
    switch (result) {
    case EchoPollResult::Confirmed:
    case EchoPollResult::Cancelled:
        return "";
    case EchoPollResult::SendFailed:
        return "The command could not be sent to the HX410.  Check the cable and try again.";
    case EchoPollResult::TimedOut:
        return "The HX410 did not confirm the new value in time.  Check the connection and "
               "try again.";
    }
    return "";
}
