#include "records/CalibrationMath.h"

#include "device/AhrsState.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

CMagSampleSet SamplesOfX(const std::vector<int16_t>& xs) {
    CMagSampleSet set;
    for (const int16_t x : xs) {
        set.Add(x, 0, 0, 0, 0, 0.0, 0.0);
    }
    return set;
}

TEST(CalibrationMathTest, MeanOfEmptyListIsZero) {
    EXPECT_EQ(MeanOf(std::span<const double>{}), 0.0);
    EXPECT_EQ(MeanOf(std::span<const int16_t>{}), 0.0);
    EXPECT_EQ(ComputeFreeField(CMagSampleSet{}).x, 0);
}

TEST(CalibrationMathTest, NegativeMeanTruncatesTowardZero) {
    // Ten samples summing to -15: the mean -1.5 is stored as -1, not -2.
    const CMagSampleSet set = SamplesOfX({-1, -2, -1, -2, -1, -2, -1, -2, -1, -2});
    EXPECT_DOUBLE_EQ(MeanOf(set.X()), -1.5);
    EXPECT_EQ(ComputeFreeField(set).x, -1);
    EXPECT_EQ(MeasureHeading(set).x, -1);
}

TEST(CalibrationMathTest, TruncateToCountIsDefinedForEveryInput) {
    const struct {
        double value;
        int16_t expected;
    } cases[] = {
        {-1.5, -1},         {12.9, 12},     {-0.5, 0},        {32767.9, 32767},
        {-32768.9, -32768}, {1e300, 32767}, {-1e300, -32768}, {kInf, 32767},
        {-kInf, -32768},    {kNaN, 0},      {40000.0, 32767}, {-40000.0, -32768},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TruncateToCount(c.value), c.expected) << c.value;
    }
}

TEST(CalibrationMathTest, MeasureHeadingKeepsAttitudeInDoublePrecision) {
    CMagSampleSet set;
    set.Add(10, 20, 30, 1, 2, 1.25, -0.5);
    set.Add(11, 21, 31, 1, 2, 1.5, -0.75);
    const HeadingMeasurement m = MeasureHeading(set);
    EXPECT_EQ(m.x, 10);
    EXPECT_EQ(m.y, 20);
    EXPECT_EQ(m.z, 30);
    EXPECT_DOUBLE_EQ(m.pitch, 1.375);
    EXPECT_DOUBLE_EQ(m.roll, -0.625);
}

TEST(CalibrationMathTest, CardinalErrorHasNoFurtherWrapping) {
    const struct {
        double heading;
        int index;
        double expected;
    } cases[] = {
        {359, kHeadingNorth, -1}, {181, kHeadingNorth, -179}, {180, kHeadingNorth, 180},
        {5, kHeadingNorth, 5},    {350, kHeadingEast, 260},   {44, kHeadingEast, -46},
        {46, kHeadingEast, -44},  {0, kHeadingSouth, -180},   {190, kHeadingSouth, 10},
        {260, kHeadingWest, -10}, {10, kHeadingWest, -260},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(CardinalError(c.heading, c.index), c.expected)
            << c.heading << " index " << c.index;
    }
}

TEST(CalibrationMathTest, UnknownHeadingIndexIsAlwaysOutOfRange) {
    for (const int index : {-1, 4, 100}) {
        const double error = CardinalError(0.0, index);
        EXPECT_FALSE(IsCoarseErrorInRange(error));
        EXPECT_FALSE(IsFineErrorInRange(error));
    }
}

TEST(CalibrationMathTest, RangeLimits) {
    const struct {
        double error;
        bool coarse;
        bool fine;
    } cases[] = {
        {0.0, true, true},      {44.999, true, false}, {45.0, false, false}, {-45.0, false, false},
        {-44.0, true, false},   {20.0, true, true},    {-20.0, true, true},  {20.0001, true, false},
        {-179.0, false, false}, {kNaN, false, false},  {kInf, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsCoarseErrorInRange(c.error), c.coarse) << c.error;
        EXPECT_EQ(IsFineErrorInRange(c.error), c.fine) << c.error;
    }
}

TEST(CalibrationMathTest, WarningTextsAreExactUtf8) {
    EXPECT_STREQ(kCoarseRangeWarning, "Out of calibration range (\u00B1"
                                      "45 degrees).  Check aircraft alignment to compass rose.");
    EXPECT_STREQ(kFineRangeWarning, "Out of calibration range (\u00B1"
                                    "20 degrees).  Check aircraft alignment to compass rose.");
    EXPECT_STREQ(kRangeWarningCaption, "Compass Correction out of range.");
    // The plus-minus sign is one character: the two bytes of its UTF-8 form.
    const std::string coarse = kCoarseRangeWarning;
    EXPECT_EQ(coarse.substr(26, 4), "\xC2\xB1"
                                    "45");
}

TEST(CalibrationMathTest, MeanLevelRotatesEachSampleThenTruncates) {
    // Rotating each sample with its own roll (0 and 90 degrees) differs from rotating the
    // mean (45 degrees), and the means -50.5 / 50.5 are truncated toward zero.
    CMagSampleSet set;
    set.Add(0, 0, 101, 0, 0, 0.0, 0.0);
    set.Add(0, 0, 101, 0, 0, 0.0, 90.0);
    const LevelComponents level = MeanLevelOfSamples(set);
    EXPECT_EQ(level.x, 0.0);
    EXPECT_EQ(level.y, -50.0);
    EXPECT_EQ(level.z, 50.0);
    EXPECT_EQ(MeanLevelOfSamples(CMagSampleSet{}).x, 0.0);
}

TEST(CalibrationMathTest, LevelOfIsUntruncated) {
    const LevelComponents level = LevelOf({0, 0, 101, 0.0, 45.0});
    EXPECT_NEAR(level.y, -101 * std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(level.z, 101 * std::sqrt(0.5), 1e-9);
}

std::array<HeadingMeasurement, 4> Level(std::array<int16_t, 4> xNESW,
                                        std::array<int16_t, 4> zNESW) {
    std::array<HeadingMeasurement, 4> byHeading{};
    const int order[] = {kHeadingNorth, kHeadingEast, kHeadingSouth, kHeadingWest};
    for (int i = 0; i < 4; ++i) {
        byHeading[order[i]].x = xNESW[i];
        byHeading[order[i]].z = zNESW[i];
    }
    return byHeading;
}

TEST(CalibrationMathTest, CoarseCorrectionsWithLevelAircraft) {
    const struct {
        std::array<int16_t, 4> x;
        std::array<int16_t, 4> z;
        int16_t freeFieldZ;
        std::array<int16_t, 3> expected;
    } cases[] = {
        {{100, 0, -100, 0}, {0, 0, 0, 0}, 0, {0, 0, 0}},
        {{150, 50, -50, 50}, {0, 0, 0, 0}, 0, {-50, 0, 0}},
        {{0, 0, 0, 0}, {100, 200, 300, 400}, 500, {0, 0, 250}},
        {{0, 0, 0, 0}, {-10, -10, -10, -11}, 0, {0, 0, 10}},
    };
    for (const auto& c : cases) {
        const CoarseCorrectionResult result =
            ComputeCoarseCorrections(Level(c.x, c.z), c.freeFieldZ);
        EXPECT_EQ(result.correction, c.expected);
        EXPECT_DOUBLE_EQ(result.level[kHeadingEast].x, c.x[1]);
        EXPECT_DOUBLE_EQ(result.level[kHeadingSouth].z, c.z[2]);
    }
}

// A magnetometer with a hard-iron offset, tilted the same way at all four headings, in a
// field with horizontal part h and vertical part v: the corrections cancel the offset.
TEST(CalibrationMathTest, CoarseCorrectionsCancelHardIronOnTiltedAircraft) {
    const double pitch = 5.0, roll = -3.0, h = 9000.0, v = 12000.0;
    const double offset[3] = {120.0, -80.0, 40.0};
    const double p = pitch * std::numbers::pi / 180, r = roll * std::numbers::pi / 180;
    const double cp = std::cos(p), sp = std::sin(p), cr = std::cos(r), sr = std::sin(r);
    std::array<HeadingMeasurement, 4> byHeading{};
    const double headingDeg[4] = {0, 180, 90, 270}; // by heading index
    for (int i = 0; i < 4; ++i) {
        const double psi = headingDeg[i] * std::numbers::pi / 180;
        const double lx = h * std::cos(psi), ly = -h * std::sin(psi), lz = v;
        // Sensor = transpose of the level rotation applied to the level field, plus offset.
        const double sx = cp * lx - sp * lz + offset[0];
        const double sy = sr * sp * lx + cr * ly + sr * cp * lz + offset[1];
        const double sz = cr * sp * lx - sr * ly + cr * cp * lz + offset[2];
        byHeading[i] = {static_cast<int16_t>(std::lround(sx)),
                        static_cast<int16_t>(std::lround(sy)),
                        static_cast<int16_t>(std::lround(sz)), pitch, roll};
    }
    const CoarseCorrectionResult result =
        ComputeCoarseCorrections(byHeading, static_cast<int16_t>(v));
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(result.correction[axis], -offset[axis], 2.0) << "axis " << axis;
    }
}

TEST(CalibrationMathTest, CompassCorrectionsWorkedExample) {
    std::array<double, 4> errors{};
    errors[kHeadingNorth] = 2.0;
    errors[kHeadingSouth] = -1.0;
    errors[kHeadingEast] = 0.5;
    errors[kHeadingWest] = -3.0;
    const std::array<double, 4> c = ComputeCompassCorrections(errors);
    EXPECT_NEAR(c[kHeadingNorth], 2.034091, 5e-7);
    EXPECT_NEAR(c[kHeadingEast], 0.508380, 5e-7);
    EXPECT_NEAR(c[kHeadingSouth], -1.016854, 5e-7);
    EXPECT_NEAR(c[kHeadingWest], -3.068966, 5e-7);
}

double Reference(double a, double b) {
    return (90 * a - std::fabs(a) * b) / (90 - std::fabs(a));
}

TEST(CalibrationMathTest, CompassCorrectionPartnerFollowsSignOfError) {
    // Errors by heading index N, S, E, W, with the partner each heading must use.
    const struct {
        std::array<double, 4> e;
        std::array<int, 4> partner;
    } cases[] = {
        {{-2.0, 1.0, -1.0, 1.5}, {kHeadingWest, kHeadingWest, kHeadingNorth, kHeadingNorth}},
        {{2.0, -1.0, 0.5, -3.0}, {kHeadingEast, kHeadingEast, kHeadingSouth, kHeadingSouth}},
        {{20.0, -20.0, -20.0, 20.0}, {kHeadingEast, kHeadingEast, kHeadingNorth, kHeadingNorth}},
    };
    for (const auto& c : cases) {
        const std::array<double, 4> result = ComputeCompassCorrections(c.e);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(result[i], Reference(c.e[i], c.e[c.partner[i]]), 1e-12) << "index " << i;
        }
    }
}

TEST(CalibrationMathTest, ZeroErrorGivesZeroCorrectionWhateverThePartner) {
    for (const double partner : {-20.0, -0.5, 0.0, 7.0, 20.0}) {
        const std::array<double, 4> c = ComputeCompassCorrections({0.0, partner, partner, partner});
        EXPECT_EQ(c[kHeadingNorth], 0.0) << partner;
    }
}

TEST(CalibrationMathTest, CompassCorrectionOutsideItsDomainIsNotANumber) {
    for (const double bad : {90.0, -90.0, 120.0, kInf, kNaN}) {
        const std::array<double, 4> c = ComputeCompassCorrections({bad, 1.0, 1.0, 1.0});
        EXPECT_TRUE(std::isnan(c[kHeadingNorth])) << bad;
        EXPECT_TRUE(std::isfinite(c[kHeadingSouth])) << bad;
    }
}

TEST(CalibrationMathTest, CoarseResultIsStoredByHeadingIndex) {
    std::array<HeadingMeasurement, 4> byHeading{};
    for (int i = 0; i < 4; ++i) {
        byHeading[i] = {static_cast<int16_t>(100 * (i + 1)), static_cast<int16_t>(-10 * (i + 1)),
                        static_cast<int16_t>(1000 + i), 1.5 * i, -0.5 * i};
    }
    const CoarseCorrectionResult result = ComputeCoarseCorrections(byHeading, 900);
    CAhrsState state;
    StoreCoarseResult(state, byHeading, result);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(state.GetRawMagX(i), byHeading[i].x) << i;
        EXPECT_EQ(state.GetRawMagY(i), byHeading[i].y) << i;
        EXPECT_EQ(state.GetRawMagZ(i), byHeading[i].z) << i;
        EXPECT_EQ(state.GetEffPitch(i), byHeading[i].pitch) << i;
        EXPECT_EQ(state.GetEffRoll(i), byHeading[i].roll) << i;
        // The recomputed, untruncated level components replace the collection's ones.
        const LevelComponents level = LevelOf(byHeading[i]);
        EXPECT_EQ(state.GetLevelMagX(i), level.x) << i;
        EXPECT_EQ(state.GetLevelMagY(i), level.y) << i;
        EXPECT_EQ(state.GetLevelMagZ(i), level.z) << i;
    }
}

} // namespace
