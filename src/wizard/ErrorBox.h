#pragma once

#include <QMessageBox>
#include <QString>

// A task-modal message box without an owner window: fixed text and caption, plain text
// (line breaks kept), the first button the default. Returns the button pressed
// (Escape and the window's close button give the escape button).
QMessageBox::StandardButton ShowMessageBox(QMessageBox::Icon icon, const QString& text,
                                           const QString& caption,
                                           QMessageBox::StandardButtons buttons);

// The shared warning box with OK and Cancel; true when the answer was OK. Callers that
// only inform ignore the answer.
bool ShowErrorBox(const QString& text, const QString& caption);
