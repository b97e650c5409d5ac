#include "device/FixedPoint.h"
#include "records/TempDir.h"

#include <cstdlib>
#include <limits>
#include <sstream>

#include <gtest/gtest.h>

namespace {

TEST(FixedPointTest, RoundsLikePrintfAndNeverWritesMinusZero) {
    std::istringstream cases(ReadText(HX410_TEST_DATA_DIR "/fixed-point.txt"));
    int count = 0;
    for (std::string line; std::getline(cases, line);) {
        std::istringstream fields(line);
        std::string value, text;
        int decimals = 0;
        if (line[0] != '#' && fields >> value >> decimals >> text) {
            EXPECT_EQ(FixedPoint(std::strtod(value.c_str(), nullptr), decimals), text) << line;
            ++count;
        }
    }
    EXPECT_EQ(count, 15);

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
