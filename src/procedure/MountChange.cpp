#include "procedure/MountChange.h"

#include "device/AhrsLink.h"
#include "procedure/PatientWaits.h"
#include "procedure/StepWaits.h"
#include "records/InstallationSession.h"

namespace {

QCoro::Task<StepOutcome> AwaitMagVersion(CStepContext& context, double boundMs) {
    const CAhrsState& state = context.Link().State();
    const StepOutcome reported = co_await WaitPatiently(
        context, [&state] { return MagVersionReported(state.GetMagVersion()); }, boundMs);
    co_return reported;
}

} // namespace

bool MagVersionReported(const std::string& text) {
    return !text.empty() && text.find("-----") == std::string::npos;
}

QCoro::Task<StepOutcome> AwaitUnitAfterPowerOn(CStepContext& context, double boundMs) {
    CAhrsLink& link = context.Link();
    const StepOutcome alive = co_await WaitPatiently(
        context, [&link] { return link.IsLinkAlive(); }, boundMs);
    if (alive != StepOutcome::Done) {
        co_return alive;
    }
    link.SelectOutputPage('F');
    const StepOutcome reported = co_await AwaitMagVersion(context, boundMs);
    co_return reported;
}

QCoro::Task<StepOutcome> AwaitMagnetometer(CStepContext& context, double settleMs, double boundMs) {
    const StepOutcome settled = co_await PausePatiently(context, settleMs);
    if (settled != StepOutcome::Done) {
        co_return settled;
    }
    const StepOutcome reported = co_await AwaitMagVersion(context, boundMs);
    co_return reported;
}

QCoro::Task<StepOutcome> SendMount(CStepContext& context, CInstallationSession& session, int mount,
                                   double settleMs) {
    const StepOutcome settled = co_await PausePatiently(context, settleMs);
    if (settled != StepOutcome::Done) {
        co_return settled;
    }
    // The link outlives the context, which a cancel in the gaps may take away.
    CAhrsLink& link = context.Link();
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    link.SendMount(mount);
    session.SetSelectedMount(CInstallationSession::kNoMount);
    co_await Rest(token, clock, kMountCommandGapMs);
    link.ResetErrors();
    co_await Rest(token, clock, kMountCommandGapMs);
    link.ResetImu();
    co_await Rest(token, clock, kMountCommandGapMs);
    co_return StepOutcome::Done;
}
