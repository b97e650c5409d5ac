#pragma once

#include <cstdint>
#include <functional>

#include "device/TimeBase.h"
#include "device/UiThread.h"

// How a send-then-poll ended.
enum class EchoPollResult {
    Confirmed,  // the predicate held within the bound
    SendFailed, // the send action reported failure; nothing was polled
    TimedOut,   // the bound passed without the predicate holding
};

// Text a page can show for a result (empty for Confirmed).
const char* EchoPollMessage(EchoPollResult result);

// Sends a command, then polls every interval until a predicate holds (usually: the record
// reports the value just sent) or the bound passes. The pauses between polls go through
// the UI thread's wait door; the bound is measured on the time base's clock, so the poll
// ends even when a pause returns early or late.
class CEchoPoll {
public:
    static constexpr double kDefaultBoundMs = 5000.0;

    CEchoPoll(IUiThread& uiThread, CTimeBase timeBase, double intervalMs,
              double boundMs = kDefaultBoundMs);

    double IntervalMs() const noexcept { return intervalMs; }
    double BoundMs() const noexcept { return boundMs; }

    // Runs send, then waits and evaluates the predicate until it holds or the bound passes.
    // The predicate is always evaluated at least once after the send succeeded, and once
    // more when the bound is reached.
    EchoPollResult Run(const std::function<bool()>& send,
                       const std::function<bool()>& predicate) const;
    // Run for a value the unit reports: `matches` counts only in a report counted after the
    // send (`reports` gives the count), so a value the record held before, or kept from a
    // page that does not show it, is never taken for the unit's answer.
    EchoPollResult RunForEcho(const std::function<bool()>& send,
                              const std::function<std::uint32_t()>& reports,
                              const std::function<bool()>& matches) const;

private:
    IUiThread& uiThread;
    CTimeBase timeBase;
    double intervalMs;
    double boundMs;
};
