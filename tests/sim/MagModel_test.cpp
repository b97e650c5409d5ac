#include "sim/MagModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct Attitude {
    double pitch, roll;
};

constexpr Attitude kAttitudes[] = {{0, 0}, {1.2, -0.7}, {-10, 25}, {30, -45}, {-60, 80}};

} // namespace

TEST(MagModel, LevelingUndoesTheSensorRotation) {
    const Vec3 level{11000.0, -4000.0, 22000.0};
    for (const Attitude& a : kAttitudes) {
        const Vec3 sensor = CMagModel::Unlevel(level, a.pitch, a.roll);
        const Vec3 back = CMagModel::Level(sensor, a.pitch, a.roll);
        EXPECT_NEAR(back.x, level.x, 1e-6) << a.pitch << "/" << a.roll;
        EXPECT_NEAR(back.y, level.y, 1e-6) << a.pitch << "/" << a.roll;
        EXPECT_NEAR(back.z, level.z, 1e-6) << a.pitch << "/" << a.roll;
    }
}

TEST(MagModel, CleanInstallationReadsTheTrueHeadingAtAnyAttitude) {
    MagModelParams p;
    p.hardIron = {};
    p.softIron = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    p.misalignment = 0.0;
    const CMagModel model(p);
    for (const Attitude& a : kAttitudes) {
        for (double h : {0.0, 45.0, 90.0, 179.5, 270.0, 359.0}) {
            const double out = model.OutputHeading(h, a.pitch, a.roll, false, {}, {});
            EXPECT_NEAR(CMagModel::SignedDegrees(out - h), 0.0, 1e-9) << h;
        }
    }
}

TEST(MagModel, FieldFollowsTheDipole) {
    MagModelParams p;
    p.latitude = 30.0;
    p.fieldCounts = 16000.0;
    const CMagModel model(p);
    EXPECT_NEAR(model.HorizontalField(), 16000.0 * std::sqrt(3.0) / 2.0, 1e-6);
    EXPECT_NEAR(model.VerticalField(), 16000.0, 1e-6);
    // Heading 90 (east): the field points to the aircraft's left.
    const Vec3 east = model.LevelField(90.0);
    EXPECT_NEAR(east.x, 0.0, 1e-6);
    EXPECT_LT(east.y, 0.0);
}

TEST(MagModel, FreeFieldIgnoresTheAircraft) {
    const CMagModel model;
    const Vec3 free = model.SensorField(30.0, 5.0, -3.0, true);
    const Vec3 level = model.LevelField(30.0);
    EXPECT_DOUBLE_EQ(free.x, level.x);
    EXPECT_DOUBLE_EQ(free.y, level.y);
    EXPECT_DOUBLE_EQ(free.z, level.z);
}

TEST(MagModel, CompassCorrectionInterpolatesBetweenCardinals) {
    const std::array<double, 4> mcc{2.0, -1.0, 0.5, -3.0}; // N, S, E, W
    struct Case {
        double heading, correction;
    } cases[] = {
        {0.0, 2.0},    {90.0, 0.5},   {180.0, -1.0},
        {270.0, -3.0}, {45.0, 1.25},  {135.0, -0.25},
        {225.0, -2.0}, {315.0, -0.5}, {359.99, 2.0 - 5.0 * 0.01 / 90.0},
        {360.0, 2.0},  {-90.0, -3.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(CMagModel::CompassCorrectionAt(c.heading, mcc), c.correction, 1e-9)
            << c.heading;
    }
    EXPECT_NEAR(CMagModel::ApplyCompassCorrection(1.0, {3.0, 0, 3.0, 3.0}), 358.0, 1e-9);
}

TEST(MagModel, CountsSaturateAtSixteenBits) {
    const Counts3 c = CMagModel::Saturate({40000.0, -40000.0, std::nan("")});
    EXPECT_EQ(c.x, 32767);
    EXPECT_EQ(c.y, -32768);
    EXPECT_EQ(c.z, 0);
}

TEST(MagModel, MfcEqualToMinusHardIronRemovesTheOneCycleError) {
    MagModelParams p;
    p.softIron = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    p.misalignment = 0.0;
    p.hardIron = {800.0, -900.0, 300.0};
    const CMagModel model(p);
    const std::array<int16_t, 3> mfc{-800, 900, -300};
    double before = 0, after = 0;
    for (int h = 0; h < 360; h += 10) {
        before = std::max(before, std::fabs(CMagModel::SignedDegrees(
                                      model.OutputHeading(h, 2.0, -1.0, false, {}, {}) - h)));
        after = std::max(after, std::fabs(CMagModel::SignedDegrees(
                                    model.OutputHeading(h, 2.0, -1.0, false, mfc, {}) - h)));
    }
    EXPECT_GT(before, 3.0);
    EXPECT_LT(after, 1e-9);
}
