#include "wizard/Artwork.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

#include <array>
#include <cmath>
#include <numbers>

namespace {

const QColor kNavy(0x0b, 0x2a, 0x4d);
const QColor kDeepNavy(0x06, 0x17, 0x2c);
const QColor kSteel(0x1d, 0x4f, 0x86);
const QColor kPale(0xe9, 0xf0, 0xf8);
const QColor kNorthRed(0xc8, 0x32, 0x2a);

// Right half of an aircraft seen from above, nose up, in a unit box (x 0..1, y -1..1);
// the left half is its mirror image.
constexpr std::array<QPointF, 12> kAircraftHalf{{
    {0.00, -1.00},
    {0.05, -0.93},
    {0.08, -0.80},
    {0.09, -0.28},
    {0.95, 0.06},
    {0.95, 0.16},
    {0.09, 0.10},
    {0.07, 0.60},
    {0.36, 0.78},
    {0.36, 0.87},
    {0.05, 0.84},
    {0.00, 0.96},
}};

QPolygonF Aircraft(QPointF centre, double halfSpan) {
    QPolygonF outline;
    for (const QPointF& point : kAircraftHalf) {
        outline << centre + point * halfSpan;
    }
    for (auto it = kAircraftHalf.rbegin() + 1; it != kAircraftHalf.rend() - 1; ++it) {
        outline << centre + QPointF(-it->x(), it->y()) * halfSpan;
    }
    return outline;
}

QPointF OnCircle(QPointF centre, double radius, double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    return centre + QPointF(std::sin(radians) * radius, -std::cos(radians) * radius);
}

// A compass ring: a tick every 10 degrees, longer every 30, and the cardinal letters.
void DrawCompassRing(QPainter& painter, QPointF centre, double radius, const QColor& colour,
                     bool letters) {
    QPen pen(colour, std::max(1.0, radius / 60.0));
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, radius, radius);
    for (int degrees = 0; degrees < 360; degrees += 10) {
        const double length = radius * (degrees % 30 == 0 ? 0.12 : 0.06);
        painter.drawLine(OnCircle(centre, radius, degrees),
                         OnCircle(centre, radius - length, degrees));
    }
    if (!letters) {
        return;
    }
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(std::max(6, static_cast<int>(radius * 0.16)));
    font.setBold(true);
    painter.setFont(font);
    const std::array<const char*, 4> names{"N", "E", "S", "W"};
    for (int i = 0; i < 4; ++i) {
        const QPointF at = OnCircle(centre, radius * 0.74, i * 90.0);
        const QRectF box(at.x() - radius * 0.15, at.y() - radius * 0.15, radius * 0.3,
                         radius * 0.3);
        painter.drawText(box, Qt::AlignCenter, QString::fromLatin1(names[i]));
    }
}

// The north pointer: a small red triangle outside the ring.
void DrawNorthMarker(QPainter& painter, QPointF centre, double radius, double size) {
    QPolygonF marker;
    marker << OnCircle(centre, radius + size * 0.2, 0) + QPointF(0, -size)
           << OnCircle(centre, radius + size * 0.2, 0) + QPointF(size * 0.6, 0)
           << OnCircle(centre, radius + size * 0.2, 0) + QPointF(-size * 0.6, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kNorthRed);
    painter.drawPolygon(marker);
}

QPixmap Canvas(QSize size, qreal devicePixelRatio) {
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawIcon(QPainter& painter, double side) {
    const QRectF square(0, 0, side, side);
    const double corner = side * 0.18;
    QLinearGradient background(0, 0, 0, side);
    background.setColorAt(0, kSteel);
    background.setColorAt(1, kDeepNavy);
    painter.setPen(Qt::NoPen);
    painter.setBrush(background);
    painter.drawRoundedRect(square.adjusted(side * 0.03, side * 0.03, -side * 0.03, -side * 0.03),
                            corner, corner);
    const QPointF centre(side / 2, side / 2 + side * 0.03);
    const double radius = side * 0.34;
    DrawCompassRing(painter, centre, radius, QColor(255, 255, 255, 220), side >= 48);
    DrawNorthMarker(painter, centre, radius, side * 0.08);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(Aircraft(centre, radius * (side >= 48 ? 0.5 : 0.72)));
}

} // namespace

namespace Artwork {

QPixmap HeaderPicture(QSize size, qreal devicePixelRatio) {
    QPixmap pixmap = Canvas(size, devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double width = size.width();
    const double height = size.height();
    QLinearGradient band(0, 0, width, 0);
    band.setColorAt(0.0, Qt::white);
    band.setColorAt(0.55, Qt::white);
    band.setColorAt(1.0, kPale);
    painter.fillRect(QRectF(0, 0, width, height), band);

    // A large faint ring behind the symbol, cut by the band.
    const QPointF centre(width - height * 0.95, height / 2);
    QColor faint = kSteel;
    faint.setAlpha(28);
    painter.setPen(QPen(faint, height * 0.05));
    painter.drawEllipse(centre, height * 1.2, height * 1.2);

    const double radius = height * 0.32;
    QRadialGradient dial(centre, radius);
    dial.setColorAt(0, Qt::white);
    dial.setColorAt(1, QColor(0xdc, 0xe6, 0xf2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(dial);
    painter.drawEllipse(centre, radius, radius);
    DrawCompassRing(painter, centre, radius, kNavy, false);
    DrawNorthMarker(painter, centre, radius, height * 0.08);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kNavy);
    painter.drawPolygon(Aircraft(centre, radius * 0.62));
    return pixmap;
}

QPixmap WatermarkPicture(QSize size, qreal devicePixelRatio) {
    QPixmap pixmap = Canvas(size, devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const double width = size.width();
    const double height = size.height();
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0.0, kSteel);
    sky.setColorAt(0.45, kNavy);
    sky.setColorAt(1.0, kDeepNavy);
    painter.fillRect(QRectF(0, 0, width, height), sky);

    // A soft glow behind the rose.
    const QPointF centre(width * 0.5, height * 0.42);
    const double radius = width * 0.40;
    QRadialGradient glow(centre, radius * 1.8);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    painter.fillRect(QRectF(0, 0, width, height), glow);

    DrawCompassRing(painter, centre, radius * 1.35, QColor(255, 255, 255, 60), false);
    DrawCompassRing(painter, centre, radius, QColor(255, 255, 255, 200), true);
    DrawNorthMarker(painter, centre, radius, width * 0.05);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 235));
    painter.drawPolygon(Aircraft(centre, radius * 0.50));

    // The product name near the foot of the picture.
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(std::max(8, static_cast<int>(width * 0.13)));
    font.setBold(true);
    font.setLetterSpacing(QFont::PercentageSpacing, 110);
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, 210));
    const QRectF nameBox(0, height * 0.78, width, width * 0.18);
    painter.drawText(nameBox, Qt::AlignCenter, QStringLiteral("HX410"));
    QFont small = font;
    small.setBold(false);
    small.setPixelSize(std::max(7, static_cast<int>(width * 0.062)));
    painter.setFont(small);
    painter.setPen(QColor(255, 255, 255, 160));
    painter.drawText(QRectF(0, nameBox.bottom(), width, width * 0.1), Qt::AlignCenter,
                     QStringLiteral("AHRS INSTALLATION"));
    return pixmap;
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap = Canvas(QSize(side, side), 1.0);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        DrawIcon(painter, side);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace Artwork
