#pragma once

#include "procedure/StepToken.h"

#include <QCoroTask>
#include <QMessageBox>
#include <QString>

#include <string>

// A task-modal message box without an owner window: fixed text and caption, plain text
// (line breaks kept), the first button the default. It is shown without blocking and
// awaited; the answer is the button pressed (Escape and the window's close button give
// the escape button). A cancelled step shows no box and gets the escape button at once;
// cancelling while the box is open closes it the same way.
QCoro::Task<QMessageBox::StandardButton> ShowMessageBox(CStepToken token, QMessageBox::Icon icon,
                                                        QString text, QString caption,
                                                        QMessageBox::StandardButtons buttons);

// The shared warning box with OK and Cancel; true when the answer was OK. Callers that
// only inform ignore the answer.
QCoro::Task<bool> ShowErrorBox(CStepToken token, QString text, QString caption);

// The box of the wizard's recovery path when the unit stops talking, with OK and Cancel.
QCoro::Task<void> ShowLostCommunicationBox(CStepToken token);

// The warning box for a file that could not be written, with OK: `what` (the sentence that
// ends in the file's name), the path, the reason (`error`, an errno value, or 0 when the
// write was cut short) and `consequence`.
QCoro::Task<void> ShowWriteFailureBox(CStepToken token, QString what, std::string path, int error,
                                      QString consequence, QString caption);
