#pragma once

#include <QMessageBox>
#include <QString>

#include <string>

// A task-modal message box without an owner window: fixed text and caption, plain text
// (line breaks kept), the first button the default. Returns the button pressed
// (Escape and the window's close button give the escape button).
QMessageBox::StandardButton ShowMessageBox(QMessageBox::Icon icon, const QString& text,
                                           const QString& caption,
                                           QMessageBox::StandardButtons buttons);

// The shared warning box with OK and Cancel; true when the answer was OK. Callers that
// only inform ignore the answer.
bool ShowErrorBox(const QString& text, const QString& caption);

// The warning box for a file that could not be written, with OK: `what` (the sentence that
// ends in the file's name), the path, the reason (`error`, an errno value, or 0 when the
// write was cut short) and `consequence`.
void ShowWriteFailureBox(const QString& what, const std::string& path, int error,
                         const QString& consequence, const QString& caption);
