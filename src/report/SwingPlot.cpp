#include "report/SwingPlot.h"

#include "records/CompassSwing.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>
#include <vector>

namespace {

constexpr QRgb kFrameColour = 0xffa0a0a0;    // the rim, the innermost ring and the spokes
constexpr QRgb kZeroRingColour = 0xff5a5a5a; // darker than the frame, lighter than the trace

// Shares of the square's side.
constexpr double kLabelHeightShare = 1.0 / 16.0; // the largest label cell
constexpr double kGapShare = 1.0 / 40.0;         // between the rim and the labels
constexpr double kMarkerShare = 1.0 / 70.0;      // a point's radius
constexpr double kThinPenShare = 1.0 / 400.0;
constexpr double kThickPenShare = 1.0 / 220.0;
// Shares of the rim's radius: the innermost ring stands for the largest deviation below zero,
// the middle ring for none, the rim for the largest above.
constexpr double kInnerShare = 0.2;
constexpr double kZeroShare = 0.6;
// The trace between two points follows the headings in steps of at most this many degrees,
// so that it bends round the plot as the deviation between two lines would.
constexpr double kTraceStepDeg = 2.0;

// Where the plot stands in the area: its centre and radii in device pixels, and how many
// pixels a degree of deviation moves a point.
struct Geometry {
    QPointF centre;
    double side = 0.0;
    double rim = 0.0;
    double inner = 0.0;
    double zero = 0.0;
    double pixelsPerDeg = 0.0;
    double gap = 0.0;

    double Radius(double deviationDeg) const { return zero + deviationDeg * pixelsPerDeg; }
    // The point `radius` from the centre towards `headingDeg` (000 up, clockwise).
    QPointF At(double headingDeg, double radius) const {
        const double rad = headingDeg * std::numbers::pi / 180.0;
        return centre + QPointF(std::sin(rad), -std::cos(rad)) * radius;
    }
};

QString LineLabel(int line) {
    return QString::fromStdString(CCompassSwing::LineLabel(line));
}

// The painter's font, at most kLabelHeightShare of `side` tall on the painter's device.
QFont LabelFont(const QPainter& painter, double side) {
    QFont font = painter.font();
    const double height = QFontMetricsF(font, painter.device()).height();
    const double largest = side * kLabelHeightShare;
    if (height > largest) {
        const double emPixels = font.pixelSize() > 0
                                    ? font.pixelSize()
                                    : font.pointSizeF() * painter.device()->logicalDpiY() / 72.0;
        font.setPixelSize(std::max(1, static_cast<int>(std::floor(emPixels * largest / height))));
    }
    return font;
}

double ThinPen(double side) {
    return std::max(1.0, side * kThinPenShare);
}

// A point's radius within the tolerance, and half the side of its square beyond it.
double Marker(double side) {
    return std::max(1.5, side * kMarkerShare);
}

double BeyondHalf(double side) {
    return Marker(side) * 1.25;
}

void PaintFrame(QPainter& painter, const Geometry& g, double toleranceDeg) {
    const double thin = ThinPen(g.side);
    if (toleranceDeg > 0.0) {
        QPainterPath band;
        band.setFillRule(Qt::OddEvenFill);
        const double outer = g.Radius(toleranceDeg);
        const double inner = g.Radius(-toleranceDeg);
        band.addEllipse(g.centre, outer, outer);
        band.addEllipse(g.centre, inner, inner);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(kSwingBandColour));
        painter.drawPath(band);
    }

    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(kFrameColour), thin));
    painter.drawEllipse(g.centre, g.rim, g.rim);
    painter.drawEllipse(g.centre, g.inner, g.inner);
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        const double heading = CCompassSwing::LineHeading(line);
        painter.drawLine(g.At(heading, g.inner), g.At(heading, g.rim));
    }
    painter.setPen(QPen(QColor(kZeroRingColour), thin * 1.5));
    painter.drawEllipse(g.centre, g.zero, g.zero);
}

// How far a line leaves the middle of a box before it crosses an edge `half` away, when its
// direction has `component` (a sine or cosine) across that edge.
double Reach(double half, double component) {
    const double across = std::fabs(component);
    return across > 1e-9 ? half / across : std::numeric_limits<double>::infinity();
}

// The labels stand outside the rim, each touching the circle `gap` beyond it with the edge of
// its box that faces the centre.
void PaintLabels(QPainter& painter, const Geometry& g, const QFont& font) {
    const QFontMetricsF metrics(font, painter.device());
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        const QString label = LineLabel(line);
        const QSizeF size(metrics.horizontalAdvance(label), metrics.height());
        const double rad = CCompassSwing::LineHeading(line) * std::numbers::pi / 180.0;
        // From the box's middle to its edge, towards the centre: through a side or through
        // the top or bottom, whichever comes first.
        const double across = Reach(size.width() / 2.0, std::sin(rad));
        const double along = Reach(size.height() / 2.0, std::cos(rad));
        const QPointF middle =
            g.At(CCompassSwing::LineHeading(line), g.rim + g.gap + std::min(across, along));
        painter.drawText(QRectF(middle - QPointF(size.width(), size.height()) / 2.0, size),
                         Qt::AlignCenter, label);
    }
}

void PaintTrace(QPainter& painter, const Geometry& g, const CCompassSwing& swing) {
    std::vector<int> recorded;
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        if (swing.DeviationAt(line)) {
            recorded.push_back(line);
        }
    }
    if (recorded.size() < 2) {
        return;
    }
    const auto radius = [&](int line) { return g.Radius(swing.DeviationAt(line).value_or(0.0)); };
    QPainterPath trace(
        g.At(CCompassSwing::LineHeading(recorded.front()), radius(recorded.front())));
    // Round the rose: from 330 back to 000 when three or more lines make a closed figure.
    const std::size_t joins = recorded.size() > 2 ? recorded.size() : 1;
    for (std::size_t i = 0; i < joins; ++i) {
        const int from = recorded[i];
        const int to = recorded[(i + 1) % recorded.size()];
        const double fromHeading = CCompassSwing::LineHeading(from);
        double toHeading = CCompassSwing::LineHeading(to);
        if (toHeading <= fromHeading) {
            toHeading += 360.0;
        }
        const int steps = static_cast<int>(std::ceil((toHeading - fromHeading) / kTraceStepDeg));
        for (int step = 1; step <= steps; ++step) {
            const double t = static_cast<double>(step) / steps;
            trace.lineTo(g.At(fromHeading + t * (toHeading - fromHeading),
                              radius(from) + t * (radius(to) - radius(from))));
        }
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, std::max(1.0, g.side * kThickPenShare), Qt::SolidLine,
                        Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(trace);
}

// A point within the tolerance is a black disc; one beyond it a larger square in red, outlined
// in black, so that it stands out printed without colour too.
void PaintPoints(QPainter& painter, const Geometry& g, const CCompassSwing& swing,
                 double toleranceDeg) {
    const double marker = Marker(g.side);
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        const std::optional<double> deviation = swing.DeviationAt(line);
        if (!deviation) {
            continue;
        }
        const QPointF point = g.At(CCompassSwing::LineHeading(line), g.Radius(*deviation));
        if (swing.Exceeds(line, toleranceDeg)) {
            const double half = BeyondHalf(g.side);
            painter.setPen(QPen(Qt::black, ThinPen(g.side)));
            painter.setBrush(QColor(kSwingBeyondColour));
            painter.drawRect(QRectF(point - QPointF(half, half), QSizeF(2 * half, 2 * half)));
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawEllipse(point, marker, marker);
        }
    }
}

} // namespace

void PaintSwingPlot(QPainter& painter, const QRectF& area, const CCompassSwing& swing,
                    double toleranceDeg) {
    const double side = std::min(area.width(), area.height());
    if (!painter.isActive() || !(side > 0.0)) {
        return;
    }
    const double tolerance = std::isfinite(toleranceDeg) ? std::max(0.0, toleranceDeg) : 0.0;
    double largest = std::max(swing.MaxDeviation().value_or(0.0), tolerance);
    if (!(largest > 0.0)) {
        largest = 1.0; // nothing to scale by: any scale shows the zeros on the middle ring
    }

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QFont font = LabelFont(painter, side);
    const QFontMetricsF metrics(font, painter.device());
    double labelExtent = metrics.height();
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        labelExtent = std::max(labelExtent, metrics.horizontalAdvance(LineLabel(line)));
    }

    Geometry g;
    g.centre = area.center();
    g.side = side;
    // Wide enough for a point on the rim, however small the plot.
    g.gap = std::max(side * kGapShare, BeyondHalf(side) + ThinPen(side));
    g.rim = side / 2.0 - g.gap - labelExtent;
    // A plot too small for its labels is drawn without them.
    const bool labelled = g.rim >= side / 4.0;
    if (!labelled) {
        g.rim = side / 2.0 - g.gap;
    }
    g.inner = g.rim * kInnerShare;
    g.zero = g.rim * kZeroShare;
    g.pixelsPerDeg = (g.rim - g.zero) / largest;

    PaintFrame(painter, g, tolerance);
    if (labelled) {
        PaintLabels(painter, g, font);
    }
    PaintTrace(painter, g, swing);
    PaintPoints(painter, g, swing, toleranceDeg); // judged as the report's table judges them
    painter.restore();
}
