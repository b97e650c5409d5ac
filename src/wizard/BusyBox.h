#pragma once

#include <QFont>
#include <QPointer>
#include <QString>

#include <initializer_list>
#include <memory>
#include <vector>

class QWidget;

// The small modeless "please wait" box a page shows while it blocks: one centred line of
// text in a frame without a caption. Without an owner it is a free top-level window centred
// on the work area of the screen; with one (a page, or the wizard), it is centred over the
// owner's window and kept above it. A box shown while the technician watches part of the
// page stands clear of that part when the window has room. A step that counts its way
// through may show its progress as a bar under the text. Pages own their boxes as members.
class CBusyBox {
public:
    CBusyBox(QWidget* owner, const QString& text);
    ~CBusyBox();

    CBusyBox(const CBusyBox&) = delete;
    CBusyBox& operator=(const CBusyBox&) = delete;

    // Shows the kept text, centres the box and paints it at once, so that it is visible
    // even when the page then blocks.
    void Show();
    void Hide();
    void SetText(const QString& text);
    void SetFont(const QFont& font);
    // Shows how far a long step has come as a bar under the text (hidden until first used);
    // the box grows to hold it.
    void SetProgress(int done, int total);
    // Widgets the box leaves uncovered when shown: it moves below them, or above them,
    // within its owner's window.
    void KeepClearOf(std::initializer_list<QWidget*> widgets);
    // A box that stays up between steps (a collection the ticks carry, a power cycle) never
    // blocks its page; any other is application-modal while it stands in front of a step.
    void LeavePageUsable() { pageUsable = true; }
    bool IsVisible() const;
    // The box window (tests look at it).
    QWidget* Window() const;

private:
    QPoint Placed(const QWidget* box) const;

    QPointer<QWidget> owner;
    std::vector<QPointer<QWidget>> keepClear;
    QString text;
    bool pageUsable = false;
    std::unique_ptr<QWidget> window;
};
