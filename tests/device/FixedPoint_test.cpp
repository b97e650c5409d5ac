#include "device/FixedPoint.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

TEST(FixedPointTest, RoundsLikePrintfAndNeverWritesMinusZero) {
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {-0.004, 2, "0.00"},
        {-0.0, 2, "0.00"},
        {-0.005, 2, "-0.01"}, // the double lies just below -0.005
        {1.005, 2, "1.00"},   // and this one just below 1.005
        {0.125, 2, "0.12"},   // an exact tie goes to the even digit
        {-359.996, 2, "-360.00"},
        {-1e-300, 2, "0.00"},
        {-0.0000004, 6, "0.000000"},
        {-0.0000005001, 6, "-0.000001"},
        {-0.4, 0, "0"},
        {-0.6, 0, "-1"},
        {1e20, 2, "100000000000000000000.00"},
        {std::numeric_limits<double>::infinity(), 2, "inf"},
        {-std::numeric_limits<double>::infinity(), 2, "-inf"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FixedPoint(c.value, c.decimals), c.text) << c.value << " " << c.decimals;
    }
    EXPECT_EQ(FixedPoint(std::nan(""), 2), "nan");

    // The largest double written out in full, with the most decimals taken.
    const std::string largest =
        "17976931348623157081452742373170435679807056752584499659891747680315726078002853876058955"
        "86327668781715404589535143824642343213268894641827684675467035375169860499105765512820762"
        "45490090389328944075868508455133942304583236903222948165808559332123348274797826204144723"
        "168738177180919299881250404026184124858368";
    EXPECT_EQ(FixedPoint(-std::numeric_limits<double>::max(), 99),
              "-" + largest + "." + std::string(17, '0'));
}

} // namespace
