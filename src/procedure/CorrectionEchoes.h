#pragma once

#include "procedure/PollForEcho.h"
#include "procedure/StepContext.h"

#include <QCoroTask>

#include <array>
#include <cstdint>
#include <functional>
#include <string>

class CAhrsLink;
class CInstallationSession;

// Where a run of echo-confirmed corrections stopped: the result of the first correction
// that was not confirmed, whether it was a field or a compass correction, which one (axis
// or heading index) and the value sent to it. Confirmed, with index -1, when all were.
struct CorrectionEcho {
    enum class Kind { Field, Compass };

    EchoPollResult result = EchoPollResult::Confirmed;
    Kind kind = Kind::Field;
    int index = -1;
    double value = 0.0;

    bool Confirmed() const { return result == EchoPollResult::Confirmed; }
    // For the installer: "The HX410 did not confirm the <axis> magnetic field correction of
    // <value>." or "... the <heading> compass correction of <value, two decimals>.", then
    // on a line of its own what the poll found (EchoPollMessage).
    std::string NotConfirmedText() const;
};

// How one run's echoes are awaited: how often each is looked at, and for how long.
struct EchoPacing {
    double pollMs = 0;
    double boundMs = 0;
};

// How the compass corrections are sent: in which order of heading indices, within what
// tolerance the echo matches the value sent, and whether the link's parsing is suspended
// while each command line is written.
struct CompassSending {
    std::array<int, 4> order{};
    EchoPacing pacing;
    double tolerance = 0.0;
    bool suspendParsing = false;
};

// Sets the field corrections X, Y, Z one at a time; each is confirmed when a report counted
// after its send shows exactly its value (see PollForEcho). Stops at the first that is not
// confirmed, and sends nothing after it.
QCoro::Task<CorrectionEcho>
SetFieldCorrections(CStepContext& context, std::array<std::int16_t, 3> values, EchoPacing pacing);

// Sets the four compass corrections, each rounded to two decimals, in `how.order`, each
// confirmed the same way within `how.tolerance` of the value sent. Stops at the first that
// is not confirmed, and sends nothing after it.
QCoro::Task<CorrectionEcho> SetCompassCorrections(CStepContext& context,
                                                  std::array<double, 4> values, CompassSending how);

// Calls `send`, which writes one command line, with the link's parsing suspended meanwhile
// when `suspendParsing`; its result.
bool SendWithParsing(CAhrsLink& link, bool suspendParsing, const std::function<bool()>& send);

// Keeps in the session the corrections the unit reports now as those it held before the
// calibration (only the first time for this unit; see KeepEarlierCorrections). Nothing is
// kept while the link is not alive: the record holds nothing of the unit then.
void KeepHeldCorrections(CAhrsLink& link, CInstallationSession& session);
