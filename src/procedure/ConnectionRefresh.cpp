#include "procedure/ConnectionRefresh.h"

#include "device/AhrsLink.h"
#include "procedure/PatientWaits.h"
#include "procedure/StepWaits.h"
#include "procedure/StoreCorrections.h"
#include "records/CalibrationMath.h"
#include "records/InstallationSession.h"

#include <cmath>
#include <string>

QCoro::Task<CorrectionsRestore> RestoreEarlierCorrections(CStepContext& context,
                                                          CInstallationSession& session,
                                                          double pollMs, double boundMs) {
    CAhrsLink& link = context.Link();
    CAhrsState& state = link.State();
    const CInstallationSession::Corrections earlier =
        *session.EarlierCorrectionsOf(state.GetAhrsSerialNumber());
    for (const int heading : kCompassWalk) {
        const double value = std::round(earlier.mcc[heading] * 100) / 100;
        const EchoPollResult result = co_await PollForEcho(
            context, pollMs, boundMs, [&] { return link.SendMcc(heading, value); },
            [&] { return state.GetMccReports(heading); },
            [&] { return state.GetMcc(heading) == value; });
        if (result != EchoPollResult::Confirmed) {
            co_return CorrectionsRestore{result, heading, value};
        }
    }
    session.SetRestoreDue(false);
    co_return CorrectionsRestore{};
}

VersionClassification ClassifyReportedVersion(CAhrsState& state) {
    VersionClassification classified;
    classified.versionClass = state.ClassifyAhrsVersion(state.GetAhrsVersion());
    classified.capabilities = VersionCapabilities::Of(classified.versionClass);
    classified.unknownReported = state.TakeUnknownVersionReport();
    return classified;
}

QCoro::Task<VersionClassification> ClassifyConnectedUnit(CStepContext& context,
                                                         std::function<void()> showVersions,
                                                         int tries, double retryMs) {
    // The link outlives the context, which a cancel may take away.
    CAhrsLink& link = context.Link();
    const CStepToken token = context.Token();
    CAhrsState& state = link.State();
    link.SelectOutputPage('F');
    state.ClearCounters();
    showVersions();
    for (int attempt = 1;; ++attempt) {
        const std::string classifiedText = state.GetAhrsVersion();
        const VersionClassification classified = ClassifyReportedVersion(state);
        if (classified.unknownReported || classified.capabilities.known || attempt >= tries ||
            token.IsCancelled()) {
            co_return classified;
        }
        // A version taken on its second report is tried at once; an unchanged one waits the
        // whole interval.
        co_await WaitPatiently(
            context, [&] { return state.GetAhrsVersion() != classifiedText; }, retryMs);
        showVersions();
    }
}

QCoro::Task<StepOutcome> StoreA429Speed(CStepContext& context, bool high, double settleMs) {
    context.Link().SetA429Speed(high);
    const StepOutcome settled = co_await Delay(context, settleMs);
    if (settled != StepOutcome::Done) {
        co_return settled;
    }
    const StepOutcome stored = co_await EraseAndStoreMcc(context);
    co_return stored;
}
