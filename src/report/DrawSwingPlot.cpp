#include "report/DrawSwingPlot.h"

#include "report/DrawLabel.h"
#include "report/SwingPlot.h"

#include <QPainter>

void CDrawSwingPlot::Draw(QPainter& painter, const CPageContext& context) const {
    const TextStyle style;
    painter.save();
    painter.setFont(CDrawLabel::MakeFont(style, context.CellHeight(style.size)));
    PaintSwingPlot(painter, QRectF(context.ToDevice(Rect())), swing, toleranceDeg);
    painter.restore();
}
