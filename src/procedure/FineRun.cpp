#include "procedure/FineRun.h"

#include "device/AhrsLink.h"
#include "procedure/StepWaits.h"
#include "procedure/StoreCorrections.h"
#include "records/CalibrationMath.h"
#include "records/InstallationSession.h"
#include "records/SampleAgreement.h"

#include <cmath>
#include <vector>

namespace {

constexpr std::array<int, 4> kIndexOrder{kHeadingNorth, kHeadingSouth, kHeadingEast, kHeadingWest};

} // namespace

void CFineRun::KeepEarlierCorrections(CAhrsLink& link, CInstallationSession& session) {
    KeepHeldCorrections(link, session);
    session.SetRestoreDue(true);
}

void CFineRun::StartAfresh(CInstallationSession& session) {
    recorded = {};
    zeroed = false;
    session.ClearFineErrors();
}

QCoro::Task<CorrectionEcho> CFineRun::ZeroCorrections(CStepContext& context) {
    const CorrectionEcho echo = co_await SetCompassCorrections(
        context, {}, {kIndexOrder, {kZeroPollMs, kEchoBoundMs}, 0.0, true});
    zeroed = echo.Confirmed();
    co_return echo;
}

QCoro::Task<CorrectionEcho>
CFineRun::RestoreEarlierCorrections(CStepContext& context, const CInstallationSession& session) {
    const std::optional<CInstallationSession::Corrections> earlier =
        session.EarlierCorrectionsOf(context.Link().State().GetAhrsSerialNumber());
    // The unit may hold these, or some of them, from here on: a heading measured again is
    // measured only after zeroing again.
    zeroed = false;
    const CorrectionEcho echo =
        co_await SetCompassCorrections(context, earlier ? earlier->mcc : std::array<double, 4>{},
                                       {kIndexOrder, {kSendPollMs, kEchoBoundMs}, 0.0, true});
    co_return echo;
}

bool CFineRun::AllRecorded() const {
    return recorded[0] && recorded[1] && recorded[2] && recorded[3];
}

FineAgreement CFineRun::CheckError(CAhrsLink& link, const CInstallationSession& session,
                                   int heading, double error) const {
    std::array<std::optional<double>, 4> errors;
    for (int i = 0; i < 4; ++i) {
        if (recorded[i]) {
            errors[i] = session.FineError(i);
        }
    }
    // The unit holds field corrections when a coarse step has taken the hard iron out; the
    // coarse page zeroes them for the versions without that step.
    const CInstallationSession::Corrections held =
        CInstallationSession::CorrectionsOf(link.State());
    const bool hardIronCorrected = held.mfc != decltype(held.mfc){};
    return CheckFineError(heading, error, errors, hardIronCorrected);
}

QCoro::Task<CFineRun::Recording> CFineRun::RecordError(CStepContext& context,
                                                       CInstallationSession& session, int heading,
                                                       double pressed, double error) {
    CAhrsLink& link = context.Link();
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    std::vector<double> headings;
    for (double waited = 0; waited < kMeasurementSettleMs; waited += kRecordSampleMs) {
        co_await Rest(token, clock, kRecordSampleMs);
        if (token.IsCancelled()) {
            co_return Recording::Cancelled; // the context may be gone
        }
        headings.push_back(link.State().GetAvgHeading());
    }
    if (!link.IsLinkAlive()) {
        co_return Recording::LinkLost;
    }
    const CSampleAgreement agreement(CSampleAgreement::kHeadingFloor,
                                     CSampleAgreement::Scale::Degrees360);
    if (!agreement.StayNear(headings, pressed)) {
        co_return Recording::Unsteady;
    }
    recorded[heading] = true;
    session.SetFineError(heading, error);
    co_return Recording::Recorded;
}

QCoro::Task<std::optional<CFineRun::Location>> CFineRun::ReadLocation(CStepContext& context) {
    if (context.IsCancelled()) {
        co_return std::nullopt;
    }
    CAhrsLink& link = context.Link();
    const CStepToken token = context.Token();
    link.SelectOutputPage('E');
    co_await Rest(token, context.TimeBase(), kPageEReadMs);
    if (token.IsCancelled() || !link.IsLinkAlive()) {
        co_return std::nullopt;
    }
    const CAhrsState& state = link.State();
    co_return Location{state.GetLatitude(), state.GetMagneticVariation()};
}

QCoro::Task<StepOutcome> CFineRun::SendLocation(CStepContext& context, Location location,
                                                bool suspendParsing) {
    CAhrsLink& link = context.Link();
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    if (token.IsCancelled()) {
        co_return StepOutcome::Cancelled;
    }
    SendWithParsing(link, suspendParsing, [&] { return link.SendLatitude(location.latitude); });
    co_await Rest(token, clock, kLatitudeSettleMs);
    if (token.IsCancelled()) {
        co_return StepOutcome::Cancelled; // the context may be gone
    }
    SendWithParsing(link, suspendParsing, [&] { return link.SendMagvar(location.variation); });
    co_await Rest(token, clock, kVariationSettleMs);
    co_return token.IsCancelled() ? StepOutcome::Cancelled : StepOutcome::Done;
}

QCoro::Task<CFineRun::Storing> CFineRun::StoreNewCorrections(CStepContext& context,
                                                             const CInstallationSession& session) {
    if (context.IsCancelled()) {
        co_return Storing{{EchoPollResult::Cancelled}, StepOutcome::Cancelled};
    }
    const std::array<double, 4> corrections = ComputeCompassCorrections(session.FineErrors());
    zeroed = false;
    const CorrectionEcho echo = co_await SetCompassCorrections(
        context, corrections, {kCompassWalk, {kSendPollMs, kEchoBoundMs}, kSendTolerance, true});
    if (!echo.Confirmed()) {
        co_return Storing{echo, StepOutcome::Done};
    }
    const StepOutcome stored = co_await EraseAndStoreMcc(context);
    co_return Storing{echo, stored};
}

QCoro::Task<CFineRun::Verification>
CFineRun::VerifyAcrossMagReset(CStepContext& context, double waitMs,
                               std::optional<Location> entered, std::function<void()> resetSent) {
    if (context.IsCancelled()) {
        co_return Verification::Cancelled; // the magnetometer is not reset
    }
    // Copies: after a cancelled pause the context may be gone, and the check still ends.
    CAhrsLink& link = context.Link();
    const CStepToken token = context.Token();
    const CTimeBase clock = context.TimeBase();
    CAhrsState& state = link.State();
    const CInstallationSession::Corrections before = CInstallationSession::CorrectionsOf(state);
    link.SetParsingSuspended(true);
    link.ResetErrors();
    link.ResetMagPower();
    link.SetParsingSuspended(false);
    if (resetSent) {
        resetSent();
    }
    co_await Rest(token, clock, waitMs);
    if (token.IsCancelled()) {
        co_return Verification::Cancelled; // nothing more is sent; the context may be gone
    }
    const CInstallationSession::Corrections after = CInstallationSession::CorrectionsOf(state);
    bool locationKept = true;
    if (entered) {
        link.SelectOutputPage('E');
        co_await Rest(token, clock, kPageEReadMs);
        if (token.IsCancelled()) {
            co_return Verification::Cancelled;
        }
        locationKept =
            std::fabs(state.GetLatitude() - entered->latitude) < kReadBackTolerance &&
            std::fabs(state.GetMagneticVariation() - entered->variation) < kReadBackTolerance;
        link.SelectOutputPage('C');
    }
    if (!link.IsLinkAlive()) {
        co_return Verification::LinkLost;
    }
    co_return (after == before && locationKept) ? Verification::Kept : Verification::NotKept;
}

void CFineRun::Stored(CAhrsLink& link, CInstallationSession& session) {
    CAhrsState& state = link.State();
    session.ReplaceEarlierCorrections(state.GetAhrsSerialNumber(),
                                      CInstallationSession::CorrectionsOf(state));
    session.Thaw();
}
