#include "wizard/MountPictureView.h"

#include <QPainter>

CMountPictureView::CMountPictureView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Mount position picture"));
}

void CMountPictureView::SetPicture(const QImage& image) {
    picture = image;
    update();
}

void CMountPictureView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    if (!picture.isNull()) {
        painter.drawImage(QPoint(0, 0), picture);
        return;
    }
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Could not load bitmap file from"));
}
