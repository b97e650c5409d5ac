#include "procedure/ConnectionRefresh.h"

#include "device/AhrsLink.h"
#include "procedure/PatientWaits.h"
#include "procedure/StepWaits.h"
#include "procedure/StoreCorrections.h"
#include "records/CalibrationMath.h"
#include "records/InstallationSession.h"

#include <cmath>
#include <optional>
#include <string>

QCoro::Task<CorrectionEcho> WriteBackInterruptedCorrections(CStepContext& context,
                                                            CInstallationSession& session,
                                                            EchoPacing pacing) {
    const std::optional<CInstallationSession::Corrections> earlier =
        session.EarlierCorrectionsOf(context.Link().State().GetAhrsSerialNumber());
    if (!earlier) {
        co_return CorrectionEcho{}; // nothing kept for this unit: nothing to write back
    }
    const CorrectionEcho echo =
        co_await SetCompassCorrections(context, earlier->mcc, {kCompassWalk, pacing, 0.0, false});
    if (echo.Confirmed()) {
        session.SetRestoreDue(false);
    }
    co_return echo;
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
    if (token.IsCancelled()) {
        co_return VersionClassification{};
    }
    link.SelectOutputPage('F');
    state.ClearCounters();
    if (showVersions) {
        showVersions();
    }
    for (int attempt = 1;; ++attempt) {
        const std::string classifiedText = state.GetAhrsVersion();
        const VersionClassification classified = ClassifyReportedVersion(state);
        if (classified.unknownReported || classified.capabilities.known || attempt >= tries ||
            token.IsCancelled()) {
            co_return classified;
        }
        // A version taken on its second report is tried at once; an unchanged one waits the
        // whole interval.
        const StepOutcome waited = co_await WaitPatiently(
            context, [&] { return state.GetAhrsVersion() != classifiedText; }, retryMs);
        if (waited == StepOutcome::Cancelled) {
            co_return VersionClassification{}; // nothing taken, nothing reported
        }
        if (showVersions) {
            showVersions();
        }
    }
}

QCoro::Task<StepOutcome> StoreA429Speed(CStepContext& context, bool high, double settleMs) {
    if (const StepOutcome interrupted = context.Interruption(); interrupted != StepOutcome::Done) {
        co_return interrupted;
    }
    context.Link().SetA429Speed(high);
    const StepOutcome settled = co_await Delay(context, settleMs);
    if (settled != StepOutcome::Done) {
        co_return settled;
    }
    const StepOutcome stored = co_await EraseAndStoreMcc(context);
    co_return stored;
}
