#pragma once

#include "procedure/StepContext.h"
#include "procedure/StepOutcome.h"

#include <QCoroTask>

// Makes the unit keep its compass corrections through a power cycle: writes "ERASE MCC",
// pauses CAhrsLink::kMccPauseMs, awaits the erase banner for at most kMccAckTimeoutMs and
// pauses again; then writes "STORE MCC" and awaits the store banner the same way, with a
// last pause for the unit to settle. Each acknowledgement event is cleared as its wait
// starts, so a banner that came during the pause before does not count. When the erase
// line cannot be written the erase is skipped and the store still tried.
//
// Done once the store banner came (a link lost in the last pause does not undo the store);
// TimedOut when a banner did not come within its bound; LinkLost when the link is not alive
// at the start or during a banner's wait, or the store line could not be written;
// Cancelled at once when the step is cancelled, after which the context may be gone.
// Nothing is written after a wait that did not end in Done, with one exception: once the
// erase was acknowledged, "STORE MCC" is always written (also after a cancel or a silence
// in the pause), so the unit is never left erased by this step.
QCoro::Task<StepOutcome> EraseAndStoreMcc(CStepContext& context);
