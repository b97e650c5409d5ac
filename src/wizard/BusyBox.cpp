#include "wizard/BusyBox.h"

#include "wizard/Geometry.h"
#include "wizard/WizardPage.h"

#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kBoxWidthUnits = 186;
constexpr int kBoxHeightUnits = 38;
// Height added under the text for the progress bar, and the bar's own height.
constexpr int kProgressExtraUnits = 16;
constexpr int kProgressBarUnits = 10;

// The box window: a raised panel with one centred, wrapped line of text.
class CBusyWindow : public QWidget {
public:
    explicit CBusyWindow(bool ownerless)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint |
                               (ownerless ? Qt::WindowStaysOnTopHint : Qt::Widget)) {
        setObjectName(QStringLiteral("busyBox"));
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAutoFillBackground(false);
        progress.setObjectName(QStringLiteral("busyProgressBar"));
        progress.setTextVisible(false);
        progress.hide();
    }

    void SetText(const QString& newText) {
        text = newText;
        setAccessibleName(text);
        setWindowTitle(text);
        update();
    }
    int PaintCount() const { return paintCount; }
    QProgressBar& Progress() { return progress; }

    // Places the bar along the bottom of the box, inside the text margins.
    void PlaceProgress(int barHeight, int bottomGap) {
        const int margin = fontMetrics().averageCharWidth() * 2;
        progress.setGeometry(margin, height() - bottomGap - barHeight, width() - 2 * margin,
                             barHeight);
    }
    int TextHeight() const { return progress.isHidden() ? height() : progress.y(); }

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
        painter.drawText(QRect(margin, 0, width() - 2 * margin, TextHeight()),
                         Qt::AlignCenter | Qt::TextWordWrap, text);
    }

private:
    QString text;
    int paintCount = 0;
    QProgressBar progress{this};
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
    // In front of a step's wait the technician can press nothing else; a box that stays up
    // between steps (a power cycle, a collection) leaves its page usable.
    const auto* page = qobject_cast<const CWizardPage*>(owner.data());
    const bool modal = !pageUsable && page != nullptr && page->IsStepRunning();
    if (box->isModal() != modal && !box->isVisible()) {
        box->setWindowModality(modal ? Qt::ApplicationModal : Qt::NonModal);
    }
    box->SetText(text);
    const bool withProgress = !box->Progress().isHidden();
    QSize size = DialogUnitsToPixels(box, kBoxWidthUnits,
                                     kBoxHeightUnits + (withProgress ? kProgressExtraUnits : 0));
    // A text longer than the box widens it rather than being cut.
    const int needed =
        box->fontMetrics().horizontalAdvance(text) + box->fontMetrics().averageCharWidth() * 6;
    size.setWidth(std::max(size.width(), std::min(needed, size.width() * 2)));
    box->setFixedSize(size);
    if (withProgress) {
        const QSize bar = DialogUnitsToPixels(box, 0, kProgressBarUnits);
        box->PlaceProgress(bar.height(), bar.height());
    }
    if (!owner.isNull()) {
        box->winId(); // creates the platform window, so it can stay above its owner
        box->windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
    box->move(Placed(box));
    if (box->isVisible()) {
        box->raise(); // shown again while it may be covered
    }
    box->show();
    box->repaint();
}

// Centred over the owner's window, then clear of the widgets the technician watches.
QPoint CBusyBox::Placed(const QWidget* box) const {
    const QPoint centred = CentredPosition(box, owner.data());
    QRect watched;
    for (const QPointer<QWidget>& widget : keepClear) {
        if (!widget.isNull() && widget->isVisible()) {
            watched |= QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
        }
    }
    if (owner.isNull() || watched.isEmpty()) {
        return centred;
    }
    const QSize size = box->frameGeometry().size();
    return ClearOf(QRect(centred, size), watched, owner->window()->geometry(),
                   DialogUnitsToPixels(box, 0, 2).height());
}

void CBusyBox::KeepClearOf(std::initializer_list<QWidget*> widgets) {
    keepClear.assign(widgets.begin(), widgets.end());
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

void CBusyBox::SetProgress(int done, int total) {
    CBusyWindow* box = BoxWindow(window);
    QProgressBar& bar = box->Progress();
    bar.setRange(0, std::max(total, 1));
    bar.setValue(std::clamp(done, 0, std::max(total, 1)));
    bar.setAccessibleName(QStringLiteral("%1 of %2").arg(done).arg(total));
    if (bar.isHidden()) {
        bar.show();
        if (box->isVisible()) {
            Show(); // regrows and recentres the box around its new bar
        }
    }
}

bool CBusyBox::IsVisible() const {
    return window->isVisible();
}

QWidget* CBusyBox::Window() const {
    return window.get();
}
