#include "procedure/FreeFieldMeasurement.h"

#include "records/CalibrationMath.h"
#include "records/MagMeasurementFile.h"
#include "records/SampleAgreement.h"

#include <cerrno>

void CFreeFieldMeasurement::Reset() {
    Abandon();
    values = {};
    hasValues = false;
}

void CFreeFieldMeasurement::Start() {
    collection.Start(kSamples);
}

void CFreeFieldMeasurement::Abandon() {
    collection.Abandon();
}

CFreeFieldMeasurement::Progress CFreeFieldMeasurement::Add(const MagReading& reading) {
    const CMagCollection::Added added = collection.Add(reading);
    if (added != CMagCollection::Added::Last) {
        return added == CMagCollection::Added::Idle ? Progress::Idle : Progress::Sampling;
    }
    if (!CountsAgree(collection.Samples())) {
        // A sample apart from the others is not the field.
        collection.Drop();
        return Progress::Unsteady;
    }
    const FreeFieldValues means = ComputeFreeField(collection.Samples());
    values = {means.x, means.y, means.z};
    hasValues = true;
    return Progress::Measured;
}

bool CFreeFieldMeasurement::Load(const std::string& magSerial) {
    std::int16_t x = 0;
    std::int16_t y = 0;
    std::int16_t z = 0;
    if (!CMagMeasurementFile(magSerial).Read(x, y, z)) {
        return false;
    }
    values = {x, y, z};
    hasValues = true;
    return true;
}

std::optional<CFreeFieldMeasurement::SaveFailure>
CFreeFieldMeasurement::Save(const std::string& magSerial) const {
    const CMagMeasurementFile file(magSerial);
    errno = 0;
    if (file.Write(values[0], values[1], values[2])) {
        return std::nullopt;
    }
    return SaveFailure{file.Path(), errno};
}
