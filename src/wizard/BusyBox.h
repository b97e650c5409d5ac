#pragma once

#include <QFont>
#include <QPointer>
#include <QString>

#include <memory>

class QWidget;

// The small modeless "please wait" box a page shows while it blocks: one centred line of
// text in a frame without a caption. Without an owner (a box built in a page constructor)
// it is a free top-level window centred on the work area of the screen; with one, it is
// centred over the owner and kept above it. A step that counts its way through may show its
// progress as a bar under the text. Pages own their boxes as members.
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
    bool IsVisible() const;
    // The box window (tests look at it).
    QWidget* Window() const;

private:
    QPointer<QWidget> owner;
    QString text;
    std::unique_ptr<QWidget> window;
};
