#include "wizard/Geometry.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDesignDpi = 96.0;
constexpr int kDialogFontAverageWidth = 6;
constexpr int kDialogFontHeight = 13;

QScreen* ScreenOf(const QWidget* window, const QWidget* owner) {
    if (owner != nullptr && owner->screen() != nullptr) {
        return owner->screen();
    }
    if (window != nullptr && window->screen() != nullptr) {
        return window->screen();
    }
    return QGuiApplication::primaryScreen();
}

} // namespace

double ScreenScale(const QWidget* widget) {
    const int dpi = widget != nullptr ? widget->logicalDpiY() : 0;
    return dpi > 0 ? dpi / kDesignDpi : 1.0;
}

QSize DialogUnitsToPixels(const QWidget* widget, int widthUnits, int heightUnits) {
    const double scale = ScreenScale(widget);
    return {static_cast<int>(std::lround(widthUnits * kDialogFontAverageWidth / 4.0 * scale)),
            static_cast<int>(std::lround(heightUnits * kDialogFontHeight / 8.0 * scale))};
}

QPoint CentredPosition(const QWidget* window, const QWidget* owner) {
    // A page owns its boxes, but they go over its window: a child's frame geometry is in
    // its parent's coordinates, the window's is on the screen.
    owner = owner != nullptr ? owner->window() : nullptr;
    const QScreen* screen = ScreenOf(window, owner);
    const QRect workArea = screen != nullptr ? screen->availableGeometry() : QRect();
    const bool ownerUsable = owner != nullptr && owner->isVisible() && !owner->isMinimized();
    const QRect over = ownerUsable ? owner->frameGeometry() : workArea;
    const QSize size = window->frameGeometry().size();
    QPoint topLeft(over.center().x() - size.width() / 2, over.center().y() - size.height() / 2);
    if (workArea.isValid()) {
        // Right and bottom edges first, then left and top: a window larger than the work
        // area keeps its title bar reachable.
        topLeft.setX(std::min(topLeft.x(), workArea.right() + 1 - size.width()));
        topLeft.setY(std::min(topLeft.y(), workArea.bottom() + 1 - size.height()));
        topLeft.setX(std::max(topLeft.x(), workArea.left()));
        topLeft.setY(std::max(topLeft.y(), workArea.top()));
    }
    return topLeft;
}

QPoint ClearOf(const QRect& box, const QRect& keepClear, const QRect& within, int gap) {
    if (!box.intersects(keepClear)) {
        return box.topLeft();
    }
    const QPoint below(box.left(), keepClear.bottom() + 1 + gap);
    const QPoint above(box.left(), keepClear.top() - gap - box.height());
    for (const QPoint& at : {below, above}) {
        if (within.contains(QRect(at, box.size()))) {
            return at;
        }
    }
    return box.topLeft();
}

QFont BoldFontOfHeight(const QWidget* widget, int pixels) {
    QFont font = widget->font();
    font.setBold(true);
    const int height = std::max(1, static_cast<int>(std::lround(pixels * ScreenScale(widget))));
    int size = height;
    font.setPixelSize(size);
    while (size > 1 && QFontMetrics(font).height() > height) {
        font.setPixelSize(--size);
    }
    return font;
}
