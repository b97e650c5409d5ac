#include "records/HeadingSteadiness.h"

#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(HeadingSteadinessTest, RateSequences) {
    const struct {
        std::vector<double> headings;
        std::vector<double> rates;
    } cases[] = {// The previous heading starts at 0: the first rate is the whole heading.
                 {{90, 90, 90}, {90, 63, 44.1}},
                 // The change is unwrapped once across north, both ways.
                 {{350, 350, 10}, {-10, -7, 1.1}},
                 {{10, 350}, {10, 1}},
                 // Exactly 180 stays 180 (no correction at the limit).
                 {{180, 0}, {180, 72}},
                 {{0, 181}, {0, -53.7}},
                 {{200}, {-160}}};
    CHeadingSteadiness filter;
    filter.Tick(123.0);
    for (const auto& c : cases) {
        filter.Reset(); // starts over from north
        EXPECT_EQ(filter.Rate(), CHeadingSteadiness::kStartRate);
        for (std::size_t i = 0; i < c.headings.size(); ++i) {
            EXPECT_NEAR(filter.Tick(c.headings[i]), c.rates[i], 1e-9) << "tick " << i;
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

TEST(HeadingSteadinessTest, HeadingThatIsNotANumberIsIgnored) {
    CHeadingSteadiness filter;
    filter.Tick(10.0);
    filter.Tick(std::numeric_limits<double>::quiet_NaN());
    filter.Tick(std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(filter.Rate(), 10.0);
    EXPECT_NEAR(filter.Tick(10.0), 7.0, 1e-12);
}

} // namespace
