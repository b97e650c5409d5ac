#pragma once

#include "procedure/StepContext.h"
#include "procedure/StepOutcome.h"

#include <QCoroTask>

#include <chrono>
#include <functional>

// The awaited waits of a step, in program milliseconds of the context's time base. Each
// pause is one single-shot timer awaited on the event loop; nothing blocks and no event
// loop is nested. After every pause a wait looks, in this order, at the token (Cancelled),
// the link (LinkLost) and its own end, so a step unwinds as soon as it is resumed. After
// Cancelled the context may be gone: the caller returns without touching it.

// Waits `programMs`. Done unless the step was cancelled meanwhile or the link is no
// longer alive at the end.
QCoro::Task<StepOutcome> Delay(CStepContext& context, double programMs);

// Looks at `condition` every `pollMs` (at least 1 ms) until it holds (Done) or `boundMs`
// have passed since the call (TimedOut; a bound beyond a day or not a number is taken as
// 5000 ms). The condition is first looked at one poll period after the call, and once more
// when the bound is reached; the bound is measured on the clock, so a timer that fires
// late never stretches it.
QCoro::Task<StepOutcome> PollUntil(CStepContext& context, std::function<bool()> condition,
                                   double pollMs, double boundMs);

// The pacing every wait applies: a poll period of at least 1 ms, so that a zero or invalid
// one cannot spin; a bound within a day, else 5000 ms; and the real time of a program
// duration, rounded up to whole milliseconds so that a pause never ends before its time.
double SanePollMs(double programMs);
double SaneBoundMs(double programMs);
std::chrono::milliseconds RealPause(const CTimeBase& clock, double programMs);

// Pauses `programMs` on `clock` for the step `token` belongs to; a cancel ends it at once.
// It needs no context, which a cancel may take away: the caller looks at the token after.
QCoro::Task<void> Rest(const CStepToken& token, const CTimeBase& clock, double programMs);
