#include "procedure/StoreCorrections.h"

#include "device/AhrsLink.h"
#include "procedure/StepWaits.h"

namespace {

// How often a banner's wait looks at its acknowledgement event.
constexpr double kAckPollMs = 50;

// The pause after a command line, then the wait for its banner.
QCoro::Task<StepOutcome> AwaitBanner(CStepContext& context, int ack) {
    StepOutcome outcome = co_await Delay(context, CAhrsLink::kMccPauseMs);
    if (outcome != StepOutcome::Done) {
        co_return outcome;
    }
    CAhrsLink& link = context.Link();
    link.ClearAck(ack);
    const StepOutcome acknowledged = co_await PollUntil(
        context, [&link, ack] { return link.IsAckSet(ack); }, kAckPollMs,
        CAhrsLink::kMccAckTimeoutMs);
    co_return acknowledged;
}

} // namespace

QCoro::Task<StepOutcome> EraseAndStoreMcc(CStepContext& context) {
    if (const StepOutcome interruption = context.Interruption();
        interruption != StepOutcome::Done) {
        co_return interruption; // an erase that no store could follow is not started
    }
    CAhrsLink& link = context.Link();
    if (link.WriteEraseMcc()) {
        const StepOutcome erased = co_await AwaitBanner(context, CAhrsLink::kEraseAck);
        if (erased != StepOutcome::Done) {
            co_return erased;
        }
        // Erased: the store follows whatever happens in the pause (a cancel, a silence), or
        // the unit would be left without any corrections.
        const StepOutcome paused = co_await Delay(context, CAhrsLink::kMccPauseMs);
        if (paused == StepOutcome::Cancelled) {
            link.WriteStoreMcc(); // the link outlives the context, which may be gone
            co_return StepOutcome::Cancelled;
        }
    }
    if (!link.WriteStoreMcc()) {
        co_return StepOutcome::LinkLost;
    }
    const StepOutcome stored = co_await AwaitBanner(context, CAhrsLink::kStoreAck);
    if (stored != StepOutcome::Done) {
        co_return stored;
    }
    // Stored: only a cancellation changes the outcome now.
    const StepOutcome settled = co_await Delay(context, CAhrsLink::kMccPauseMs);
    if (settled == StepOutcome::Cancelled) {
        co_return StepOutcome::Cancelled;
    }
    co_return StepOutcome::Done;
}
