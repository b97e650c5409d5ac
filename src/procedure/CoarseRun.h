#pragma once

#include "procedure/CorrectionEchoes.h"
#include "procedure/MagCollection.h"
#include "procedure/MagReading.h"
#include "procedure/StepContext.h"
#include "records/CalibrationMath.h"
#include "records/CoarseCrossCheck.h"
#include "records/MagSampleSet.h"

#include <QCoroTask>

#include <array>
#include <cstdint>

class CInstallationSession;

// The coarse calibration: with the unit's corrections zeroed, ten samples are collected at
// each cardinal heading; from the four measurements and the magnetometer's free field the
// three hard-iron (field) corrections are computed and set on the unit, each confirmed by
// its echo. The run keeps the collections of the current visit; the measurements and the
// result go to the installation session.
class CCoarseRun {
public:
    static constexpr int kSamplesPerCollection = 10;
    static constexpr double kDeleteSettleMs = 2000;
    static constexpr double kFieldPollMs = 150;
    static constexpr double kCompassPollMs = 150;
    static constexpr double kEchoBoundMs = 5000; // for each correction's echo
    static constexpr double kCompassZeroTolerance = 0.03;

    // What a tick's sample did to its heading's collection.
    enum class Collection {
        Idle,       // no collection runs at that heading
        Collecting, // the sample was added, more are to come
        Measured,   // the last sample: the heading's measurement is in the session
        Unsteady,   // the last sample, but the samples disagree: nothing was recorded
    };

    // The free field in use is the magnetometer's own file, or none: an earlier
    // magnetometer's values never stay in use, and a file of zeros holds no measurement.
    static void LoadFreeField(CAhrsLink& link, CInstallationSession& session);
    // Deletes the magnetometer's free-field file and forgets its values, then lets the unit
    // settle for kDeleteSettleMs.
    static QCoro::Task<void> DeleteFreeField(CStepContext& context, CInstallationSession& session);

    // Begins the step anew: nothing collected, the corrections to be zeroed.
    void StartAfresh();

    // Whether the unit's corrections are known to be zero since the last zeroing.
    bool CorrectionsZeroed() const { return zeroed; }
    // Keeps the corrections the unit holds in the session (for the fine page to restore),
    // then zeroes the three field corrections and the four compass corrections (N, E, S, W),
    // each confirmed by its echo; stops at the first that is not confirmed.
    QCoro::Task<CorrectionEcho> ZeroCorrections(CStepContext& context,
                                                CInstallationSession& session);

    // Starts collecting at `heading` afresh; its earlier samples go.
    void StartCollection(int heading);
    // Ends every collection that has not finished; nothing of it is kept.
    void AbandonCollections();
    Collection AddSample(int heading, const MagReading& sample, CInstallationSession& session);
    int SamplesCollected(int heading) const;
    bool IsCollected(int heading) const { return headings[heading].collected; }
    bool AllCollected() const;

    // The four measurements checked against each other and the free field. A heading the
    // check does not trust (all of them when it names none) counts as not collected.
    CoarseCrossCheck CheckHeadings(const FreeFieldValues& freeField);
    // Computes the field corrections from the four measurements, records the result in the
    // session and sets them on the unit, each confirmed by its echo. From the first send on,
    // the corrections no longer count as zeroed.
    QCoro::Task<CorrectionEcho> SendCorrections(CStepContext& context,
                                                CInstallationSession& session,
                                                FreeFieldValues freeField);

private:
    struct Heading {
        CMagCollection collection;
        HeadingMeasurement measurement;
        bool collected = false;
    };

    std::array<HeadingMeasurement, 4> Measurements() const;

    std::array<Heading, 4> headings;
    bool zeroed = false;
};
