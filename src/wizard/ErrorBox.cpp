#include "wizard/ErrorBox.h"

#include "records/PlainText.h"
#include "wizard/DialogAwaiter.h"

#include <system_error>

namespace {

// The answer of a box that a cancelled step does not show: the one Escape gives.
QMessageBox::StandardButton EscapeAnswer(QMessageBox::StandardButtons buttons) {
    for (const QMessageBox::StandardButton button : {QMessageBox::Cancel, QMessageBox::No}) {
        if (buttons.testFlag(button)) {
            return button;
        }
    }
    return buttons.testFlag(QMessageBox::Ok) ? QMessageBox::Ok : QMessageBox::NoButton;
}

} // namespace

QCoro::Task<QMessageBox::StandardButton> ShowMessageBox(CStepToken token, QMessageBox::Icon icon,
                                                        QString text, QString caption,
                                                        QMessageBox::StandardButtons buttons) {
    if (token.IsCancelled()) {
        co_return EscapeAnswer(buttons);
    }
    QMessageBox box(icon, caption, text, buttons);
    box.setObjectName(QStringLiteral("messageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    if (buttons.testFlag(QMessageBox::Ok)) {
        box.setDefaultButton(QMessageBox::Ok);
    }
    // A named awaiter: see CStepToken::Pause.
    CDialogAwaiter answered(box, token, EscapeAnswer(buttons));
    const int answer = co_await answered;
    co_return static_cast<QMessageBox::StandardButton>(answer);
}

QCoro::Task<bool> ShowErrorBox(CStepToken token, QString text, QString caption) {
    const QMessageBox::StandardButton answer =
        co_await ShowMessageBox(std::move(token), QMessageBox::Warning, std::move(text),
                                std::move(caption), QMessageBox::Ok | QMessageBox::Cancel);
    co_return answer == QMessageBox::Ok;
}

QCoro::Task<void> ShowLostCommunicationBox(CStepToken token) {
    const bool answered = co_await ShowErrorBox(
        std::move(token),
        QStringLiteral(
            "Lost communication with the HX410.  Returning to Comm port selection page."),
        QStringLiteral("Error communicating with HX410."));
    static_cast<void>(answered); // either answer goes to the connection page
}

QCoro::Task<void> ShowWriteFailureBox(CStepToken token, QString what, std::string path, int error,
                                      QString consequence, QString caption) {
    const QString reason = error != 0
                               ? QString::fromStdString(std::generic_category().message(error))
                               : QStringLiteral("The file could not be written completely");
    co_await ShowMessageBox(
        std::move(token), QMessageBox::Warning,
        QStringLiteral("%1\n%2\n\nReason: %3.\n\n%4")
            .arg(what, QString::fromStdString(Utf8FromBytes(path)), reason, consequence),
        std::move(caption), QMessageBox::Ok);
}
