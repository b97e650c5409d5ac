#pragma once

#include "procedure/StepContext.h"
#include "procedure/StepOutcome.h"

#include <QCoroTask>

#include <string>

class CInstallationSession;

// A change of the unit's mount position: waiting for the unit and its RQ270 to answer, then
// sending the position and putting it into use. The waits go on while the link is down (see
// PatientWaits.h): the unit is expected back from a power cycle, and a step that timed out
// tells the installer itself. Durations are program milliseconds.

// The pause after each command that puts a new position into use.
inline constexpr double kMountCommandGapMs = 330;

// Whether the RQ270 has reported a version: not before its first report (an empty text, as
// after a reset of the record) and not while it answers "-----".
bool MagVersionReported(const std::string& text);

// Waits up to `boundMs` for the link, selects output page F (a unit back from power-off
// shows its default page, without the versions), then waits up to `boundMs` for the RQ270's
// version. Done once both answered, TimedOut when one did not, Cancelled.
QCoro::Task<StepOutcome> AwaitUnitAfterPowerOn(CStepContext& context, double boundMs);

// Pauses `settleMs`, then waits up to `boundMs` for the RQ270's version. Done, TimedOut or
// Cancelled.
QCoro::Task<StepOutcome> AwaitMagnetometer(CStepContext& context, double settleMs, double boundMs);

// After `settleMs` sends `mount`, clears the session's selected mount and puts the position
// into use with an error reset and an IMU reset, each followed by kMountCommandGapMs.
// Cancelled when cancelled before the send, which then sends nothing; once the position is
// sent the resets follow also after a cancel (whose gaps then end at once), and it is Done.
QCoro::Task<StepOutcome> SendMount(CStepContext& context, CInstallationSession& session, int mount,
                                   double settleMs);
