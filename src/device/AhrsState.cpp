#include "device/AhrsState.h"

#include "device/AhrsVersion.h"

#include <cstddef>

namespace {

using Guard = std::lock_guard<std::mutex>;

// Unwraps the pair (older, newer) across north so that their difference is the short
// way round: strict comparisons, 270 and 90 themselves take the plain branch.
void UnwrapAcrossNorth(double& older, double& newer) {
    if (older > 270 && newer < 90) {
        older -= 360;
    } else if (older < 90 && newer > 270) {
        newer -= 360;
    }
}

double FoldHalfTurn(double d) {
    if (d < -180) {
        return d + 360;
    }
    if (d > 180) {
        return d - 360;
    }
    return d;
}

} // namespace

template <class Array, class Value> void CAhrsState::Store(Array& array, int index, Value value) {
    if (index < 0 || static_cast<std::size_t>(index) >= array.size()) {
        return;
    }
    Guard guard(lock);
    array[static_cast<std::size_t>(index)] = value;
}

template <class Array>
typename Array::value_type CAhrsState::Load(const Array& array, int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= array.size()) {
        return typename Array::value_type{};
    }
    Guard guard(lock);
    return array[static_cast<std::size_t>(index)];
}

CAhrsState::CAhrsState() {
    Guard guard(lock);
    ResetLocked();
}

void CAhrsState::Reset() {
    Guard guard(lock);
    ResetLocked();
}

void CAhrsState::ResetLocked() {
    ahrsVersion.Clear();
    magVersion.Clear();
    ahrsSerialNumber.RestartCount();
    magSerialNumber.RestartCount();
    colonLineText.clear();
    dataText.clear();
    anFlag = false;
    statusBit0 = false;
    hasStatusWord = false;
    gyroScaleTable.clear();
    accelScaleTable.clear();
    accel = {};
    gyro = {};
    gyroBias = {};
    pitch = 0;
    roll = 0;
    outputHeading = 0;
    mcc = {};
    mountPosition = 0;
    latitude = 0;
    magneticVariation = 0;
    latitudeCount = 0;
    magneticVariationCount = 0;
    blkValue = 0;
    magCorrHeading = 0;
    headingError = 0;
    statusWord = 0;
    statusCount = 0;
    avgHeadingCount = 0;
    arincCount = 0;
    a429Speed = 0;
    arincOutput = -1.0;
    avgHeading = 0;
    avgHeadingRate = 0;
    prevAvgHeading = 0;
    headingFilterLength = 4.0;
    rateFilterLength = 2.0;
    firstHeading = true;
    firstRate = true;
    avgCounts = {};
    magLevel = {};
    magFieldCorrection = {};
}

void CAhrsState::ClearCounters() {
    Guard guard(lock);
    arincCount = 0;
    statusCount = 0;
    avgHeadingCount = 0;
}

void CAhrsState::SetAhrsVersion(const std::string& text) {
    Guard guard(lock);
    ahrsVersion.Offer(text);
}

void CAhrsState::SetMagVersion(const std::string& text) {
    Guard guard(lock);
    magVersion.Offer(text);
}

// With no serial number (kNoSerialNumber) the known one stays, and the report
// is no report at all (it neither counts towards a text nor interrupts one).
void CAhrsState::SetAhrsSerialNumber(const std::string& text) {
    if (text == kNoSerialNumber) {
        return;
    }
    Guard guard(lock);
    ahrsSerialNumber.Offer(text);
}

void CAhrsState::SetMagSerialNumber(const std::string& text) {
    if (text == kNoSerialNumber) {
        return;
    }
    Guard guard(lock);
    magSerialNumber.Offer(text);
}

void CAhrsState::SetAnFlag(bool value) {
    Guard guard(lock);
    anFlag = value;
}

void CAhrsState::SetStatusWord(std::uint32_t word) {
    Guard guard(lock);
    statusWord = word;
    hasStatusWord = true;
    statusBit0 = (word & 1U) != 0;
    ++statusCount;
}

void CAhrsState::CountStatusLine() {
    Guard guard(lock);
    ++statusCount;
}

void CAhrsState::SetPitch(double value) {
    Guard guard(lock);
    pitch = value;
}

void CAhrsState::SetRoll(double value) {
    Guard guard(lock);
    roll = value;
}

void CAhrsState::SetOutputHeading(double value) {
    Guard guard(lock);
    outputHeading = value;
}

void CAhrsState::SetMagRawHeading(double value) {
    Guard guard(lock);
    magRawHeading = value;
}

// The heading error is the corrected magnetic heading minus the output heading, the
// short way round; 180 itself stays 180.
void CAhrsState::SetMagCorrHeading(double value) {
    Guard guard(lock);
    magCorrHeading = value;
    double output = outputHeading;
    double corrected = value;
    UnwrapAcrossNorth(output, corrected);
    headingError = FoldHalfTurn(corrected - output);
}

// Exponential heading filter (length 4) with unwrapping across north, followed by an
// exponential filter (length 2) over the heading change. The first sample sets the
// heading; the second gives the first rate.
void CAhrsState::AddAvgHeadingSample(double value) {
    Guard guard(lock);
    if (firstHeading) {
        avgHeading = value;
        firstHeading = false;
    } else {
        const double a = 1.0 / headingFilterLength;
        const double r = 1.0 / rateFilterLength;
        double heading = avgHeading;
        double sample = value;
        UnwrapAcrossNorth(heading, sample);
        double filtered = (1 - a) * heading + a * sample;
        if (filtered < 0) {
            filtered += 360;
        } else if (filtered >= 360) {
            filtered -= 360;
        }
        avgHeading = filtered;

        double previous = prevAvgHeading;
        double current = avgHeading;
        UnwrapAcrossNorth(previous, current);
        const double change = FoldHalfTurn(current - previous);
        if (firstRate) {
            avgHeadingRate = change;
            firstRate = false;
        } else {
            avgHeadingRate = (1 - r) * avgHeadingRate + r * change;
        }
    }
    prevAvgHeading = avgHeading;
    ++avgHeadingCount;
}

void CAhrsState::SetAccel(int axis, double value) {
    Store(accel, axis, value);
}
void CAhrsState::SetGyro(int axis, double value) {
    Store(gyro, axis, value);
}
void CAhrsState::SetGyroBias(int axis, double value) {
    Store(gyroBias, axis, value);
}
void CAhrsState::SetAvgCount(int axis, std::uint16_t value) {
    Store(avgCounts, axis, value);
}
void CAhrsState::SetMagLevel(int index, std::uint16_t value) {
    Store(magLevel, index, value);
}
// A correction and its report count change together, so that a count taken before a
// command never misses a report of the value before it.
void CAhrsState::SetMagFieldCorrection(int axis, std::int16_t value) {
    if (axis < 0 || axis >= 3) {
        return;
    }
    Guard guard(lock);
    magFieldCorrection[static_cast<std::size_t>(axis)] = value;
    ++correctionReports[static_cast<std::size_t>(axis)];
}
void CAhrsState::SetMcc(int heading, double value) {
    if (heading < 0 || heading >= 4) {
        return;
    }
    Guard guard(lock);
    mcc[static_cast<std::size_t>(heading)] = value;
    ++correctionReports[static_cast<std::size_t>(3 + heading)];
}

void CAhrsState::SetMountPosition(std::int32_t value) {
    Guard guard(lock);
    mountPosition = value;
}

void CAhrsState::SetLatitude(double value) {
    Guard guard(lock);
    latitude = value;
    ++latitudeCount;
}

void CAhrsState::SetMagneticVariation(double value) {
    Guard guard(lock);
    magneticVariation = value;
    ++magneticVariationCount;
}

void CAhrsState::SetA429Speed(double value) {
    Guard guard(lock);
    a429Speed = value;
}

void CAhrsState::SetBlkValue(double value) {
    Guard guard(lock);
    blkValue = value;
}

void CAhrsState::SetArincOutput(double value) {
    Guard guard(lock);
    arincOutput = value;
    ++arincCount;
}

void CAhrsState::SetColonLineText(const std::string& text) {
    Guard guard(lock);
    colonLineText = text;
}

void CAhrsState::SetDataText(const std::string& text) {
    Guard guard(lock);
    dataText = text;
}

void CAhrsState::SetGyroScale(std::int32_t key, double value) {
    Guard guard(lock);
    gyroScaleTable[key] = value;
}

void CAhrsState::SetAccelScale(std::int32_t key, double value) {
    Guard guard(lock);
    accelScaleTable[key] = value;
}

void CAhrsState::SetAhrsVersionClass(std::int32_t value) {
    Guard guard(lock);
    ahrsVersionClass = value;
}

std::int32_t CAhrsState::ClassifyAhrsVersion(const std::string& text) {
    const std::int32_t versionClass = AhrsVersionClassOf(text);
    if (text.empty()) {
        return versionClass; // nothing reported yet: neither a class nor a failure
    }
    Guard guard(lock);
    ahrsVersionClass = versionClass;
    unknownVersionCount = versionClass == kUnknownVersionClass ? unknownVersionCount + 1 : 0;
    return versionClass;
}

bool CAhrsState::TakeUnknownVersionReport() {
    static constexpr int kFailuresBeforeReport = 5;
    Guard guard(lock);
    if (unknownVersionReported || unknownVersionCount < kFailuresBeforeReport) {
        return false;
    }
    unknownVersionReported = true;
    return true;
}

#define HX410_GETTER(Type, Name, field)                                                            \
    Type CAhrsState::Name() const {                                                                \
        Guard guard(lock);                                                                         \
        return field;                                                                              \
    }

HX410_GETTER(std::string, GetAhrsVersion, ahrsVersion.Stable())
HX410_GETTER(std::string, GetAhrsSerialNumber, ahrsSerialNumber.Stable())
HX410_GETTER(std::string, GetMagVersion, magVersion.Stable())
HX410_GETTER(std::string, GetMagSerialNumber, magSerialNumber.Stable())
HX410_GETTER(std::string, GetReportedAhrsVersion, ahrsVersion.Latest())
HX410_GETTER(std::string, GetReportedAhrsSerialNumber, ahrsSerialNumber.Latest())
HX410_GETTER(std::string, GetReportedMagVersion, magVersion.Latest())
HX410_GETTER(std::string, GetReportedMagSerialNumber, magSerialNumber.Latest())
HX410_GETTER(std::string, GetColonLineText, colonLineText)
HX410_GETTER(std::string, GetDataText, dataText)
HX410_GETTER(std::int32_t, GetAhrsVersionClass, ahrsVersionClass)
HX410_GETTER(bool, GetAnFlag, anFlag)
HX410_GETTER(bool, GetStatusBit0, statusBit0)
HX410_GETTER(std::uint32_t, GetStatusWord, statusWord)
HX410_GETTER(bool, HasStatusWord, hasStatusWord)
HX410_GETTER(std::uint32_t, GetStatusCount, statusCount)
HX410_GETTER(std::uint32_t, GetAvgHeadingCount, avgHeadingCount)
HX410_GETTER(std::uint32_t, GetArincCount, arincCount)
HX410_GETTER(std::int32_t, GetMountPosition, mountPosition)
HX410_GETTER(double, GetPitch, pitch)
HX410_GETTER(double, GetRoll, roll)
HX410_GETTER(double, GetOutputHeading, outputHeading)
HX410_GETTER(double, GetMagRawHeading, magRawHeading)
HX410_GETTER(double, GetMagCorrHeading, magCorrHeading)
HX410_GETTER(double, GetHeadingError, headingError)
HX410_GETTER(double, GetAvgHeading, avgHeading)
HX410_GETTER(double, GetAvgHeadingRate, avgHeadingRate)
HX410_GETTER(double, GetPrevAvgHeading, prevAvgHeading)
HX410_GETTER(double, GetHeadingFilterLength, headingFilterLength)
HX410_GETTER(double, GetRateFilterLength, rateFilterLength)
HX410_GETTER(bool, GetFirstHeading, firstHeading)
HX410_GETTER(bool, GetFirstRate, firstRate)
HX410_GETTER(double, GetBlkValue, blkValue)
HX410_GETTER(double, GetLatitude, latitude)
HX410_GETTER(double, GetMagneticVariation, magneticVariation)
HX410_GETTER(std::uint32_t, GetLatitudeCount, latitudeCount)
HX410_GETTER(std::uint32_t, GetMagneticVariationCount, magneticVariationCount)
HX410_GETTER(double, GetA429Speed, a429Speed)
HX410_GETTER(double, GetArincOutput, arincOutput)
HX410_GETTER(CAhrsState::ScaleTable, GetGyroScaleTable, gyroScaleTable)
HX410_GETTER(CAhrsState::ScaleTable, GetAccelScaleTable, accelScaleTable)

#undef HX410_GETTER

std::uint16_t CAhrsState::GetAvgCount(int axis) const {
    return Load(avgCounts, axis);
}
std::uint16_t CAhrsState::GetMagLevel(int index) const {
    return Load(magLevel, index);
}
std::int16_t CAhrsState::GetMagFieldCorrection(int axis) const {
    return Load(magFieldCorrection, axis);
}
double CAhrsState::GetAccel(int axis) const {
    return Load(accel, axis);
}
double CAhrsState::GetGyro(int axis) const {
    return Load(gyro, axis);
}
double CAhrsState::GetGyroBias(int axis) const {
    return Load(gyroBias, axis);
}
double CAhrsState::GetMcc(int heading) const {
    return Load(mcc, heading);
}
std::uint32_t CAhrsState::GetMagFieldCorrectionReports(int axis) const {
    return axis >= 0 && axis < 3 ? Load(correctionReports, axis) : 0;
}
std::uint32_t CAhrsState::GetMccReports(int heading) const {
    return heading >= 0 && heading < 4 ? Load(correctionReports, 3 + heading) : 0;
}
