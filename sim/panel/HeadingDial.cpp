#include "sim/panel/HeadingDial.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

CHeadingDial::CHeadingDial(QWidget* parent) : QDial(parent) {
    // 0..360 with wrapping: QDial takes both ends for one position, so 360 is north again
    // and the keys step on through it.
    setRange(0, 360);
    setWrapping(true);
    setSingleStep(1);
    setPageStep(10);
    setFocusPolicy(Qt::StrongFocus);
}

int CHeadingDial::HeadingAt(QPointF point) const {
    const QPointF d = point - QRectF(rect()).center();
    const double degrees = std::atan2(d.x(), -d.y()) * 180.0 / std::numbers::pi;
    return static_cast<int>(std::lround(degrees + 360.0)) % 360;
}

void CHeadingDial::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    setSliderDown(true);
    setValue(HeadingAt(event->position()));
    event->accept();
}

void CHeadingDial::mouseMoveEvent(QMouseEvent* event) {
    if (!isSliderDown()) {
        event->ignore();
        return;
    }
    setValue(HeadingAt(event->position()));
    event->accept();
}

void CHeadingDial::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        setSliderDown(false);
    }
    event->accept();
}

void CHeadingDial::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double radius = std::min(width(), height()) / 2.0 - 2.0;
    painter.translate(QRectF(rect()).center());
    DrawCard(painter, radius);
    DrawAircraft(painter, radius);
}

void CHeadingDial::DrawCard(QPainter& painter, double radius) const {
    const QPalette& pal = palette();
    painter.setPen(QPen(hasFocus() ? pal.color(QPalette::Highlight) : pal.color(QPalette::Mid),
                        hasFocus() ? 2.0 : 1.0));
    painter.setBrush(pal.color(QPalette::Base));
    painter.drawEllipse(QPointF(0, 0), radius, radius);

    painter.setPen(QPen(pal.color(QPalette::Text), 1.0));
    for (int deg = 0; deg < 360; deg += 10) {
        const double inner = radius * (deg % 30 == 0 ? 0.86 : 0.92);
        const double a = deg * std::numbers::pi / 180.0;
        painter.drawLine(QPointF(inner * std::sin(a), -inner * std::cos(a)),
                         QPointF(radius * std::sin(a), -radius * std::cos(a)));
    }
    QFont font = painter.font();
    font.setBold(true);
    painter.setFont(font);
    const double textRadius = radius * 0.72;
    const double box = radius * 0.3;
    static const char* const letters[] = {"N", "E", "S", "W"};
    for (int i = 0; i < 4; ++i) {
        const double a = i * std::numbers::pi / 2.0;
        const QRectF cell(textRadius * std::sin(a) - box / 2, -textRadius * std::cos(a) - box / 2,
                          box, box);
        painter.setPen(i == 0 ? QColor(200, 30, 30) : pal.color(QPalette::Text));
        painter.drawText(cell, Qt::AlignCenter, QString::fromLatin1(letters[i]));
    }
}

void CHeadingDial::DrawAircraft(QPainter& painter, double radius) const {
    painter.save();
    painter.rotate(Heading());
    const double s = radius * 0.42; // half the aircraft's length
    QPainterPath plane;
    plane.moveTo(0, -s); // nose
    plane.lineTo(s * 0.1, -s * 0.7);
    plane.lineTo(s * 0.1, -s * 0.2);
    plane.lineTo(s * 0.8, s * 0.1); // right wing tip
    plane.lineTo(s * 0.8, s * 0.25);
    plane.lineTo(s * 0.1, s * 0.1);
    plane.lineTo(s * 0.08, s * 0.7);
    plane.lineTo(s * 0.35, s * 0.9); // tail
    plane.lineTo(s * 0.35, s);
    plane.lineTo(-s * 0.35, s);
    plane.lineTo(-s * 0.35, s * 0.9);
    plane.lineTo(-s * 0.08, s * 0.7);
    plane.lineTo(-s * 0.1, s * 0.1);
    plane.lineTo(-s * 0.8, s * 0.25); // left wing tip
    plane.lineTo(-s * 0.8, s * 0.1);
    plane.lineTo(-s * 0.1, -s * 0.2);
    plane.lineTo(-s * 0.1, -s * 0.7);
    plane.closeSubpath();
    const QColor ink =
        isEnabled() ? palette().color(QPalette::Highlight) : palette().color(QPalette::Mid);
    painter.setPen(QPen(ink.darker(130), 1.0));
    painter.setBrush(ink);
    painter.drawPath(plane);
    // The lubber mark at the rim, where the nose points.
    painter.setPen(QPen(ink, 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0, -radius * 0.84), QPointF(0, -radius * 0.98));
    painter.restore();
}
