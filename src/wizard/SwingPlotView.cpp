#include "wizard/SwingPlotView.h"

#include "report/SwingPlot.h"
#include "wizard/Geometry.h"

#include <QPainter>

CSwingPlotView::CSwingPlotView(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CSwingPlotView::Show(const CCompassSwing& shown, double tolerance) {
    swing = shown;
    toleranceDeg = tolerance;
    update();
}

QSize CSwingPlotView::sizeHint() const {
    const QSize side = DialogUnitsToPixels(this, 110, 110);
    return {side.height(), side.height()};
}

void CSwingPlotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = std::min(width(), height());
    const QRectF area((width() - side) / 2.0, (height() - side) / 2.0, side, side);
    PaintSwingPlot(painter, area, swing, toleranceDeg);
}
