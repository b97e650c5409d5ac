#pragma once

#include "procedure/CorrectionEchoes.h"
#include "procedure/StepContext.h"
#include "procedure/StepOutcome.h"
#include "records/FineErrorCheck.h"

#include <QCoroTask>

#include <array>
#include <functional>
#include <optional>

class CAhrsLink;
class CInstallationSession;

// The fine calibration: with the unit's compass corrections zeroed, the heading error is
// recorded at each cardinal heading; from the four errors the compass corrections are
// computed, set (each confirmed by its echo), stored in the unit's configuration module and
// verified across a magnetometer reset. Back and a Next without new errors put back the
// corrections the unit held before. The errors go to the installation session; the run
// keeps which headings were recorded in the current visit.
class CFineRun {
public:
    static constexpr double kMeasurementSettleMs = 2000;
    static constexpr double kRecordSampleMs = 250; // heading checks while a heading is recorded
    static constexpr double kLatitudeSettleMs = 500;
    static constexpr double kVariationSettleMs = 1500;
    static constexpr double kPageEReadMs = 2500;
    static constexpr double kZeroPollMs = 10;
    static constexpr double kSendPollMs = 25;
    static constexpr double kEchoBoundMs = 5000; // for each compass correction's echo
    static constexpr double kSendTolerance = 0.02;
    static constexpr double kReadBackTolerance = 0.02;

    // Latitude and magnetic variation, for the units that take them.
    struct Location {
        double latitude = 0.0;
        double variation = 0.0;
    };
    // How recording a heading's error ended.
    enum class Recording {
        Recorded,  // the heading stayed steady: the error is in the session
        Unsteady,  // the heading moved meanwhile: nothing was recorded
        LinkLost,  // the record was reset meanwhile: nothing was recorded
        Cancelled, // the step was cancelled meanwhile: nothing was recorded
    };
    // How storing the new corrections ended: the sends' end, then (once all were
    // confirmed) the store's.
    struct Storing {
        CorrectionEcho echo;
        StepOutcome stored = StepOutcome::Done;
    };
    // How the verification across a magnetometer reset ended.
    enum class Verification {
        Kept,      // the unit reloaded what it reported before (and the location entered)
        NotKept,   // it reloaded something else
        LinkLost,  // the record was reset meanwhile, so nothing can be compared
        Cancelled, // the step was cancelled: nothing more was sent after the cancel
    };

    // Keeps in the session the corrections the unit holds now (unless the coarse step kept
    // them before it zeroed any), to be written back should the link be lost before new
    // ones are stored.
    static void KeepEarlierCorrections(CAhrsLink& link, CInstallationSession& session);

    // Begins the step anew: no error recorded, the corrections to be zeroed.
    void StartAfresh(CInstallationSession& session);

    // Whether the unit's compass corrections are known to be zero since the last zeroing.
    bool CorrectionsZeroed() const { return zeroed; }
    // Zeroes the four compass corrections in index order, each confirmed by its echo.
    QCoro::Task<CorrectionEcho> ZeroCorrections(CStepContext& context);
    // Sets the compass corrections the unit held before the calibration (zeros when none
    // were kept) in index order, each confirmed by its exact echo.
    QCoro::Task<CorrectionEcho> RestoreEarlierCorrections(CStepContext& context,
                                                          const CInstallationSession& session);

    bool IsRecorded(int heading) const { return recorded[heading]; }
    bool AllRecorded() const;
    // Whether `error` at `heading` fits the errors recorded at the other headings.
    FineAgreement CheckError(CAhrsLink& link, const CInstallationSession& session, int heading,
                             double error) const;
    // Looks at the heading every kRecordSampleMs for kMeasurementSettleMs: when it stayed
    // with `pressed`, as a steady aircraft's does, records `error` for `heading`.
    QCoro::Task<Recording> RecordError(CStepContext& context, CInstallationSession& session,
                                       int heading, double pressed, double error);

    // The location the unit holds, read on its output page E; none when the link was lost
    // or the step cancelled.
    static QCoro::Task<std::optional<Location>> ReadLocation(CStepContext& context);
    // Sends the latitude, then the magnetic variation, each followed by its settling time.
    // Cancelled, with nothing more sent, as soon as the step is cancelled; else Done.
    static QCoro::Task<StepOutcome> SendLocation(CStepContext& context, Location location,
                                                 bool suspendParsing);

    // Computes the compass corrections from the four errors, sets them (N, E, S, W, to
    // within the two decimals sent) and has the configuration module store them. Nothing
    // is sent when the step is cancelled already.
    QCoro::Task<Storing> StoreNewCorrections(CStepContext& context,
                                             const CInstallationSession& session);

    // Resets the magnetometer and compares the corrections the unit reports before and
    // `waitMs` after (and, when given, the location it reports then on page E with the one
    // entered): the stored ones are those it reloads. `resetSent` runs once the reset is
    // sent, before the wait.
    static QCoro::Task<Verification> VerifyAcrossMagReset(CStepContext& context, double waitMs,
                                                          std::optional<Location> entered,
                                                          std::function<void()> resetSent);

    // The new corrections are in the configuration module: they are the ones to keep, and
    // nothing writes the earlier ones back; the log and report take this calibration's values.
    static void Stored(CAhrsLink& link, CInstallationSession& session);

private:
    std::array<bool, 4> recorded{};
    bool zeroed = false;
};
