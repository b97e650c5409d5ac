#include "controls/CompassCtrl.h"

#include "QtTestApp.h"

#include <cmath>

namespace {

bool IsRed(QRgb pixel) {
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80;
}

// The device pixel `distance` pixels from the centre towards `degrees` clockwise from the top.
QPoint Towards(QSize size, double degrees, double distance) {
    const double a = degrees * M_PI / 180.0;
    return {size.width() / 2 + static_cast<int>(std::lround(distance * std::sin(a))),
            size.height() / 2 - static_cast<int>(std::lround(distance * std::cos(a)))};
}

// The needle's head reaches a fixed distance along the heading; disabled or hidden, no needle.
TEST(CompassCtrl, NeedleHeadPointsAlongTheHeadingAtAFixedSize) {
    for (const QSize size : {QSize(246, 211), QSize(400, 320)}) {
        // At -1 the control is disabled, at -2 its needle hidden.
        for (const double heading : {0.0, 45.0, 90.0, 180.0, 270.0, -1.0, -2.0}) {
            SCOPED_TRACE(testing::Message() << size.width() << " wide, heading " << heading);
            CCompassCtrl compass;
            compass.resize(size);
            compass.setEnabled(heading != -1.0);
            compass.ShowNeedle(heading != -2.0);
            compass.SetHeading(heading);
            const QImage image = Render(
                compass, heading == 45.0 && size == compass.sizeHint() ? "compass" : nullptr);
            if (heading < 0.0) {
                EXPECT_TRUE(Pixels(image, image.rect(), IsRed).empty());
                continue;
            }
            EXPECT_TRUE(IsRed(image.pixel(Towards(size, heading, 64))));
            EXPECT_FALSE(IsRed(image.pixel(Towards(size, heading, 73))));
            EXPECT_FALSE(IsRed(image.pixel(Towards(size, heading + 180.0, 64))));
        }
    }
}

TEST(NeedlePolygon, ReadsVertexLinesAndSkipsOthers) {
    CNeedlePolygon needle;
    needle.LoadText("14,-46\r\n-4, 34\r\nno vertex\r\n7\r\n\r\n+3 ,  -7");
    EXPECT_EQ(needle.SourcePoints(), (std::vector<QPointF>{{14, -46}, {-4, 34}, {3, -7}}));
}

} // namespace
