#include "wizard/BusyBox.h"

#include "wizard/Geometry.h"
#include "wizard/WaitDoor.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>
#include <QWindow>

#include <chrono>

namespace {

constexpr int kBoxWidthUnits = 186;
constexpr int kBoxHeightUnits = 38;
// How long Show gives the window system to map and paint a new box.
constexpr auto kFirstPaintBound = std::chrono::milliseconds(250);

// The box window: a raised panel with one centred, wrapped line of text.
class CBusyWindow : public QWidget {
public:
    explicit CBusyWindow(bool ownerless)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                               (ownerless ? Qt::WindowStaysOnTopHint : Qt::Widget)) {
        setObjectName(QStringLiteral("busyBox"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAutoFillBackground(false);
    }

    void SetText(const QString& newText) {
        text = newText;
        setAccessibleName(text);
        setWindowTitle(text);
        update();
    }
    int PaintCount() const { return paintCount; }

protected:
    void paintEvent(QPaintEvent*) override {
        ++paintCount;
        QPainter painter(this);
        const QRect outer = rect().adjusted(0, 0, -1, -1);
        painter.fillRect(rect(), palette().window());
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawRect(outer);
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(outer.topLeft() + QPoint(1, 1), outer.topRight() + QPoint(-1, 1));
        painter.drawLine(outer.topLeft() + QPoint(1, 1), outer.bottomLeft() + QPoint(1, -1));
        painter.setPen(palette().color(QPalette::WindowText));
        const int margin = fontMetrics().averageCharWidth() * 2;
        painter.drawText(rect().adjusted(margin, 0, -margin, 0), Qt::AlignCenter | Qt::TextWordWrap,
                         text);
    }

private:
    QString text;
    int paintCount = 0;
};

CBusyWindow* BoxWindow(const std::unique_ptr<QWidget>& window) {
    return static_cast<CBusyWindow*>(window.get());
}

} // namespace

CBusyBox::CBusyBox(QWidget* owner, const QString& text)
    : owner(owner), text(text), window(std::make_unique<CBusyWindow>(owner == nullptr)) {
    BoxWindow(window)->SetText(text);
}

CBusyBox::~CBusyBox() = default;

void CBusyBox::Show() {
    CBusyWindow* box = BoxWindow(window);
    box->SetText(text);
    QSize size = DialogUnitsToPixels(box, kBoxWidthUnits, kBoxHeightUnits);
    // A text longer than the box widens it rather than being cut.
    const int needed =
        box->fontMetrics().horizontalAdvance(text) + box->fontMetrics().averageCharWidth() * 6;
    size.setWidth(std::max(size.width(), std::min(needed, size.width() * 2)));
    box->setFixedSize(size);
    if (!owner.isNull()) {
        box->winId(); // creates the platform window, so it can stay above its owner
        box->windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
    box->move(CentredPosition(box, owner.data()));
    const int paintsBefore = box->PaintCount();
    if (box->isVisible()) {
        box->raise(); // shown again while it may be covered
    }
    box->show();
    box->repaint();
    // Until the window system shows the new window and it has painted, within a bound.
    const auto until = std::chrono::steady_clock::now() + kFirstPaintBound;
    CWaitDoor::Wait(
        [box, paintsBefore] {
            return box->windowHandle() != nullptr && box->windowHandle()->isExposed() &&
                   box->PaintCount() > paintsBefore;
        },
        [until] { return std::chrono::steady_clock::now() >= until; });
}

void CBusyBox::Hide() {
    window->hide();
}

void CBusyBox::SetText(const QString& newText) {
    text = newText;
    if (window->isVisible()) {
        BoxWindow(window)->SetText(text);
    }
}

void CBusyBox::SetFont(const QFont& font) {
    window->setFont(font);
}

bool CBusyBox::IsVisible() const {
    return window->isVisible();
}

QWidget* CBusyBox::Window() const {
    return window.get();
}
