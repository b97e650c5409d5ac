#include "records/CompassSwing.h"

#include "records/SettingsStore.h"

#include <cmath>

#include <gtest/gtest.h>

#include "CaseTable.h"

namespace {

TEST(CompassSwingTest, AReadingBelongsToTheNearestLineWithinTheCapture) {
    for (const auto& c : CaseTable("swing-nearest-lines.txt")) {
        const std::optional<int> line = CCompassSwing::NearestLine(Number(c[0]));
        EXPECT_EQ(line ? std::to_string(*line) : "none", c[1]) << c[0];
    }
}

TEST(CompassSwingTest, DeviationsAreSignedAcrossNorthAndRecordingAgainReplaces) {
    CCompassSwing swing;
    EXPECT_TRUE(swing.Empty() && !swing.MaxDeviation());
    swing.Record(0, 359.2);  // 000: -0.80
    swing.Record(11, 331.5); // 330: +1.50
    swing.Record(3, 87.0);   // 090: -3.00
    swing.Record(3, 88.5);   // again: -1.50
    swing.Record(12, 5.0);   // no such line
    swing.Record(4, std::nan(""));
    EXPECT_EQ(swing.RecordedCount(), 3);
    EXPECT_NEAR(*swing.DeviationAt(0), -0.8, 1e-9);
    EXPECT_NEAR(*swing.DeviationAt(11), 1.5, 1e-9);
    EXPECT_NEAR(*swing.DeviationAt(3), -1.5, 1e-9);
    EXPECT_EQ(swing.DeviationAt(4), std::nullopt);
    EXPECT_NEAR(*swing.MaxDeviation(), 1.5, 1e-9);
    EXPECT_TRUE(swing.Exceeds(3, 1.4));
    EXPECT_FALSE(swing.Exceeds(3, 1.5)); // at the tolerance is within it
    EXPECT_FALSE(swing.Exceeds(4, 0.0)); // not recorded
}

TEST(CompassSwingTest, TheToleranceIsASettingInTenthsOfADegree) {
    CSettingsStore settings("");
    EXPECT_EQ(CCompassSwing::ToleranceDeg(settings), 2.0);
    settings.Set(CCompassSwing::kToleranceKey, 35);
    EXPECT_EQ(CCompassSwing::ToleranceDeg(settings), 3.5);
}

} // namespace
