#include "records/CalibrationMath.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kCoarseLimit = 45.0;
constexpr double kFineLimit = 20.0;

// Headings in the order the sums walk them: North, East, South, West.
constexpr std::array<int, 4> kSumOrder = {kHeadingNorth, kHeadingEast, kHeadingSouth, kHeadingWest};

template <class T> double MeanOfValues(std::span<const T> values) {
    const double n = static_cast<double>(values.size());
    double sum = 0.0;
    for (const T value : values) {
        sum += static_cast<double>(value) / n;
    }
    return sum;
}

LevelComponents Rotate(double x, double y, double z, double pitchDeg, double rollDeg) {
    const double p = pitchDeg * kRadiansPerDegree;
    const double r = rollDeg * kRadiansPerDegree;
    const double a = y * std::sin(r) + z * std::cos(r);
    LevelComponents level;
    level.x = x * std::cos(p) + a * std::sin(p);
    level.y = y * std::cos(r) - z * std::sin(r);
    level.z = a * std::cos(p) - x * std::sin(p);
    return level;
}

// Correction of a heading with error a, given the error b of its partner heading.
double CompassCorrection(double a, double b) {
    const double magnitude = std::fabs(a);
    if (!std::isfinite(a) || !std::isfinite(b) || magnitude >= 90.0) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return a / (1.0 - magnitude / 90.0) - (magnitude / (90.0 - magnitude)) * b;
}

} // namespace

const char* const kCoarseRangeWarning = "Out of calibration range (\xC2\xB1"
                                        "45 degrees).  Check aircraft alignment to compass rose.";
const char* const kFineRangeWarning = "Out of calibration range (\xC2\xB1"
                                      "20 degrees).  Check aircraft alignment to compass rose.";
const char* const kRangeWarningCaption = "Compass Correction out of range.";

double MeanOf(std::span<const double> values) {
    return MeanOfValues(values);
}

double MeanOf(std::span<const int16_t> values) {
    return MeanOfValues(values);
}

int16_t TruncateToCount(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 32767.0) {
        return std::numeric_limits<int16_t>::max();
    }
    if (value <= -32768.0) {
        return std::numeric_limits<int16_t>::min();
    }
    return static_cast<int16_t>(std::trunc(value));
}

FreeFieldValues ComputeFreeField(const CMagSampleSet& samples) {
    FreeFieldValues values;
    values.x = TruncateToCount(MeanOf(samples.X()));
    values.y = TruncateToCount(MeanOf(samples.Y()));
    values.z = TruncateToCount(MeanOf(samples.Z()));
    return values;
}

HeadingMeasurement MeasureHeading(const CMagSampleSet& samples) {
    HeadingMeasurement measurement;
    measurement.x = TruncateToCount(MeanOf(samples.X()));
    measurement.y = TruncateToCount(MeanOf(samples.Y()));
    measurement.z = TruncateToCount(MeanOf(samples.Z()));
    measurement.pitch = MeanOf(samples.Pitch());
    measurement.roll = MeanOf(samples.Roll());
    return measurement;
}

LevelComponents LevelOf(const HeadingMeasurement& m) {
    return Rotate(m.x, m.y, m.z, m.pitch, m.roll);
}

LevelComponents MeanLevelOfSamples(const CMagSampleSet& samples) {
    const std::size_t n = samples.Size();
    const double count = static_cast<double>(n);
    LevelComponents sum;
    for (std::size_t i = 0; i < n; ++i) {
        const LevelComponents level = Rotate(samples.X()[i], samples.Y()[i], samples.Z()[i],
                                             samples.Pitch()[i], samples.Roll()[i]);
        sum.x += level.x / count;
        sum.y += level.y / count;
        sum.z += level.z / count;
    }
    LevelComponents mean;
    mean.x = TruncateToCount(sum.x);
    mean.y = TruncateToCount(sum.y);
    mean.z = TruncateToCount(sum.z);
    return mean;
}

double CardinalError(double heading, int headingIndex) {
    switch (headingIndex) {
    case kHeadingNorth:
        return heading <= 180.0 ? heading : heading - 360.0;
    case kHeadingSouth:
        return heading - 180.0;
    case kHeadingEast:
        return heading - 90.0;
    case kHeadingWest:
        return heading - 270.0;
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

bool IsCoarseErrorInRange(double error) {
    return std::fabs(error) < kCoarseLimit;
}

bool IsFineErrorInRange(double error) {
    return std::fabs(error) <= kFineLimit;
}

CoarseCorrectionResult ComputeCoarseCorrections(const std::array<HeadingMeasurement, 4>& byHeading,
                                                int16_t freeFieldZ) {
    CoarseCorrectionResult result;
    double sumX = 0, sumY = 0, sumZ = 0;
    double sumSinP = 0, sumCosP = 0, sumSinR = 0, sumCosR = 0;
    for (const int heading : kSumOrder) {
        const HeadingMeasurement& m = byHeading[heading];
        const double p = m.pitch * kRadiansPerDegree;
        const double r = m.roll * kRadiansPerDegree;
        sumSinP += std::sin(p);
        sumCosP += std::cos(p);
        sumSinR += std::sin(r);
        sumCosR += std::cos(r);
        result.level[heading] = LevelOf(m);
        sumX += result.level[heading].x;
        sumY += result.level[heading].y;
        sumZ += result.level[heading].z;
    }
    const double bx = -sumX * 0.25;
    const double by = -sumY * 0.25;
    const double bz = freeFieldZ - sumZ * 0.25;
    const double sP = sumSinP * 0.25;
    const double cP = sumCosP * 0.25;
    const double sR = sumSinR * 0.25;
    const double cR = sumCosR * 0.25;

    const double cx = cP * bx - sP * bz;
    const double cy = sR * (cP * bz + sP * bx) + cR * by;
    const double cz = cR * sP * bx - sR * by + cR * cP * bz;
    result.correction = {TruncateToCount(cx), TruncateToCount(cy), TruncateToCount(cz)};
    return result;
}

std::array<double, 4> ComputeCompassCorrections(const std::array<double, 4>& e) {
    const double n = e[kHeadingNorth];
    const double s = e[kHeadingSouth];
    const double east = e[kHeadingEast];
    const double w = e[kHeadingWest];
    std::array<double, 4> correction{};
    correction[kHeadingNorth] = CompassCorrection(n, n >= 0 ? east : w);
    correction[kHeadingEast] = CompassCorrection(east, east >= 0 ? s : n);
    correction[kHeadingSouth] = CompassCorrection(s, s >= 0 ? w : east);
    correction[kHeadingWest] = CompassCorrection(w, w >= 0 ? n : s);
    return correction;
}
