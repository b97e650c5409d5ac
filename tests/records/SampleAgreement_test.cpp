#include "records/SampleAgreement.h"

#include "records/CalibrationMath.h"

#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CaseTable.h"

namespace {

using Scale = CSampleAgreement::Scale;
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

TEST(SampleAgreementTest, OnlyASampleApartFromTheOthersIsFar) {
    const std::map<std::string, CSampleAgreement> judges{
        {"counts", CSampleAgreement(CSampleAgreement::kCountFloor)},
        {"attitude", CSampleAgreement(CSampleAgreement::kAttitudeFloor)},
        {"headings", CSampleAgreement(CSampleAgreement::kHeadingFloor, Scale::Degrees360)},
        {"plain headings", CSampleAgreement(CSampleAgreement::kHeadingFloor)}};
    for (const auto& c : CaseTable("sample-agreement.txt")) {
        const std::optional<std::size_t> far = judges.at(c[1]).FarSample(Numbers(c[2]));
        EXPECT_EQ(far ? std::to_string(*far) : "agree", c[3]) << c[0];
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
