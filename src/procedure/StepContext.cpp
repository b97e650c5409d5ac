#include "procedure/StepContext.h"

#include "device/AhrsLink.h"

CStepContext::CStepContext(CAhrsLink& link, CTimeBase timeBase) : link(link), timeBase(timeBase) {}

CStepContext::~CStepContext() {
    token.Cancel();
}

StepOutcome CStepContext::Interruption() const {
    if (token.IsCancelled()) {
        return StepOutcome::Cancelled;
    }
    return link.IsLinkAlive() ? StepOutcome::Done : StepOutcome::LinkLost;
}
