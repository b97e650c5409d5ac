#include "report/DrawLabel.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

CDrawLabel::CDrawLabel(const TextStyle& style) : style(style) {}

QFont CDrawLabel::MakeFont(const TextStyle& style, int cellHeight) {
    QFont font(style.face);
    font.setWeight(style.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    font.setStrikeOut(style.strikeOut);
    // Sizes are given as the height of the character cell; the em is a fixed share of it for
    // a given face, measured once at a large size where hinting does not distort it.
    constexpr int kReferenceSize = 1000;
    font.setPixelSize(kReferenceSize);
    const double cellPerEm = QFontMetricsF(font).height() / kReferenceSize;
    if (cellPerEm > 0.0) {
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(cellHeight / cellPerEm))));
    }
    return font;
}

void CDrawLabel::Draw(QPainter& painter, const CPageContext& context) const {
    TextStyle drawStyle = style;
    QString drawText = text;
    if (!verbatim) {
        Resolve(drawStyle, drawText);
        drawText = context.Substitute(drawText);
    }

    const QRect box = context.ToDevice(Rect());
    const int alignment =
        Qt::AlignTop |
        (drawStyle.align == TextStyle::Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft);
    painter.save();
    painter.setClipRect(box, Qt::IntersectClip);
    painter.setFont(MakeFont(drawStyle, context.CellHeight(drawStyle.size)));
    painter.setPen(drawStyle.colour);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(box, alignment | Qt::TextWordWrap, drawText);
    painter.restore();
}
