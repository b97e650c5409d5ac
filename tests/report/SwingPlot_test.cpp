#include "report/SwingPlot.h"

#include "controls/QtTestApp.h"
#include "records/CompassSwing.h"

#include <QPainter>

#include <cmath>
#include <functional>
#include <numbers>
#include <optional>
#include <utility>

namespace {

constexpr QRgb kPaper = 0xffffffff;

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

// The heading from `centre` to `point`, in [0, 360).
double HeadingOf(QPointF centre, QPointF point) {
    const double deg =
        std::atan2(point.x() - centre.x(), centre.y() - point.y()) * 180.0 / std::numbers::pi;
    return deg < 0.0 ? deg + 360.0 : deg;
}

bool IsBlack(QRgb pixel) {
    return qRed(pixel) < 40 && qGreen(pixel) < 40 && qBlue(pixel) < 40;
}

// The first and last distance from `centre` along `headingDeg`, out to `reach`, at which a
// pixel is `wanted`; with `firstRun`, where the first run of such pixels ends.
std::optional<std::pair<double, double>> Span(const QImage& image, QPointF centre,
                                              double headingDeg, double reach,
                                              const std::function<bool(QRgb)>& wanted,
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

// The middle of the pixels of `colour`, when there are any.
std::optional<QPointF> Centroid(const QImage& image, QRgb colour) {
    QPointF sum;
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == colour) {
                sum += QPointF(x, y);
                ++count;
            }
        }
    }
    return count > 0 ? std::optional(sum / count) : std::nullopt;
}

TEST(SwingPlot, PaintsNothingOutsideItsAreaAndLabelsTheCompassPoints) {
    const CCompassSwing swing = SwingOf({{0, 0.5},
                                         {1, -1.0},
                                         {2, 3.5},
                                         {3, -4.0},
                                         {4, 1.0},
                                         {5, 0.0},
                                         {6, -2.5},
                                         {7, 1.5},
                                         {8, -0.5},
                                         {9, 4.0},
                                         {10, 2.0},
                                         {11, -1.5}});
    const struct {
        const char* name;
        QRectF area;
        int fontPixels;
        bool labelled;
    } cases[] = {
        {"square", QRectF(60, 40, 300, 300), 14, true},
        {"wide", QRectF(20, 100, 380, 200), 14, true},
        {"tall", QRectF(150, 10, 120, 360), 14, true},
        {"font-too-large", QRectF(60, 40, 300, 300), 90, true},
        {"fractional", QRectF(60.5, 40.25, 250.5, 251.75), 14, true},
        {"tiny", QRectF(200, 200, 24, 24), 14, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = Painted(QSize(420, 380), c.area, swing, 2.0, c.fontPixels);
        int inside = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool within = c.area.intersects(QRectF(x, y, 1, 1));
                if (!within) {
                    ASSERT_EQ(image.pixel(x, y), kPaper) << x << ", " << y;
                } else if (image.pixel(x, y) != kPaper) {
                    ++inside;
                }
            }
        }
        EXPECT_GT(inside, 0);
        if (!c.labelled) {
            continue;
        }
        // "000" at the top of the square, "090" at its right, and so on: something beyond the
        // rim and its points, beside the middle of each side of the square.
        const double side = std::min(c.area.width(), c.area.height());
        const QPointF centre = c.area.center();
        for (const double heading : {0.0, 90.0, 180.0, 270.0}) {
            SCOPED_TRACE(heading);
            int drawn = 0;
            for (double r = side * 0.43; r < side * 0.5; r += 0.5) {
                for (double across = -side * 0.08; across <= side * 0.08; across += 0.5) {
                    const double rad = heading * std::numbers::pi / 180.0;
                    const QPointF at = centre + QPointF(std::sin(rad), -std::cos(rad)) * r +
                                       QPointF(std::cos(rad), std::sin(rad)) * across;
                    drawn += image.pixel(at.toPoint()) != kPaper ? 1 : 0;
                }
            }
            EXPECT_GT(drawn, 5);
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
    } cases[] = {
        {2.0, 2, 2.0}, {0.5, 0, 3.0}, {5.0, 6, -2.0}, {2.0, 11, -3.0}, {1.0, 3, 1.5},
    };
    const QRectF area(10, 10, 400, 400);
    const QPointF centre = area.center();
    const double reach = 200.0;
    const auto isRed = [](QRgb pixel) { return pixel == kSwingBeyondColour; };
    const auto isBand = [](QRgb pixel) { return pixel == kSwingBandColour; };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "tolerance " << c.tolerance << ", line " << c.redLine);
        const double t = c.tolerance;
        const QImage image =
            Painted(QSize(420, 420), area,
                    SwingOf({{4, 0.0}, {8, t}, {10, -t}, {c.redLine, c.beyond * t}}), t);

        const auto zero = Span(image, centre, 120.0, reach, IsBlack, true);
        const auto plus = Span(image, centre, 240.0, reach, IsBlack, true);
        const auto minus = Span(image, centre, 300.0, reach, IsBlack, true);
        const double redHeading = CCompassSwing::LineHeading(c.redLine);
        const auto red = Span(image, centre, redHeading, reach, isRed, true);
        // Half-way between the lines 000 and 030: no spoke, point or label on the way out.
        const auto band = Span(image, centre, 15.0, reach, isBand);
        ASSERT_TRUE(zero && plus && minus && red && band);

        EXPECT_NEAR(Middle(*band), Middle(*zero), 1.5);
        EXPECT_NEAR(band->second, Middle(*plus), 1.5);
        EXPECT_NEAR(band->first, Middle(*minus), 1.5);
        EXPECT_GT(Middle(*plus), Middle(*zero) + 10.0); // a larger deviation stands further out
        // Distance from the zero ring grows with the deviation, at one scale for both signs.
        const double perTolerance = Middle(*plus) - Middle(*zero);
        EXPECT_NEAR(Middle(*zero) - Middle(*minus), perTolerance, 1.5);
        EXPECT_NEAR(Middle(*red) - Middle(*zero), c.beyond * perTolerance, 2.0);

        // The red square is the one point beyond the tolerance: all red is round its heading.
        const std::optional<QPointF> redMiddle = Centroid(image, kSwingBeyondColour);
        ASSERT_TRUE(redMiddle);
        const double off =
            std::fabs(std::remainder(HeadingOf(centre, *redMiddle) - redHeading, 360.0));
        EXPECT_LT(off, 1.0);
        EXPECT_NEAR(QLineF(centre, *redMiddle).length(), Middle(*red), 1.5);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (isRed(image.pixel(x, y))) {
                    ASSERT_LT(QLineF(QPointF(x, y), *redMiddle).length(), 12.0) << x << ", " << y;
                }
            }
        }
    }
}

TEST(SwingPlot, NoToleranceNoBandAndAnEmptySwingOnlyTheFrame) {
    const QRectF area(0, 0, 300, 300);
    const CCompassSwing swing = SwingOf({{0, 1.0}, {3, -1.0}});
    const struct {
        const char* name;
        CCompassSwing swing;
        double tolerance;
        bool band;
        bool red;
    } cases[] = {
        {"no tolerance", swing, 0.0, false, true},
        {"tolerance", swing, 1.0, true, false},
        {"not a number", swing, std::nan(""), false, false},
        {"empty", CCompassSwing(), 2.0, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage image = Painted(QSize(300, 300), area, c.swing, c.tolerance);
        EXPECT_EQ(Centroid(image, kSwingBandColour).has_value(), c.band);
        EXPECT_EQ(Centroid(image, kSwingBeyondColour).has_value(), c.red);
    }
}

} // namespace
