#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "records/MagSampleSet.h"

// The numbers the three calibration steps measure and compute, each a pure computation on
// plain values.
// Heading index: 0 North, 1 South, 2 East, 3 West. Axis index: 0 X, 1 Y, 2 Z.

// The result of one collection at one cardinal heading: mean counts and mean attitude.
struct HeadingMeasurement {
    int16_t x = 0, y = 0, z = 0;
    double pitch = 0, roll = 0; // degrees
};

// A measurement rotated into the local level frame.
struct LevelComponents {
    double x = 0, y = 0, z = 0;
};

// Free-field magnetometer counts (Step 1), kept in the measurement file.
struct FreeFieldValues {
    int16_t x = 0, y = 0, z = 0;
};

struct CoarseCorrectionResult {
    std::array<int16_t, 3> correction{};    // hard-iron corrections, by axis
    std::array<LevelComponents, 4> level{}; // recomputed level components, by heading index
};

inline constexpr int kHeadingNorth = 0;
inline constexpr int kHeadingSouth = 1;
inline constexpr int kHeadingEast = 2;
inline constexpr int kHeadingWest = 3;

// The headings round the compass (N, E, S, W): the order the installer walks them and the
// order of the measurement tables in the log and the report.
inline constexpr std::array<int, 4> kCompassWalk{kHeadingNorth, kHeadingEast, kHeadingSouth,
                                                 kHeadingWest};
// Heading names by heading index.
inline constexpr std::array<const char*, 4> kHeadingNames{"North", "South", "East", "West"};

// Mean of a list accumulated as the sum of value / n in list order; an empty list gives 0.
double MeanOf(std::span<const double> values);
double MeanOf(std::span<const int16_t> values);

// A real count converted to a signed 16-bit count by truncation toward zero. Defined for
// every input: values beyond the 16-bit range saturate at -32768 or 32767, NaN gives 0.
int16_t TruncateToCount(double value);

// Truncated means of X, Y and Z, without tilt compensation.
FreeFieldValues ComputeFreeField(const CMagSampleSet& samples);

// Truncated means of X, Y, Z and plain means of pitch and roll.
HeadingMeasurement MeasureHeading(const CMagSampleSet& samples);

// The measurement rotated into the level frame, in double precision.
LevelComponents LevelOf(const HeadingMeasurement& measurement);

// Each sample rotated with its own pitch and roll, then the means of the rotated samples,
// each truncated toward zero (the values stored right after a coarse collection).
LevelComponents MeanLevelOfSamples(const CMagSampleSet& samples);

// Shown heading minus the cardinal heading being calibrated, without further wrapping.
// An index outside 0..3 gives NaN, which every range check rejects.
double CardinalError(double heading, int headingIndex);

// Coarse step: |error| < 45. Fine step: |error| <= 20. NaN is out of range.
bool IsCoarseErrorInRange(double error);
bool IsFineErrorInRange(double error);

// Warning texts for an error out of range (UTF-8) and the caption of their box.
extern const char* const kCoarseRangeWarning;
extern const char* const kFineRangeWarning;
extern const char* const kRangeWarningCaption;

// Hard-iron corrections from the four heading measurements (by heading index) and the
// free-field Z count; also returns the level components it recomputed.
CoarseCorrectionResult ComputeCoarseCorrections(const std::array<HeadingMeasurement, 4>& byHeading,
                                                int16_t freeFieldZ);

// Compass corrections from the four fine errors (by heading index). Each heading is paired
// with its clockwise neighbour when its error is >= 0, else its counter-clockwise one.
// An error that is not finite or whose magnitude is 90 or more has no correction: NaN.
std::array<double, 4> ComputeCompassCorrections(const std::array<double, 4>& fineErrorsByHeading);
