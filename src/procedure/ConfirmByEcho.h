#pragma once

#include "procedure/StepContext.h"
#include "procedure/StepOutcome.h"

#include <QCoroTask>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// How a run of echo-confirmed commands ended: the outcome of the first item that was not
// confirmed and its position in the list, or Done and the list's length.
struct EchoConfirmation {
    StepOutcome outcome = StepOutcome::Done;
    std::size_t firstUnconfirmed = 0;

    bool operator==(const EchoConfirmation&) const = default;
};

// Pacing of the echo polls: how often the record is looked at, and for how long per item.
struct EchoPolling {
    static constexpr double kDefaultBoundMs = 5000.0;

    double pollMs = 0;
    double boundMs = kDefaultBoundMs;
};

// Sets a list of values on the unit one item at a time (the three field-correction axes,
// the four compass headings, ...): `send(item)` writes the item's command once (true when
// the whole line was written), then the record is polled as PollUntil does until
// `echoed(item)` holds in a report counted after the send (`reports(item)` counts the
// unit's reports of the item), so a value the record held before is never taken for the
// unit's answer. The next item
// follows at once; a command is never repeated. The run stops at the first item that is
// not confirmed: before its send when the step was cancelled or the link is not alive,
// LinkLost when its line could not be written, else the outcome of its poll. Nothing is
// sent after that. The callables and the items are kept by the coroutine.
QCoro::Task<EchoConfirmation> ConfirmByEcho(CStepContext& context, std::vector<int> items,
                                            std::function<bool(int)> send,
                                            std::function<bool(int)> echoed,
                                            std::function<std::uint32_t(int)> reports,
                                            EchoPolling polling);
