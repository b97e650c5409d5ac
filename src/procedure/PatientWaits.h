#pragma once

#include "procedure/StepContext.h"
#include "procedure/StepOutcome.h"

#include <QCoroTask>

#include <functional>

// Waits that go on while the link is down: the steps that use them expect the unit to go
// and come back (a power cycle), or tell the installer themselves once the bound has
// passed. Cancelled at once when the step is cancelled, after which the context may be
// gone; else Done (or TimedOut). Durations are program milliseconds of the context's time
// base.

// Pauses `programMs`.
QCoro::Task<StepOutcome> PausePatiently(CStepContext& context, double programMs);

// Looks at `condition` at once and then every 2 ms of real time until it holds (Done) or
// `boundMs` have passed on the clock (TimedOut).
QCoro::Task<StepOutcome> WaitPatiently(CStepContext& context, std::function<bool()> condition,
                                       double boundMs);
