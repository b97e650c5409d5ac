#include "wizard/MountArtwork.h"

#include <QColor>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace {

const QColor kNavy(0x0b, 0x2a, 0x4d);
const QColor kSteel(0x1d, 0x4f, 0x86);
const QColor kPale(0xe9, 0xf0, 0xf8);
const QColor kCase(0x3a, 0x3f, 0x46);
const QColor kLid(0x56, 0x5d, 0x66);
const QColor kConnector(0xb8, 0x9a, 0x4a);
const QColor kArrow(0xf2, 0xc1, 0x1d);

QFont PictureFont(int pixels) {
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(pixels);
    font.setBold(true);
    return font;
}

// The aircraft's forward direction along the top: a slim arrow with "FWD".
void DrawForward(QPainter& painter, double side) {
    const double x = side * 0.12;
    painter.setPen(QPen(kSteel, 2.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(x, side * 0.30), QPointF(x, side * 0.08));
    QPolygonF head;
    head << QPointF(x, side * 0.04) << QPointF(x + 5, side * 0.12) << QPointF(x - 5, side * 0.12);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kSteel);
    painter.drawPolygon(head);
    painter.setPen(kSteel);
    painter.setFont(PictureFont(11));
    painter.drawText(QRectF(0, side * 0.31, x * 2, 14), Qt::AlignCenter, QStringLiteral("FWD"));
}

// The unit centred on the origin, its arrow pointing up and its connector at its foot.
void DrawUnit(QPainter& painter) {
    // Mounting flanges with their screw holes.
    painter.setPen(QPen(kNavy, 1.0));
    painter.setBrush(QColor(0x9a, 0xa3, 0xad));
    painter.drawRoundedRect(QRectF(-46, -34, 92, 68), 6, 6);
    painter.setBrush(kPale);
    for (const QPointF& hole :
         {QPointF(-39, -27), QPointF(39, -27), QPointF(-39, 27), QPointF(39, 27)}) {
        painter.drawEllipse(hole, 3.2, 3.2);
    }
    // The case and its lid.
    QLinearGradient lid(0, -44, 0, 44);
    lid.setColorAt(0, kLid);
    lid.setColorAt(1, kCase);
    painter.setBrush(lid);
    painter.drawRoundedRect(QRectF(-30, -44, 60, 88), 5, 5);
    // The arrow on the lid.
    QPolygonF arrow;
    arrow << QPointF(0, -36) << QPointF(14, -18) << QPointF(5, -18) << QPointF(5, 16)
          << QPointF(-5, 16) << QPointF(-5, -18) << QPointF(-14, -18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kArrow);
    painter.drawPolygon(arrow);
    // The connector at the foot: shell and pins.
    painter.setPen(QPen(kNavy, 1.0));
    painter.setBrush(kConnector);
    QPainterPath shell;
    shell.moveTo(-17, 44);
    shell.lineTo(17, 44);
    shell.lineTo(14, 54);
    shell.lineTo(-14, 54);
    shell.closeSubpath();
    painter.drawPath(shell);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kNavy);
    for (int pin = 0; pin < 5; ++pin) {
        painter.drawEllipse(QPointF(-10 + pin * 5.0, 49), 1.3, 1.3);
    }
}

} // namespace

namespace MountArtwork {

QImage MountPicture(int id) {
    QImage image(kPictureSide, kPictureSide, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double side = kPictureSide;
    QLinearGradient ground(0, 0, 0, side);
    ground.setColorAt(0, Qt::white);
    ground.setColorAt(1, kPale);
    painter.fillRect(QRectF(0, 0, side, side), ground);
    painter.setPen(QPen(QColor(0xc4, 0xd2, 0xe3), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(0.5, 0.5, side - 1, side - 1));
    DrawForward(painter, side);

    // Each mount turns the unit by a quarter turn: 8 arrow forward, 9 right, 10 aft, 11 left.
    painter.save();
    painter.translate(side * 0.55, side * 0.52);
    painter.rotate((id - 8) * 90.0);
    DrawUnit(painter);
    painter.restore();

    painter.setPen(kNavy);
    painter.setFont(PictureFont(16));
    painter.drawText(QRectF(side - 34, side - 26, 28, 22), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(id));
    return image;
}

} // namespace MountArtwork
