#include "records/CalibrationMath.h"

#include <cmath>
#include <limits>
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
    EXPECT_EQ(ComputeFreeField(set).x, -1);
    const HeadingMeasurement m = MeasureHeading(set);
    EXPECT_EQ(m.x, -1);
    EXPECT_DOUBLE_EQ(m.pitch, 1.375);
    // Rotating each sample with its own roll (0 and 90 degrees) differs from rotating the
    // mean (45 degrees), and the means -50.5 / 50.5 are truncated toward zero.
    CMagSampleSet rolled;
    rolled.Add(0, 0, 101, 0, 0, 0.0, 0.0);
    rolled.Add(0, 0, 101, 0, 0, 0.0, 90.0);
    EXPECT_EQ(MeanLevelOfSamples(rolled).y, -50.0);
    EXPECT_EQ(MeanLevelOfSamples(rolled).z, 50.0);
    // A single measurement's level components are not truncated.
    EXPECT_NEAR(LevelOf({0, 0, 101, 0.0, 45.0}).y, -101 * std::sqrt(0.5), 1e-9);
}

TEST(CalibrationMathTest, TruncationAndCardinalErrorsAsHandComputed) {
    for (const auto& c : CaseTable("calibration-truncation.txt")) {
        EXPECT_EQ(TruncateToCount(Number(c[0])), std::stoi(c[1])) << c[0];
    }
    for (const auto& c : CaseTable("calibration-cardinal-errors.txt")) {
        const std::vector<double> in = Numbers(c[0]);
        EXPECT_DOUBLE_EQ(CardinalError(in[0], static_cast<int>(in[1])), Number(c[1])) << c[0];
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

TEST(CalibrationMathTest, CoarseCorrectionsAsHandComputed) {
    for (const auto& c : CaseTable("calibration-coarse-corrections.txt")) {
        const std::vector<double> m = Numbers(c[0]), expected = Numbers(c[2]);
        ASSERT_EQ(m.size(), 20u) << c[0];
        ASSERT_EQ(expected.size(), 3u) << c[2];
        std::array<HeadingMeasurement, 4> byHeading{};
        for (std::size_t i = 0; i < 4; ++i) {
            const double* at = &m[5 * i];
            byHeading[i] = {static_cast<int16_t>(at[0]), static_cast<int16_t>(at[1]),
                            static_cast<int16_t>(at[2]), at[3], at[4]};
        }
        const CoarseCorrectionResult result =
            ComputeCoarseCorrections(byHeading, static_cast<int16_t>(std::stoi(c[1])));
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_NEAR(result.correction[axis], expected[axis], Number(c[3])) << c[0];
        }
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
