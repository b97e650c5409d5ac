#include "report/PageContext.h"

#include <QPagedPaintDevice>

#include <utility>

CPageContext::CPageContext(int resolution, QPoint origin, int page, QDateTime printed)
    : resolution(resolution), origin(origin), page(page), printed(std::move(printed)) {}

CPageContext CPageContext::ForDevice(const QPaintDevice& device, int page,
                                     const QDateTime& printed) {
    const int resolution = device.logicalDpiY();
    QPoint origin;
    // A paged device draws from the top-left corner of its printable area.
    if (const auto* paged = dynamic_cast<const QPagedPaintDevice*>(&device)) {
        origin = paged->pageLayout().paintRectPixels(resolution).topLeft();
    }
    return CPageContext(resolution, origin, page, printed);
}

int CPageContext::ToPixels(double inches) const {
    return static_cast<int>(resolution * inches + 0.5);
}

QRect CPageContext::ToDevice(const InchRect& rect) const {
    const QPoint topLeft(ToPixels(rect.left), ToPixels(rect.top));
    const QPoint bottomRight(ToPixels(rect.right), ToPixels(rect.bottom));
    return QRect(topLeft - origin,
                 QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()));
}

int CPageContext::CellHeight(int size) const {
    return static_cast<int>(resolution * size / 720.0 + 0.5);
}

QString CPageContext::Substitute(QString text) const {
    text.replace(QStringLiteral("[%page%]"), QString::number(page));
    text.replace(QStringLiteral("[%date%]"), printed.toString(QStringLiteral("MM/dd/yy")));
    text.replace(QStringLiteral("[%time%]"), printed.toString(QStringLiteral("HH:mm:ss")));
    return text;
}
