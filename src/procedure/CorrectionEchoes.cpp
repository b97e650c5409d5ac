#include "procedure/CorrectionEchoes.h"

#include "device/AhrsLink.h"
#include "device/FixedPoint.h"
#include "records/CalibrationMath.h"
#include "records/InstallationSession.h"

#include <cmath>

std::string CorrectionEcho::NotConfirmedText() const {
    static const char* const kAxisNames[] = {"X", "Y", "Z"};
    const bool field = kind == Kind::Field;
    const std::string which = field ? std::string(kAxisNames[index]) + " magnetic field"
                                    : std::string(kHeadingNames[index]) + " compass";
    const std::string shown =
        field ? std::to_string(static_cast<std::int16_t>(value)) : FixedPoint(value, 2);
    return "The HX410 did not confirm the " + which + " correction of " + shown + ".\n" +
           EchoPollMessage(result);
}

bool SendWithParsing(CAhrsLink& link, bool suspendParsing, const std::function<bool()>& send) {
    if (suspendParsing) {
        link.SetParsingSuspended(true);
    }
    const bool sent = send();
    if (suspendParsing) {
        link.SetParsingSuspended(false);
    }
    return sent;
}

QCoro::Task<CorrectionEcho>
SetFieldCorrections(CStepContext& context, std::array<std::int16_t, 3> values, EchoPacing pacing) {
    // The link outlives the context, which may be gone after a cancelled poll.
    CAhrsLink& link = context.Link();
    CAhrsState& state = link.State();
    for (int axis = 0; axis < 3; ++axis) {
        const std::int16_t value = values[axis];
        const EchoPollResult result = co_await PollForEcho(
            context, pacing.pollMs, pacing.boundMs,
            [&link, axis, value] { return link.SendMagFieldCorrection(axis, value); },
            [&state, axis] { return state.GetMagFieldCorrectionReports(axis); },
            [&state, axis, value] { return state.GetMagFieldCorrection(axis) == value; });
        if (result != EchoPollResult::Confirmed) {
            co_return CorrectionEcho{result, CorrectionEcho::Kind::Field, axis, double(value)};
        }
    }
    co_return CorrectionEcho{};
}

QCoro::Task<CorrectionEcho>
SetCompassCorrections(CStepContext& context, std::array<double, 4> values, CompassSending how) {
    CAhrsLink& link = context.Link();
    const CAhrsState& state = link.State();
    for (const int heading : how.order) {
        const double value = std::round(values[heading] * 100.0) / 100.0;
        const bool suspend = how.suspendParsing;
        const double tolerance = how.tolerance;
        const EchoPollResult result = co_await PollForEcho(
            context, how.pacing.pollMs, how.pacing.boundMs,
            [&link, heading, value, suspend] {
                return SendWithParsing(link, suspend, [&link, heading, value] {
                    return link.SendMcc(heading, value);
                });
            },
            [&state, heading] { return state.GetMccReports(heading); },
            [&state, heading, value, tolerance] {
                return std::fabs(state.GetMcc(heading) - value) <= tolerance;
            });
        if (result != EchoPollResult::Confirmed) {
            co_return CorrectionEcho{result, CorrectionEcho::Kind::Compass, heading, value};
        }
    }
    co_return CorrectionEcho{};
}

void KeepHeldCorrections(CAhrsLink& link, CInstallationSession& session) {
    if (link.IsLinkAlive()) {
        CAhrsState& state = link.State();
        session.KeepEarlierCorrections(state.GetAhrsSerialNumber(),
                                       CInstallationSession::CorrectionsOf(state));
    }
}
