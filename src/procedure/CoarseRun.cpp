#include "procedure/CoarseRun.h"

#include "device/AhrsLink.h"
#include "procedure/StepWaits.h"
#include "records/InstallationSession.h"
#include "records/MagMeasurementFile.h"
#include "records/SampleAgreement.h"

void CCoarseRun::LoadFreeField(CAhrsLink& link, CInstallationSession& session) {
    const std::string serial = link.State().GetMagSerialNumber();
    std::int16_t x = 0, y = 0, z = 0;
    if (CMagMeasurementFile(serial).Read(x, y, z) && (x != 0 || y != 0 || z != 0)) {
        session.SetFreeField(serial, {x, y, z});
    } else {
        session.ClearFreeField();
    }
}

QCoro::Task<void> CCoarseRun::DeleteFreeField(CStepContext& context,
                                              CInstallationSession& session) {
    CMagMeasurementFile(context.Link().State().GetMagSerialNumber()).Delete();
    session.ClearFreeField();
    co_await Delay(context, kDeleteSettleMs);
}

void CCoarseRun::StartAfresh() {
    headings = {};
    zeroed = false;
}

QCoro::Task<CorrectionEcho> CCoarseRun::ZeroCorrections(CStepContext& context,
                                                        CInstallationSession& session) {
    KeepHeldCorrections(context.Link(), session);
    zeroed = false;
    const CorrectionEcho field =
        co_await SetFieldCorrections(context, {}, {kFieldPollMs, kEchoBoundMs});
    if (!field.Confirmed()) {
        co_return field;
    }
    const CorrectionEcho compass = co_await SetCompassCorrections(
        context, {}, {kCompassWalk, {kCompassPollMs, kEchoBoundMs}, kCompassZeroTolerance, false});
    zeroed = compass.Confirmed();
    co_return compass;
}

void CCoarseRun::StartCollection(int heading) {
    headings[heading].collection.Start(kSamplesPerCollection);
}

void CCoarseRun::AbandonCollections() {
    for (Heading& heading : headings) {
        heading.collection.Abandon();
    }
}

CCoarseRun::Collection CCoarseRun::AddSample(int index, const MagReading& sample,
                                             CInstallationSession& session) {
    Heading& heading = headings[index];
    const CMagCollection::Added added = heading.collection.Add(sample);
    if (added != CMagCollection::Added::Last) {
        return added == CMagCollection::Added::Idle ? Collection::Idle : Collection::Collecting;
    }
    const CMagSampleSet& samples = heading.collection.Samples();
    if (!CountsAndAttitudeAgree(samples)) {
        // A sample apart from the others is not the aircraft: nothing of it is recorded.
        heading.collection.Drop();
        return Collection::Unsteady;
    }
    heading.measurement = MeasureHeading(samples);
    session.SetCoarseHeading(index, heading.measurement, MeanLevelOfSamples(samples));
    heading.collected = true;
    return Collection::Measured;
}

int CCoarseRun::SamplesCollected(int heading) const {
    return static_cast<int>(headings[heading].collection.Samples().Size());
}

bool CCoarseRun::AllCollected() const {
    for (const Heading& heading : headings) {
        if (!heading.collected) {
            return false;
        }
    }
    return true;
}

std::array<HeadingMeasurement, 4> CCoarseRun::Measurements() const {
    std::array<HeadingMeasurement, 4> byHeading;
    for (int heading = 0; heading < 4; ++heading) {
        byHeading[heading] = headings[heading].measurement;
    }
    return byHeading;
}

CoarseCrossCheck CCoarseRun::CheckHeadings(const FreeFieldValues& freeField) {
    const CoarseCrossCheck check = CheckCoarseHeadings(Measurements(), freeField);
    if (!check.agree) {
        for (int heading = 0; heading < 4; ++heading) {
            if (check.suspect == -1 || check.suspect == heading) {
                headings[heading].collected = false;
            }
        }
    }
    return check;
}

QCoro::Task<CorrectionEcho> CCoarseRun::SendCorrections(CStepContext& context,
                                                        CInstallationSession& session,
                                                        FreeFieldValues freeField) {
    const std::array<HeadingMeasurement, 4> byHeading = Measurements();
    const CoarseCorrectionResult result = ComputeCoarseCorrections(byHeading, freeField.z);
    session.SetCoarseResult(byHeading, result);
    // From here the unit may hold some of them: a heading collected again is measured only
    // after zeroing again.
    zeroed = false;
    const CorrectionEcho sent =
        co_await SetFieldCorrections(context, result.correction, {kFieldPollMs, kEchoBoundMs});
    co_return sent;
}
