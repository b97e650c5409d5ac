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
const Wanted kInk = [](QRgb pixel) { return pixel != kPaper; };
const Wanted kBlack = [](QRgb p) { return qRed(p) < 40 && qGreen(p) < 40 && qBlue(p) < 40; };
const Wanted kRed = [](QRgb pixel) { return pixel == kSwingBeyondColour; };
const Wanted kBand = [](QRgb pixel) { return pixel == kSwingBandColour; };

// `swing` painted into `area` of a white image of `size`, its labels from a font of `fontPixels`.
QImage Painted(QSize size, const QRectF& area, const CCompassSwing& swing, double toleranceDeg,
               int fontPixels = 14) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter painter(&image);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(fontPixels);
    painter.setFont(font);
    PaintSwingPlot(painter, area, swing, toleranceDeg);
    return image;
}

// A swing whose deviations are given by line; a line without one is not recorded.
CCompassSwing SwingOf(const std::vector<std::pair<int, double>>& deviations) {
    CCompassSwing swing;
    for (const auto& [line, deviation] : deviations) {
        swing.Record(line, CCompassSwing::LineHeading(line) + deviation);
    }
    return swing;
}

// The pixel `radius` pixels from `centre` towards `headingDeg` (000 up, clockwise): the one
// that holds that point.
QPoint Towards(QPointF centre, double headingDeg, double radius) {
    const double rad = headingDeg * std::numbers::pi / 180.0;
    const QPointF at = centre + QPointF(std::sin(rad), -std::cos(rad)) * radius;
    return QPoint(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
}

// The first and last distance from the centre of the plot below along `headingDeg` at which a
// pixel is `wanted`, -1 for none; with `firstRun`, where the first run of such pixels ends.
std::pair<double, double> Span(const QImage& image, double headingDeg, const Wanted& wanted,
                               bool firstRun = true) {
    std::pair span{-1.0, -1.0};
    for (double r = 0.0; r <= 200.0; r += 0.25) {
        if (wanted(image.pixel(Towards(QPointF(210, 210), headingDeg, r)))) {
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

// Nothing is painted outside the area, whatever its shape and the font; the band shows with a
// tolerance, a red square with a deviation beyond it.
TEST(SwingPlot, PaintsOnlyInsideItsAreaWithTheBandAndTheMarksItsSwingNeeds) {
    const CCompassSwing swing = SwingOf({{0, 0.5}, {1, -1.0}, {2, 3.5}, {3, -4.0}, {4, 1.0}});
    const CCompassSwing small = SwingOf({{0, 1.0}, {3, -1.0}});
    const struct {
        const char* name;
        QRectF area;
        int fontPixels;
        CCompassSwing swing;
        double tolerance;
        bool band, red;
    } cases[] = {{"square", QRectF(60, 40, 300, 300), 14, swing, 2.0, true, true},
                 {"wide", QRectF(20, 100, 380, 200), 14, swing, 2.0, true, true},
                 {"tall", QRectF(150, 10, 120, 360), 14, swing, 2.0, true, true},
                 {"font-too-large", QRectF(60, 40, 300, 300), 90, swing, 2.0, true, true},
                 {"fractional", QRectF(60.5, 40.25, 250.5, 251.75), 14, swing, 2.0, true, true},
                 {"tiny", QRectF(200, 200, 24, 24), 14, swing, std::nan(""), false, false},
                 {"no tolerance", QRectF(0, 0, 300, 300), 14, small, 0.0, false, true},
                 {"within the tolerance", QRectF(0, 0, 300, 300), 14, small, 1.0, true, false},
                 {"not a number", QRectF(0, 0, 300, 300), 14, small, std::nan(""), false, false},
                 {"empty", QRectF(0, 0, 300, 300), 14, CCompassSwing(), 2.0, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = Painted(QSize(420, 380), c.area, c.swing, c.tolerance, c.fontPixels);
        const std::size_t ink = Pixels(image, image.rect(), kInk).size();
        EXPECT_GT(ink, 0u);
        EXPECT_EQ(Pixels(image, c.area.toAlignedRect(), kInk).size(), ink);
        EXPECT_EQ(!Pixels(image, image.rect(), kBand).empty(), c.band);
        EXPECT_EQ(!Pixels(image, image.rect(), kRed).empty(), c.red);
    }
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
        const QImage image =
            Painted(QSize(420, 420), QRectF(10, 10, 400, 400),
                    SwingOf({{4, 0.0}, {8, t}, {10, -t}, {c.redLine, c.beyond * t}}), t);
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

} // namespace
