#include "records/HeadingSteadiness.h"

#include <gtest/gtest.h>

#include "CaseTable.h"

namespace {

TEST(HeadingSteadinessTest, RateSequences) {
    CHeadingSteadiness filter;
    filter.Tick(123.0);
    for (const auto& c : CaseTable("heading-rates.txt")) {
        filter.Reset(); // starts over from north
        EXPECT_EQ(filter.Rate(), CHeadingSteadiness::kStartRate);
        const std::vector<double> headings = Numbers(c[0]), rates = Numbers(c[1]);
        for (std::size_t i = 0; i < headings.size(); ++i) {
            EXPECT_NEAR(filter.Tick(headings[i]), rates[i], 1e-9) << c[0] << ", tick " << i;
        }
    }
}

TEST(HeadingSteadinessTest, SteadyOnlyStrictlyBelowTheLimit) {
    CHeadingSteadiness filter;
    EXPECT_FALSE(filter.IsSteady()); // before the first tick
    for (const double heading : {0.3, 0.29, -0.3}) {
        filter.Reset();
        filter.Tick(heading);
        EXPECT_EQ(filter.IsSteady(), heading == 0.29) << heading;
    }
}

} // namespace
