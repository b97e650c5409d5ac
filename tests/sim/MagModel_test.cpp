#include "sim/MagModel.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <tuple>
#include <utility>

TEST(MagModel, CleanInstallationReadsTheTrueHeadingAtAnyAttitude) {
    MagModelParams p;
    p.hardIron = {};
    p.softIron = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    p.misalignment = 0.0;
    const CMagModel model(p);
    for (const auto& [pitch, roll] :
         {std::pair{0.0, 0.0}, {1.2, -0.7}, {-10.0, 25.0}, {-60.0, 80.0}}) {
        for (double h : {0.0, 45.0, 179.5, 270.0, 359.0}) {
            const double out = model.OutputHeading(h, pitch, roll, false, {}, {});
            EXPECT_NEAR(CMagModel::SignedDegrees(out - h), 0.0, 1e-9) << h << " " << pitch;
        }
    }
}

TEST(MagModel, CompassCorrectionInterpolatesBetweenCardinals) {
    const std::array<double, 4> mcc{2.0, -1.0, 0.5, -3.0}; // N, S, E, W
    const std::pair<double, double> cases[] = {{90.0, 0.5},    {45.0, 1.25},
                                               {135.0, -0.25}, {225.0, -2.0},
                                               {315.0, -0.5},  {359.99, 2.0 - 5.0 * 0.01 / 90.0},
                                               {360.0, 2.0},   {-90.0, -3.0}};
    for (const auto& [heading, correction] : cases) {
        EXPECT_NEAR(CMagModel::CompassCorrectionAt(heading, mcc), correction, 1e-9) << heading;
    }
    EXPECT_NEAR(CMagModel::ApplyCompassCorrection(1.0, {3.0, 0, 3.0, 3.0}), 358.0, 1e-9);
}

TEST(MagModel, CountsSaturateAtSixteenBits) {
    const Counts3 c = CMagModel::Saturate({40000.0, -40000.0, std::nan("")});
    EXPECT_EQ(std::tuple(c.x, c.y, c.z), std::tuple(32767, -32768, 0));
}
