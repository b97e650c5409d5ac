#include "wizard/ArtworkView.h"

#include <QPainter>

#include <utility>

CArtworkView::CArtworkView(Drawing drawing, QWidget* parent)
    : QWidget(parent), drawing(std::move(drawing)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CArtworkView::paintEvent(QPaintEvent*) {
    const qreal ratio = devicePixelRatioF();
    if (picture.isNull() || picture.deviceIndependentSize().toSize() != size() ||
        picture.devicePixelRatio() != ratio) {
        picture = drawing(size(), ratio);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture);
}
