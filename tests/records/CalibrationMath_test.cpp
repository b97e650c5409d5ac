#include "records/CalibrationMath.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "CaseTable.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(CalibrationMathTest, MeansTruncateTowardZero) {
    EXPECT_EQ(MeanOf(std::span<const double>{}), 0.0);
    EXPECT_EQ(ComputeFreeField(CMagSampleSet{}).x, 0);
    // Ten samples summing to -15: the mean -1.5 is stored as -1, not -2; attitude stays exact.
    CMagSampleSet set;
    for (int i = 0; i < 10; ++i) {
        set.Add(static_cast<int16_t>(i % 2 == 0 ? -1 : -2), 0, 0, 0, 0, 1.25 + i % 2 * 0.25, -0.5);
    }
    EXPECT_DOUBLE_EQ(MeanOf(set.X()), -1.5);
    EXPECT_EQ(ComputeFreeField(set).x, -1);
    const HeadingMeasurement m = MeasureHeading(set);
    EXPECT_EQ(m.x, -1);
    EXPECT_DOUBLE_EQ(m.pitch, 1.375);
}

TEST(CalibrationMathTest, TruncationAndCardinalErrorsAsHandComputed) {
    for (const auto& c : CaseTable("calibration-truncation.txt")) {
        EXPECT_EQ(TruncateToCount(std::stod(c[0])), std::stoi(c[1])) << c[0];
    }
    for (const auto& c : CaseTable("calibration-cardinal-errors.txt")) {
        const std::vector<double> in = Numbers(c[0]);
        EXPECT_DOUBLE_EQ(CardinalError(in[0], static_cast<int>(in[1])), std::stod(c[1])) << c[0];
    }
}

// An unknown heading index never gives an error in range.
TEST(CalibrationMathTest, RangeLimits) {
    const struct {
        bool coarse, fine;
        std::vector<double> errors;
    } cases[] = {
        {true, true, {0.0, 20.0, -20.0}},
        {true, false, {44.999, 20.0001}},
        {false, false, {45.0, -45.0, kNaN, kInf, CardinalError(0, -1), CardinalError(0, 4)}}};
    for (const auto& c : cases) {
        for (const double error : c.errors) {
            EXPECT_EQ(IsCoarseErrorInRange(error), c.coarse) << error;
            EXPECT_EQ(IsFineErrorInRange(error), c.fine) << error;
        }
    }
}

TEST(CalibrationMathTest, MeanLevelRotatesEachSampleThenTruncates) {
    // Rotating each sample with its own roll (0 and 90 degrees) differs from rotating the
    // mean (45 degrees), and the means -50.5 / 50.5 are truncated toward zero.
    CMagSampleSet set;
    set.Add(0, 0, 101, 0, 0, 0.0, 0.0);
    set.Add(0, 0, 101, 0, 0, 0.0, 90.0);
    const LevelComponents level = MeanLevelOfSamples(set);
    EXPECT_EQ(level.y, -50.0);
    EXPECT_EQ(level.z, 50.0);
    // A single measurement's level components are not truncated.
    EXPECT_NEAR(LevelOf({0, 0, 101, 0.0, 45.0}).y, -101 * std::sqrt(0.5), 1e-9);
}

// X and Z by heading index N, S, E, W.
TEST(CalibrationMathTest, CoarseCorrectionsWithLevelAircraft) {
    const struct {
        std::array<int16_t, 4> x;
        std::array<int16_t, 4> z;
        int16_t freeFieldZ;
        std::array<int16_t, 3> expected;
    } cases[] = {{{100, -100, 0, 0}, {0, 0, 0, 0}, 0, {0, 0, 0}},
                 {{150, -50, 50, 50}, {0, 0, 0, 0}, 0, {-50, 0, 0}},
                 {{0, 0, 0, 0}, {100, 300, 200, 400}, 500, {0, 0, 250}},
                 {{0, 0, 0, 0}, {-10, -10, -10, -11}, 0, {0, 0, 10}}};
    for (const auto& c : cases) {
        std::array<HeadingMeasurement, 4> byHeading{};
        for (int i = 0; i < 4; ++i) {
            byHeading[i] = {c.x[i], 0, c.z[i], 0.0, 0.0};
        }
        EXPECT_EQ(ComputeCoarseCorrections(byHeading, c.freeFieldZ).correction, c.expected);
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

// An error outside the correction's domain gives no number.
TEST(CalibrationMathTest, CompassCorrectionsAsHandComputed) {
    for (const auto& c : CaseTable("calibration-compass-corrections.txt")) {
        const std::vector<double> errors = Numbers(c[0]), expected = Numbers(c[1]);
        const std::array<double, 4> result =
            ComputeCompassCorrections({errors[0], errors[1], errors[2], errors[3]});
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(result[i], expected[i], 5e-7) << c[0] << ", index " << i;
        }
    }
    for (const double bad : {90.0, -90.0, 120.0, kInf, kNaN}) {
        const std::array<double, 4> c = ComputeCompassCorrections({bad, 1.0, 1.0, 1.0});
        EXPECT_TRUE(std::isnan(c[kHeadingNorth]) && std::isfinite(c[kHeadingSouth])) << bad;
    }
}

} // namespace
