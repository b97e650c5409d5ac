#include "report/SwingPlot.h"

#include "controls/QtTestApp.h"
#include "records/CompassSwing.h"

#include <QPainter>

#include <cmath>
#include <functional>
#include <numbers>
#include <numeric>
#include <optional>
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

// The first and last distance from `centre` along `headingDeg`, out to `reach`, at which a
// pixel is `wanted`; with `firstRun`, where the first run of such pixels ends.
std::optional<std::pair<double, double>> Span(const QImage& image, QPointF centre,
                                              double headingDeg, double reach, const Wanted& wanted,
                                              bool firstRun = false) {
    std::optional<std::pair<double, double>> span;
    for (double r = 0.0; r <= reach; r += 0.25) {
        const QPoint at = Towards(centre, headingDeg, r);
        if (wanted(image.pixel(at))) {
            span = std::pair(span ? span->first : r, r);
        } else if (span && firstRun) {
            break;
        }
    }
    return span;
}

double Middle(const std::pair<double, double>& span) {
    return (span.first + span.second) / 2.0;
}

TEST(SwingPlot, PaintsNothingOutsideItsAreaAndLabelsTheCompassPoints) {
    const std::vector<std::pair<int, double>> deviations{
        {0, 0.5},  {1, -1.0}, {2, 3.5},  {3, -4.0}, {4, 1.0},  {5, 0.0},
        {6, -2.5}, {7, 1.5},  {8, -0.5}, {9, 4.0},  {10, 2.0}, {11, -1.5}};
    const CCompassSwing swing = SwingOf(deviations);
    const struct {
        const char* name;
        QRectF area;
        int fontPixels;
        bool labelled;
    } cases[] = {{"square", QRectF(60, 40, 300, 300), 14, true},
                 {"wide", QRectF(20, 100, 380, 200), 14, true},
                 {"tall", QRectF(150, 10, 120, 360), 14, true},
                 {"font-too-large", QRectF(60, 40, 300, 300), 90, true},
                 {"fractional", QRectF(60.5, 40.25, 250.5, 251.75), 14, true},
                 {"tiny", QRectF(200, 200, 24, 24), 14, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = Painted(QSize(420, 380), c.area, swing, 2.0, c.fontPixels);
        const std::size_t ink = Pixels(image, image.rect(), kInk).size();
        EXPECT_GT(ink, 0u);
        EXPECT_EQ(Pixels(image, c.area.toAlignedRect(), kInk).size(), ink);
        if (!c.labelled) {
            continue;
        }
        // "000" at the top of the square, "090" at its right, and so on: something beyond the
        // rim and its points, beside the middle of each side of the square.
        const double side = std::min(c.area.width(), c.area.height());
        for (const double heading : {0.0, 90.0, 180.0, 270.0}) {
            const bool across = heading == 90.0 || heading == 270.0;
            QRectF box(QPointF(), across ? QSizeF(0.07, 0.16) * side : QSizeF(0.16, 0.07) * side);
            box.moveCenter(Towards(c.area.center(), heading, side * 0.465));
            EXPECT_GT(Pixels(image, box.toRect(), kInk).size(), 2u) << heading;
        }
    }
}

TEST(SwingPlot, PointsStandAtTheirHeadingsAndDeviationsAndTheBandSpansTheTolerance) {
    // The aircraft's headings 120, 240 and 300 carry no deviation, the tolerance and minus the
    // tolerance: black discs, on the zero ring and on the band's edges. One more line is beyond
    // the tolerance by `beyond` tolerances: a red square.
    const struct {
        double tolerance;
        int redLine;
        double beyond;
    } cases[] = {{2.0, 2, 2.0}, {0.5, 0, 3.0}, {5.0, 6, -2.0}, {2.0, 11, -3.0}, {1.0, 3, 1.5}};
    const QRectF area(10, 10, 400, 400);
    const QPointF centre = area.center();
    const double reach = 200.0;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tolerance " << c.tolerance << ", line " << c.redLine);
        const double t = c.tolerance;
        const QImage image =
            Painted(QSize(420, 420), area,
                    SwingOf({{4, 0.0}, {8, t}, {10, -t}, {c.redLine, c.beyond * t}}), t);

        const auto zero = Span(image, centre, 120.0, reach, kBlack, true);
        const auto plus = Span(image, centre, 240.0, reach, kBlack, true);
        const auto minus = Span(image, centre, 300.0, reach, kBlack, true);
        const double redHeading = CCompassSwing::LineHeading(c.redLine);
        const auto red = Span(image, centre, redHeading, reach, kRed, true);
        // Half-way between the lines 000 and 030: no spoke, point or label on the way out.
        const auto band = Span(image, centre, 15.0, reach, kBand);
        ASSERT_TRUE(zero && plus && minus && red && band);

        EXPECT_NEAR(Middle(*band), Middle(*zero), 1.5);
        EXPECT_NEAR(band->second, Middle(*plus), 1.5);
        EXPECT_NEAR(band->first, Middle(*minus), 1.5);
        EXPECT_GT(Middle(*plus), Middle(*zero) + 10.0); // a larger deviation stands further out
        // Distance from the zero ring grows with the deviation, at one scale for both signs.
        const double perTolerance = Middle(*plus) - Middle(*zero);
        EXPECT_NEAR(Middle(*zero) - Middle(*minus), perTolerance, 1.5);
        EXPECT_NEAR(Middle(*red) - Middle(*zero), c.beyond * perTolerance, 2.0);

        // The red square is the one point beyond the tolerance: all red is round its place.
        const std::vector<QPointF> reds = Pixels(image, image.rect(), kRed);
        ASSERT_FALSE(reds.empty());
        const QPointF redMiddle =
            std::accumulate(reds.begin(), reds.end(), QPointF()) / static_cast<double>(reds.size());
        EXPECT_LT(QLineF(redMiddle, Towards(centre, redHeading, Middle(*red))).length(), 2.5);
        for (const QPointF& pixel : reds) {
            ASSERT_LT(QLineF(pixel, redMiddle).length(), 12.0) << pixel.x() << ", " << pixel.y();
        }
    }
}

TEST(SwingPlot, NoToleranceNoBandAndAnEmptySwingOnlyTheFrame) {
    const CCompassSwing swing = SwingOf({{0, 1.0}, {3, -1.0}});
    const struct {
        const char* name;
        CCompassSwing swing;
        double tolerance;
        bool band;
        bool red;
    } cases[] = {{"no tolerance", swing, 0.0, false, true},
                 {"tolerance", swing, 1.0, true, false},
                 {"not a number", swing, std::nan(""), false, false},
                 {"empty", CCompassSwing(), 2.0, true, false}};
    for (const auto& c : cases) {
        const QImage image = Painted(QSize(300, 300), QRectF(0, 0, 300, 300), c.swing, c.tolerance);
        EXPECT_EQ(!Pixels(image, image.rect(), kBand).empty(), c.band) << c.name;
        EXPECT_EQ(!Pixels(image, image.rect(), kRed).empty(), c.red) << c.name;
    }
}

} // namespace
