#include "records/HeadingSteadiness.h"

#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(HeadingSteadinessTest, RateSequences) {
    const struct {
        std::vector<double> headings;
        std::vector<double> rates;
    } cases[] = {
        // The previous heading starts at 0: the first rate is the whole heading.
        {{90, 90, 90}, {90, 63, 44.1}},
        // The change is unwrapped once across north, both ways.
        {{350, 350, 10}, {-10, -7, 1.1}},
        {{10, 350}, {10, 1}},
        // Exactly 180 stays 180 (no correction at the limit).
        {{180, 0}, {180, 72}},
        {{0, 181}, {0, -53.7}},
    };
    for (const auto& c : cases) {
        CHeadingSteadiness filter;
        EXPECT_EQ(filter.Rate(), CHeadingSteadiness::kStartRate);
        for (std::size_t i = 0; i < c.headings.size(); ++i) {
            EXPECT_NEAR(filter.Tick(c.headings[i]), c.rates[i], 1e-9) << "tick " << i;
        }
    }
}

TEST(HeadingSteadinessTest, LargeFirstRateDecaysUntilSteady) {
    CHeadingSteadiness filter;
    filter.Tick(200.0); // d = 200 - 0 = 200, unwrapped to -160
    EXPECT_DOUBLE_EQ(filter.Rate(), -160.0);
    int ticks = 1;
    while (!filter.IsSteady() && ticks < 100) {
        const double before = filter.Rate();
        filter.Tick(200.0);
        EXPECT_NEAR(filter.Rate(), 0.7 * before, 1e-9);
        ++ticks;
    }
    // 160 * 0.7^n < 0.3 first holds for n = 18.
    EXPECT_EQ(ticks, 19);
}

TEST(HeadingSteadinessTest, SteadyOnlyStrictlyBelowTheLimit) {
    CHeadingSteadiness filter;
    EXPECT_FALSE(filter.IsSteady()); // before the first tick
    filter.Tick(0.3);
    EXPECT_FALSE(filter.IsSteady());
    filter.Reset();
    filter.Tick(0.29);
    EXPECT_TRUE(filter.IsSteady());
    filter.Reset();
    filter.Tick(-0.3);
    EXPECT_FALSE(filter.IsSteady());
}

TEST(HeadingSteadinessTest, ResetStartsOverFromNorth) {
    CHeadingSteadiness filter;
    filter.Tick(100.0);
    filter.Tick(100.0);
    filter.Reset();
    EXPECT_EQ(filter.Rate(), CHeadingSteadiness::kStartRate);
    EXPECT_DOUBLE_EQ(filter.Tick(100.0), 100.0);
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
