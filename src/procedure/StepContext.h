#pragma once

#include "device/TimeBase.h"
#include "procedure/StepOutcome.h"
#include "procedure/StepToken.h"

class CAhrsLink;

// What a running step needs: the link it commands, the time base its waits are measured
// on, and the token its owner cancels (the page was left, the link was lost). The owner
// keeps the context for as long as it may want to cancel; destroying it cancels too, so a
// step still waiting returns Cancelled without touching the context again.
// User-interface thread only. The link must outlive the context.
class CStepContext {
public:
    CStepContext(CAhrsLink& link, CTimeBase timeBase);
    ~CStepContext();

    CStepContext(const CStepContext&) = delete;
    CStepContext& operator=(const CStepContext&) = delete;

    CAhrsLink& Link() const noexcept { return link; }
    const CTimeBase& TimeBase() const noexcept { return timeBase; }
    const CStepToken& Token() const noexcept { return token; }

    void Cancel() { token.Cancel(); }
    bool IsCancelled() const { return token.IsCancelled(); }

    // What stops a step now: Cancelled, else LinkLost when the link is not alive, else Done.
    StepOutcome Interruption() const;

private:
    CAhrsLink& link;
    CTimeBase timeBase;
    CStepToken token;
};
