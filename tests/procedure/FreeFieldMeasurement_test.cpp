// The free-field collection: ten agreeing readings give their means; a reading apart from
// the others records nothing, and an abandoned collection takes no more readings.
#include "procedure/FreeFieldMeasurement.h"

#include <gtest/gtest.h>

namespace {

using Progress = CFreeFieldMeasurement::Progress;
constexpr int kSamples = CFreeFieldMeasurement::kSamples;

MagReading Reading(std::int16_t x) {
    return {{x, -50, 2400}};
}

// Collects nine readings of X = 100 and a last one of `lastX`; the last one's progress.
Progress Collect(CFreeFieldMeasurement& measurement, std::int16_t lastX) {
    measurement.Start();
    for (int i = 1; i < kSamples; ++i) {
        EXPECT_EQ(measurement.Add(Reading(100)), Progress::Sampling);
    }
    return measurement.Add(Reading(lastX));
}

TEST(FreeFieldMeasurementTest, AgreeingReadingsGiveTheirMeansAndNoOthersAreKept) {
    CFreeFieldMeasurement measurement;
    EXPECT_EQ(Collect(measurement, 100), Progress::Measured);
    EXPECT_EQ(measurement.Values(), (std::array<std::int16_t, 3>{100, -50, 2400}));
    EXPECT_EQ(Collect(measurement, 400), Progress::Unsteady);
    EXPECT_EQ(measurement.Values()[0], 100) << "the earlier values stand";
    measurement.Start();
    EXPECT_EQ(measurement.Add(Reading(100)), Progress::Sampling);
    measurement.Abandon();
    EXPECT_EQ(measurement.Add(Reading(100)), Progress::Idle);
}

} // namespace
