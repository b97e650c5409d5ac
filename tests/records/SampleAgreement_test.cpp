#include "records/SampleAgreement.h"

#include "records/CalibrationMath.h"

#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Scale = CSampleAgreement::Scale;
constexpr std::optional<std::size_t> kAgree = std::nullopt;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Ten counts of a steady aircraft as the simulated unit gives them (noise of 3 counts).
std::vector<double> Clean(double base) {
    const double noise[] = {0, 3, -2, 4, -5, 1, -3, 2, 0, -1};
    std::vector<double> values;
    for (const double n : noise) {
        values.push_back(base + n);
    }
    return values;
}

std::vector<double> With(std::vector<double> values, std::size_t index, double value) {
    values[index] = value;
    return values;
}

TEST(SampleAgreementTest, OnlyASampleApartFromTheOthersIsFar) {
    std::vector<double> drift;
    std::vector<double> turning; // 0.3 degrees a second across a field of 11300 counts
    for (int i = 0; i < 10; ++i) {
        drift.push_back(1200.0 + 20.0 * i); // the aircraft creeping round during the collection
        turning.push_back(1200.0 + 59.0 * i);
    }
    const CSampleAgreement counts(CSampleAgreement::kCountFloor);
    const CSampleAgreement attitude(CSampleAgreement::kAttitudeFloor);
    const CSampleAgreement headings(CSampleAgreement::kHeadingFloor, Scale::Degrees360);
    const CSampleAgreement plainHeadings(CSampleAgreement::kHeadingFloor);
    const std::vector<double> acrossNorth{359.97, 0.02, 359.99, 0.01, 0.03, 359.98, 0.0};
    const struct {
        const char* what;
        const CSampleAgreement& judge;
        std::vector<double> values;
        std::optional<std::size_t> far;
    } cases[] = {
        {"clean", counts, Clean(1234), kAgree},
        {"constant offset", counts, Clean(-21234), kAgree},
        {"slow drift", counts, drift, kAgree},
        {"turning as fast as the coarse page calls steady", counts, turning, kAgree},
        {"a quiet sensor one count off", counts, {500, 500, 500, 500, 501, 500, 500}, kAgree},
        {"one changed digit", counts, With(Clean(1234), 6, 1834), 6},
        {"one changed sign", counts, With(Clean(1234), 0, -1234), 0},
        {"two wild samples", counts, With(With(Clean(1234), 2, 9234), 7, 1934), 2},
        {"slow drift and a wild sample", counts, With(drift, 4, 2280), 4},
        // Most samples changed by a few hundred counts: they hide behind their own spread,
        // which is no steady reading.
        {"most samples wild",
         counts,
         {1234, 1634, 1236, 834, 1231, 1934, 1233, 1534, 935, 1484},
         5},
        {"a number that is not one", counts, With(Clean(1234), 3, kNaN), 3},
        {"too few to judge", counts, {1234, 9234}, kAgree},
        {"steady pitch", attitude, {2.50, 2.51, 2.49, 2.50, 2.50, 2.52, 2.50, 2.49}, kAgree},
        {"one garbled pitch", attitude, {2.50, 2.51, 2.49, 2.50, 8.50, 2.52, 2.50, 2.49}, 4},
        {"headings across north", headings, acrossNorth, kAgree},
        {"a heading that jumps across north", headings, With(acrossNorth, 3, 2.51), 3},
        {"a wild heading opposite the others", headings, {270, 90.01, 89.99, 90, 90.02}, 0},
        // The same numbers without the wrap: two clusters, one far from the other.
        {"headings read as plain numbers", plainHeadings, acrossNorth, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.judge.FarSample(c.values), c.far) << c.what;
    }
}

TEST(SampleAgreementTest, AHeldReadingStaysNearTheValueRecorded) {
    const struct {
        const char* what;
        std::vector<double> values;
        double reference;
        bool near;
    } cases[] = {{"steady", {90.01, 90.02, 90.0, 89.99, 90.01}, 90.0, true},
                 {"steady across north", {359.99, 0.02, 0.01, 359.98}, 0.0, true},
                 {"a step half way", {90.0, 90.0, 91.5, 93.0, 94.0, 94.0}, 90.0, false},
                 {"a transient jump", {90.0, 92.2, 90.6, 90.1, 90.0}, 90.0, false},
                 {"recorded during the jump", {90.0, 90.0, 90.0, 90.0}, 92.25, false},
                 {"a number that is not one", {90.0, kNaN}, 90.0, false}};
    const CSampleAgreement headings(CSampleAgreement::kHeadingFloor, Scale::Degrees360);
    for (const auto& c : cases) {
        EXPECT_EQ(headings.StayNear(c.values, c.reference), c.near) << c.what;
    }
}

// Level counts enter no mean: their wild values are not judged.
TEST(SampleAgreementTest, CollectionsJudgeTheValuesTheirMeansUse) {
    const auto collection = [](std::size_t wildIndex, int16_t wildZ, double wildPitch) {
        CMagSampleSet samples;
        const std::vector<double> x = Clean(-1700);
        for (std::size_t i = 0; i < x.size(); ++i) {
            samples.Add(static_cast<int16_t>(x[i]), 11300, i == wildIndex ? wildZ : 22600,
                        static_cast<int16_t>(i * 1000), 0, i == wildIndex ? wildPitch : 1.5, -0.5);
        }
        return samples;
    };
    const struct {
        const char* what;
        CMagSampleSet samples;
        bool counts;
        bool countsAndAttitude;
    } cases[] = {{"clean", collection(0, 22600, 1.5), true, true},
                 {"a wild Z", collection(5, -22600, 1.5), false, false},
                 {"a wild pitch", collection(5, 22600, 11.5), true, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(CountsAgree(c.samples), c.counts) << c.what;
        EXPECT_EQ(CountsAndAttitudeAgree(c.samples), c.countsAndAttitude) << c.what;
    }
}

} // namespace
