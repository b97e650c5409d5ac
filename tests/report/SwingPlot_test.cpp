#include "report/SwingPlot.h"

#include "controls/QtTestApp.h"
#include "records/CompassSwing.h"

#include <QPainter>

#include <cmath>
#include <functional>
#include <numbers>
#include <utility>

namespace {

using Wanted = std::function<bool(QRgb)>;
constexpr QRgb kPaper = 0xffffffff;
const Wanted kBlack = [](QRgb p) { return qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40; };
const Wanted kRed = [](QRgb pixel) { return pixel == kSwingBeyondColour; };
const Wanted kBand = [](QRgb pixel) { return pixel == kSwingBandColour; };

// A swing whose deviations are given by line, painted in the middle 400 x 400 pixels of a white
// 420 x 420 image.
QImage Painted(const std::vector<std::pair<int, double>>& deviations, double toleranceDeg) {
    CCompassSwing swing;
    for (const auto& [line, deviation] : deviations) {
        swing.Record(line, CCompassSwing::LineHeading(line) + deviation);
    }
    QImage image(420, 420, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter painter(&image);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(14);
    painter.setFont(font);
    PaintSwingPlot(painter, QRectF(10, 10, 400, 400), swing, toleranceDeg);
    return image;
}

// The first and last distance from the plot's centre along `headingDeg` (000 up, clockwise) at
// which a pixel is `wanted`, -1 for none; with `firstRun`, where the first run of them ends.
std::pair<double, double> Span(const QImage& image, double headingDeg, const Wanted& wanted,
                               bool firstRun = true) {
    const double rad = headingDeg * std::numbers::pi / 180.0;
    std::pair span{-1.0, -1.0};
    for (double r = 0.0; r <= 200.0; r += 0.25) {
        const QPointF at = QPointF(210, 210) + QPointF(std::sin(rad), -std::cos(rad)) * r;
        if (wanted(image.pixel(static_cast<int>(std::floor(at.x())),
                               static_cast<int>(std::floor(at.y()))))) {
            span = {span.first < 0.0 ? r : span.first, r};
        } else if (span.first >= 0.0 && firstRun) {
            break;
        }
    }
    return span;
}

double Middle(const std::pair<double, double>& span) {
    return (span.first + span.second) / 2.0;
}

// Lines 120, 240 and 300 carry no deviation, the tolerance and minus the tolerance: black discs
// on the zero ring and the band's edges. One more line is `beyond` tolerances out: a red square.
TEST(SwingPlot, PointsStandAtTheirHeadingsAndDeviationsAndTheBandSpansTheTolerance) {
    const struct {
        double tolerance;
        int redLine;
        double beyond;
    } cases[] = {{2.0, 2, 2.0}, {0.5, 0, 3.0}, {5.0, 6, -2.0}, {1.0, 3, 1.5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tolerance " << c.tolerance << ", line " << c.redLine);
        const double t = c.tolerance;
        const QImage image = Painted({{4, 0.0}, {8, t}, {10, -t}, {c.redLine, c.beyond * t}}, t);
        const auto ink = [](QRgb pixel) { return pixel != kPaper; };
        EXPECT_EQ(Pixels(image, image.rect(), ink).size(),
                  Pixels(image, QRect(10, 10, 400, 400), ink).size());
        const double zero = Middle(Span(image, 120.0, kBlack));
        const double plus = Middle(Span(image, 240.0, kBlack));
        const double minus = Middle(Span(image, 300.0, kBlack));
        const double red = Middle(Span(image, CCompassSwing::LineHeading(c.redLine), kRed));
        // Half-way between the lines 000 and 030: no spoke, point or label on the way out.
        const auto band = Span(image, 15.0, kBand, false);
        EXPECT_NEAR(Middle(band), zero, 1.5);
        EXPECT_NEAR(band.second, plus, 1.5);
        EXPECT_NEAR(band.first, minus, 1.5);
        // Outwards for a unit that reads more, at one scale for both signs.
        const double perTolerance = plus - zero;
        EXPECT_GT(perTolerance, 10.0);
        EXPECT_NEAR(zero - minus, perTolerance, 1.5);
        EXPECT_NEAR(red - zero, c.beyond * perTolerance, 2.0);
    }
}

// No band without a tolerance; all deviations are beyond a tolerance of 0, none beyond NaN.
TEST(SwingPlot, TheBandAndTheRedMarksFollowTheTolerance) {
    const struct {
        const char* name;
        std::vector<std::pair<int, double>> deviations;
        double tolerance;
        bool band, red;
    } cases[] = {{"no tolerance", {{0, 1.0}, {3, -1.0}}, 0.0, false, true},
                 {"within the tolerance", {{0, 1.0}, {3, -1.0}}, 1.0, true, false},
                 {"not a number", {{0, 1.0}, {3, -1.0}}, std::nan(""), false, false},
                 {"empty", {}, 2.0, true, false}};
    for (const auto& c : cases) {
        const QImage image = Painted(c.deviations, c.tolerance);
        EXPECT_EQ(!Pixels(image, image.rect(), kBand).empty(), c.band) << c.name;
        EXPECT_EQ(!Pixels(image, image.rect(), kRed).empty(), c.red) << c.name;
    }
}

} // namespace
