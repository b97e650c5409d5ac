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
    samples.Clear();
    samplesToGo = kSamples;
}

void CFreeFieldMeasurement::Abandon() {
    samplesToGo = 0;
    samples.Clear();
}

CFreeFieldMeasurement::Progress CFreeFieldMeasurement::Add(const MagReading& reading) {
    if (samplesToGo <= 0) {
        return Progress::Idle;
    }
    --samplesToGo;
    samples.Add(reading.counts[0], reading.counts[1], reading.counts[2], reading.level[0],
                reading.level[1], reading.pitch, reading.roll);
    if (samplesToGo > 0) {
        return Progress::Sampling;
    }
    if (!CountsAgree(samples)) {
        // A sample apart from the others is not the field.
        samples.Clear();
        return Progress::Unsteady;
    }
    const FreeFieldValues means = ComputeFreeField(samples);
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
