#pragma once

#include "procedure/StepContext.h"

#include <QCoroTask>

#include <cstdint>
#include <functional>

// How a send-then-poll ended.
enum class EchoPollResult {
    Confirmed,  // the predicate held within the bound
    SendFailed, // the send action reported failure; nothing was polled
    TimedOut,   // the bound passed without the predicate holding
    Cancelled,  // the step that polled was cancelled (page left, link lost)
};

// Text a page can show for a result (empty for Confirmed and Cancelled).
const char* EchoPollMessage(EchoPollResult result);

// Sends one command and awaits the unit's echo, on the step's pauses. `send` runs once
// (SendFailed when it reports failure: nothing is polled); then every `intervalMs` (at
// least 1 ms) `matches` is looked at, counting only in a report counted after the send
// (`reports` gives the count), until it holds (Confirmed) or `boundMs` have passed on the
// time base's clock (TimedOut; a bound that is negative, beyond a day or not a number is
// taken as 5000 ms). The echo is looked at at least once after the send and once more at
// the bound. A link that is not alive does not end the poll: its echo just does not come.
// Only a cancellation ends it early, and one before the send sends nothing (Cancelled; the
// context may then be gone). The callables are kept by the coroutine.
QCoro::Task<EchoPollResult> PollForEcho(CStepContext& context, double intervalMs, double boundMs,
                                        std::function<bool()> send,
                                        std::function<std::uint32_t()> reports,
                                        std::function<bool()> matches);
