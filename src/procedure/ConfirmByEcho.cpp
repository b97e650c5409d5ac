#include "procedure/ConfirmByEcho.h"

#include "procedure/StepWaits.h"

QCoro::Task<EchoConfirmation> ConfirmByEcho(CStepContext& context, std::vector<int> items,
                                            std::function<bool(int)> send,
                                            std::function<bool(int)> echoed, EchoPolling polling) {
    for (std::size_t index = 0; index < items.size(); ++index) {
        const int item = items[index];
        // Not cancelled so far: the context is still there.
        if (const StepOutcome interruption = context.Interruption();
            interruption != StepOutcome::Done) {
            co_return EchoConfirmation{interruption, index};
        }
        if (!send || !send(item)) {
            co_return EchoConfirmation{StepOutcome::LinkLost, index};
        }
        const StepOutcome outcome = co_await PollUntil(
            context, [&echoed, item] { return echoed && echoed(item); }, polling.pollMs,
            polling.boundMs);
        if (outcome != StepOutcome::Done) {
            co_return EchoConfirmation{outcome, index};
        }
    }
    co_return EchoConfirmation{StepOutcome::Done, items.size()};
}
