#pragma once

#include "device/AhrsVersion.h"
#include "device/VersionCapabilities.h"
#include "procedure/CorrectionEchoes.h"
#include "procedure/StepContext.h"
#include "procedure/StepOutcome.h"

#include <QCoroTask>

#include <cstdint>
#include <functional>

class CAhrsState;
class CInstallationSession;

// What the connection page does with a unit that has just come up: write back the compass
// corrections a lost link interrupted, classify the reported HX410 version, and store the
// ARINC 429 speed the installer chose. Durations are program milliseconds.

// The version class the unit's reported version text belongs to, and what it offers.
struct VersionClassification {
    std::int32_t versionClass = kUnknownVersionClass;
    VersionCapabilities capabilities;
    // The version has been unknown for too many reports: the program is to end.
    bool unknownReported = false;
};

// Writes back, in the compass walk, the corrections the session kept for the connected
// unit before the fine calibration replaced them, each confirmed by the unit's echo with
// the same two decimals (see SetCompassCorrections). Stops at the first correction not
// confirmed; once all are, the restore is no longer due. With nothing kept for the unit,
// nothing is sent.
QCoro::Task<CorrectionEcho> WriteBackInterruptedCorrections(CStepContext& context,
                                                            CInstallationSession& session,
                                                            EchoPacing pacing);

// Classifies the version text the unit reports now and tells whether an unknown version is
// to be reported (CAhrsState::ClassifyAhrsVersion, TakeUnknownVersionReport).
VersionClassification ClassifyReportedVersion(CAhrsState& state);

// Selects output page F, which shows both versions, and clears the counters; calls
// `showVersions` to show the versions reported so far, and classifies them. An unknown
// class is tried again up to `tries` times in all, each after the reported version changed
// or `retryMs` passed, with `showVersions` called after each wait: a version is taken on
// its second report, so the first one may not have been taken yet. Ends early when the step
// is cancelled or an unknown version is to be reported.
QCoro::Task<VersionClassification> ClassifyConnectedUnit(CStepContext& context,
                                                         std::function<void()> showVersions,
                                                         int tries, double retryMs);

// Sets the ARINC 429 speed, pauses `settleMs` and makes the unit keep its settings through a
// power cycle (EraseAndStoreMcc). Done when stored.
QCoro::Task<StepOutcome> StoreA429Speed(CStepContext& context, bool high, double settleMs);
