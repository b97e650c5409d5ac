#include "records/EchoPoll.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Shortest interval between polls, so a zero or invalid interval cannot spin.
constexpr double kMinIntervalMs = 1.0;
// Longest bound accepted; anything beyond (or not a number) falls back to the default.
constexpr double kMaxBoundMs = 24.0 * 3600.0 * 1000.0;

double SaneInterval(double ms) {
    return std::isfinite(ms) && ms >= kMinIntervalMs ? std::min(ms, kMaxBoundMs) : kMinIntervalMs;
}

double SaneBound(double ms) {
    return std::isfinite(ms) && ms >= 0.0 && ms <= kMaxBoundMs ? ms : CEchoPoll::kDefaultBoundMs;
}

} // namespace

const char* EchoPollMessage(EchoPollResult result) {
    switch (result) {
    case EchoPollResult::Confirmed:
        return "";
    case EchoPollResult::SendFailed:
        return "The command could not be sent to the HX410.  Check the cable and try again.";
    case EchoPollResult::TimedOut:
        return "The HX410 did not confirm the new value in time.  Check the connection and "
               "try again.";
    }
    return "";
}

CEchoPoll::CEchoPoll(IUiThread& uiThread, CTimeBase timeBase, double intervalMs, double boundMs)
    : uiThread(uiThread), timeBase(timeBase), intervalMs(SaneInterval(intervalMs)),
      boundMs(SaneBound(boundMs)) {}

EchoPollResult CEchoPoll::Run(const std::function<bool()>& send,
                              const std::function<bool()>& predicate) const {
    if (!send || !send()) {
        return EchoPollResult::SendFailed;
    }
    const double deadline = timeBase.NowMs() + boundMs;
    for (;;) {
        const double remaining = deadline - timeBase.NowMs();
        if (remaining > 0) {
            uiThread.Pause(std::min(intervalMs, remaining), timeBase);
        }
        if (predicate && predicate()) {
            return EchoPollResult::Confirmed;
        }
        if (timeBase.NowMs() >= deadline) {
            return EchoPollResult::TimedOut;
        }
    }
}

EchoPollResult CEchoPoll::RunForEcho(const std::function<bool()>& send,
                                     const std::function<std::uint32_t()>& reports,
                                     const std::function<bool()>& matches) const {
    std::uint32_t before = 0;
    return Run(
        [&] {
            before = reports();
            return send && send();
        },
        [&] { return reports() != before && matches && matches(); });
}
