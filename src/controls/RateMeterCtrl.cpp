#include "controls/RateMeterCtrl.h"

#include "controls/DrawingCoordinates.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kLineWidth = 2;

} // namespace

CRateMeterCtrl::CRateMeterCtrl(double fullScale, double greenFraction, QWidget* parent)
    : QWidget(parent), fullScale(fullScale), greenFraction(greenFraction) {
    setObjectName(QStringLiteral("rateMeter"));
    setAccessibleName(tr("Rate Meter"));
}

QSize CRateMeterCtrl::sizeHint() const {
    return {104, 16};
}

void CRateMeterCtrl::SetValue(double newValue) {
    value = newValue;
    update();
}

int CRateMeterCtrl::LinePosition(int width) const {
    const int c = width / 2;
    if (c < 1) {
        return 0;
    }
    // Clamped before the conversion to int, so huge or infinite values stay defined.
    const double x = value / fullScale * c;
    if (std::isnan(x)) {
        return 0;
    }
    return static_cast<int>(std::clamp(x, 1.0 - c, c - 1.0));
}

void CRateMeterCtrl::paintEvent(QPaintEvent* /*event*/) {
    const int w = width();
    const int h = height();
    const int g = static_cast<int>(greenFraction * w);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(255, 64, 64));
    painter.fillRect(QRect(w / 2 - g, 0, 2 * g, h), QColor(0, 255, 0));

    painter.setTransform(DrawingTransform(size()));
    painter.setPen(QPen(Qt::black, kLineWidth));
    const int x = LinePosition(w);
    painter.drawLine(QPoint(x, h / 2 - 1), QPoint(x, 1 - h / 2));
}
