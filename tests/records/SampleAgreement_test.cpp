#include "records/SampleAgreement.h"

#include "records/CalibrationMath.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CaseTable.h"

namespace {

using Scale = CSampleAgreement::Scale;

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
    const CSampleAgreement headings(CSampleAgreement::kHeadingFloor, Scale::Degrees360);
    for (const auto& c : CaseTable("held-readings.txt")) {
        const bool near = headings.StayNear(Numbers(c[1]), Number(c[2]));
        EXPECT_EQ(near ? "near" : "away", c[3]) << c[0];
    }
}

// Level counts enter no mean: their wild values are not judged.
TEST(SampleAgreementTest, CollectionsJudgeTheValuesTheirMeansUse) {
    const auto collection = [](std::size_t wildIndex, int16_t wildZ, double wildPitch) {
        const int16_t noise[] = {0, 3, -2, 4, -5, 1, -3, 2, 0, -1}; // the simulated unit's
        CMagSampleSet samples;
        for (std::size_t i = 0; i < 10; ++i) {
            samples.Add(static_cast<int16_t>(-1700 + noise[i]), 11300,
                        i == wildIndex ? wildZ : 22600, static_cast<int16_t>(i * 1000), 0,
                        i == wildIndex ? wildPitch : 1.5, -0.5);
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
