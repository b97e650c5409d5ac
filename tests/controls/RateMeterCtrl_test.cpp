#include "controls/RateMeterCtrl.h"

#include "QtTestApp.h"

#include <limits>

namespace {

// First and last column of the black line along one row.
std::pair<int, int> LineColumns(const QImage& image, int row) {
    std::pair columns{-1, -1};
    for (int x = 0; x < image.width(); ++x) {
        if (qGray(image.pixel(x, row)) < 60) {
            columns = {columns.first < 0 ? x : columns.first, x};
        }
    }
    return columns;
}

TEST(RateMeterCtrl, LineFollowsTheValueAndStaysInsideTheBar) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    // A 104-pixel bar: the centre between columns 51 and 52, the green band columns 47 to 56.
    struct Case {
        double value;
        int first, last; // columns of the two-pixel line
    } const cases[] = {
        {0.0, 51, 52},  {0.05, 56, 57}, // the band's right edge
        {-0.1, 41, 42}, {0.5, 102, 103},       {7.0, 102, 103},
        {-7.0, 0, 1},   {kInfinity, 102, 103}, {std::nan(""), 51, 52}, // no reading: the centre
    };
    CRateMeterCtrl meter(0.5, 0.05);
    meter.resize(104, 16);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        meter.SetValue(c.value);
        const QImage image = Render(meter, "rate-meter");
        for (const int row : {0, 8, 15}) { // the line spans the full height
            EXPECT_EQ(LineColumns(image, row), std::make_pair(c.first, c.last));
        }
    }
}

} // namespace
