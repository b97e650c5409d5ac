#include "controls/RateMeterCtrl.h"

#include "QtTestApp.h"
#include "records/CaseTable.h"

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
    CRateMeterCtrl meter(0.5, 0.05);
    meter.resize(104, 16);
    for (const auto& c : CaseTable("rate-meter-lines.txt")) {
        SCOPED_TRACE(c[0]);
        meter.SetValue(Number(c[0]));
        const QImage image = Render(meter, "rate-meter");
        for (const int row : {0, 8, 15}) { // the line spans the full height
            const auto [first, last] = LineColumns(image, row);
            EXPECT_EQ(std::to_string(first) + ' ' + std::to_string(last), c[1]);
        }
    }
}

} // namespace
