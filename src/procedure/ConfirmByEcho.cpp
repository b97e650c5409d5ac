#include "procedure/ConfirmByEcho.h"

#include "procedure/StepWaits.h"

QCoro::Task<EchoConfirmation> ConfirmByEcho(CStepContext& context, std::vector<int> items,
                                            std::function<bool(int)> send,
                                            std::function<bool(int)> echoed,
                                            std::function<std::uint32_t(int)> reports,
                                            EchoPolling polling) {
    for (std::size_t index = 0; index < items.size(); ++index) {
        const int item = items[index];
        // Not cancelled so far: the context is still there.
        if (const StepOutcome interruption = context.Interruption();
            interruption != StepOutcome::Done) {
            co_return EchoConfirmation{interruption, index};
        }
        const std::uint32_t before = reports ? reports(item) : 0;
        if (!send || !send(item)) {
            co_return EchoConfirmation{StepOutcome::LinkLost, index};
        }
        const StepOutcome outcome = co_await PollUntil(
            context,
            [&echoed, &reports, item, before] {
                return reports && reports(item) != before && echoed && echoed(item);
            },
            polling.pollMs, polling.boundMs);
        if (outcome != StepOutcome::Done) {
            co_return EchoConfirmation{outcome, index};
        }
    }
    co_return EchoConfirmation{StepOutcome::Done, items.size()};
}
