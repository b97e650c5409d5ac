#include "controls/CompassCtrl.h"

#include "controls/DrawingCoordinates.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kRimWidth = 2;
constexpr double kNeedleScale = 1.5;
constexpr double kFontBasis = 0.15; // letter height basis, as a fraction of the card's diameter
constexpr double kDegreesToRadians = 0.002777777777777778 * 6.283185307;
constexpr int kAntialiasMargin = 2; // pixels that antialiasing may touch beyond a shape

// Moves one-pixel strokes onto pixel centres: integer coordinates then name whole pixels.
void CentreOnPixels(QPainter& painter) {
    painter.translate(0.5, -0.5);
}

QFont LabelFont(const CCompassLabel& label, int cellHeight) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setStyleHint(QFont::Serif);
    font.setBold(label.bold);
    font.setItalic(label.bold);
    font.setPixelSize(std::max(1, cellHeight));
    // The height asked for is the cell height (ascent plus descent), not the em size.
    const QFontMetricsF metrics(font);
    if (metrics.height() > cellHeight && cellHeight > 0) {
        font.setPixelSize(
            std::max(1, static_cast<int>(cellHeight * cellHeight / metrics.height())));
    }
    return font;
}

// Top-left corner (y upward) of a text of extent (cx, cy) anchored at `anchor` for a label
// at `angle`: the letters lie inside the rim, N and S centred, E and W centred vertically.
QPoint TextCorner(double angle, QPoint anchor, QSize extent) {
    const int cx = extent.width();
    const int cy = extent.height();
    bool alignRight = false;
    bool alignBottom = false;
    int x = anchor.x();
    int y = anchor.y();
    if (angle == 0.0) {
        x -= cx / 2;
    } else if (angle < 90.0) {
        alignRight = true;
    } else if (angle == 90.0) {
        alignRight = true;
        y += cy / 2;
    } else if (angle < 180.0) {
        alignRight = true;
        alignBottom = true;
    } else if (angle == 180.0) {
        x -= cx / 2;
        alignBottom = true;
    } else if (angle < 270.0) {
        alignBottom = true;
    } else if (angle == 270.0) {
        y += cy / 2;
    }
    return QPoint(alignRight ? x - cx : x, alignBottom ? y + cy : y);
}

} // namespace

CCompassCtrl::CCompassCtrl(int needleResourceId, QWidget* parent)
    : QWidget(parent), labels{{0.0, QStringLiteral("N"), 100.0, true},
                              {90.0, QStringLiteral("E"), 90.0, false},
                              {180.0, QStringLiteral("S"), 90.0, false},
                              {270.0, QStringLiteral("W"), 90.0, false}} {
    needle.LoadResource(needleResourceId);
    setObjectName(QStringLiteral("compassRose"));
    setAccessibleName(tr("Compass rose"));
    setEnabled(false);
}

QSize CCompassCtrl::sizeHint() const {
    return {246, 211};
}

void CCompassCtrl::SetHeading(double degrees) {
    if (!std::isfinite(degrees) || degrees == heading) {
        return;
    }
    heading = degrees;
    if (clearRadius <= 0) {
        return; // never painted: the first paint draws everything
    }
    // The circle covers the old and the new needle even where the needle reaches past the
    // clear radius (a small control), so no stale needle pixels stay behind.
    const int radius = std::max(clearRadius, needle.Reach(kNeedleScale)) + kAntialiasMargin;
    const QRect square =
        DrawingTransform(size()).mapRect(QRect(-radius, -radius, 2 * radius, 2 * radius));
    update(QRegion(square, QRegion::Ellipse));
}

void CCompassCtrl::ShowNeedle(bool show) {
    if (show == needleShown) {
        return;
    }
    needleShown = show;
    update();
}

void CCompassCtrl::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect(), palette().color(QPalette::Active, QPalette::Window));
    painter.setTransform(DrawingTransform(size()));

    const int radius = std::min(width() / 2, height() / 2);
    const int inner = radius - kRimWidth;
    DrawFace(painter, radius);
    DrawSpokes(painter, inner);
    clearRadius = DrawLabels(painter, inner);
    DrawRim(painter, radius);
    if (isEnabled() && needleShown) {
        DrawNeedle(painter);
    }
}

QColor CCompassCtrl::FaceColour() const {
    return palette().color(QPalette::Active, QPalette::ToolTipBase);
}

void CCompassCtrl::DrawFace(QPainter& painter, int radius) const {
    painter.setPen(Qt::NoPen);
    painter.setBrush(FaceColour());
    painter.drawEllipse(QPoint(0, 0), radius, radius);
}

void CCompassCtrl::DrawSpokes(QPainter& painter, int radius) const {
    painter.save();
    CentreOnPixels(painter);
    painter.setPen(QPen(Qt::black, 0));
    const auto spokeEnd = [radius](double a) {
        return QPoint(static_cast<int>(radius * std::sin(a)),
                      static_cast<int>(radius * std::cos(a)));
    };
    painter.drawLine(QPoint(0, radius), QPoint(0, -radius));
    painter.drawLine(QPoint(-radius, 0), QPoint(radius, 0));
    painter.drawLine(spokeEnd(-2.356194490125), spokeEnd(0.785398163375));
    painter.drawLine(spokeEnd(-3.926990816875), spokeEnd(-0.785398163375));
    painter.restore();
}

int CCompassCtrl::DrawLabels(QPainter& painter, int radius) const {
    int clear = radius;
    const double basis = kFontBasis * 2 * radius;
    for (const CCompassLabel& label : labels) {
        const QFont font = LabelFont(label, static_cast<int>(basis * label.size * 0.01));
        const QFontMetrics metrics(font);
        const QSize extent(metrics.horizontalAdvance(label.text), metrics.height());
        const double theta = (label.angle - 90.0) * -kDegreesToRadians;
        const QPoint anchor(static_cast<int>(radius * std::cos(theta)),
                            static_cast<int>(radius * std::sin(theta)));
        if (label.angle == 0.0) {
            clear = radius - extent.height();
        }
        // Text reads upright on the device, so it is placed there, at the mapped corner.
        const QPoint corner = painter.transform().map(TextCorner(label.angle, anchor, extent));
        const QRect box(corner, extent);
        painter.save();
        painter.resetTransform();
        painter.fillRect(box, FaceColour()); // the letter hides the spokes behind it
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignLeft | Qt::AlignTop, label.text);
        painter.restore();
    }
    return clear;
}

void CCompassCtrl::DrawRim(QPainter& painter, int radius) const {
    // Drawn after the letters, whose cells would otherwise nick it; the stroke lies within
    // the face, between the inner radius and the face's edge.
    painter.setPen(QPen(Qt::black, kRimWidth));
    painter.setBrush(Qt::NoBrush);
    const double middle = radius - kRimWidth / 2.0;
    painter.drawEllipse(QPointF(0, 0), middle, middle);
}

void CCompassCtrl::DrawNeedle(QPainter& painter) {
    const QPolygon& points = needle.Rotate(-heading, kNeedleScale);
    if (points.isEmpty()) {
        return;
    }
    painter.save();
    CentreOnPixels(painter);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(QColor(255, 0, 0));
    painter.drawPolygon(points, Qt::OddEvenFill);
    painter.restore();
}
