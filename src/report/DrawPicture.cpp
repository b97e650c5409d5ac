#include "report/DrawPicture.h"

#include <QPainter>

void CDrawPicture::Draw(QPainter& painter, const CPageContext& context) const {
    const QRect box = context.ToDevice(Rect());
    painter.save();
    if (frame) {
        painter.setPen(QPen(frame->colour, context.ToPixels(frame->width), frame->style));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(box);
    }
    if (!picture.isNull()) {
        // One pixel inside the rectangle, so a frame stays visible round the picture.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(box.adjusted(1, 1, -1, -1), picture);
    }
    painter.restore();
}
