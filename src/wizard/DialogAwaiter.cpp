#include "wizard/DialogAwaiter.h"

#include <QCoreApplication>

#include <utility>

CDialogAwaiter::CDialogAwaiter(QDialog& dialog, CStepToken token, int cancelAnswer)
    : state(std::make_shared<State>(State{&dialog, std::move(token), cancelAnswer, {}, {}, 0})) {}

void CDialogAwaiter::await_suspend(std::coroutine_handle<> awaiting) {
    state->handle = awaiting;
    // The step goes on from the event loop: the dialog that finished is still inside its
    // own signal, and the step may delete it.
    state->connection = QObject::connect(
        state->dialog, &QDialog::finished, [weak = std::weak_ptr(state)](int result) {
            if (const std::shared_ptr<State> held = weak.lock()) {
                held->answer = result;
                QObject::disconnect(held->connection);
                QMetaObject::invokeMethod(
                    QCoreApplication::instance(),
                    [weak] {
                        if (const std::shared_ptr<State> again = weak.lock()) {
                            Resume(again);
                        }
                    },
                    Qt::QueuedConnection);
            }
        });
    state->key = state->token.OnCancel([held = state] {
        held->key = 0; // Cancel has dropped it already
        QObject::disconnect(held->connection);
        if (held->dialog) {
            held->dialog->done(held->answer); // the cancel answer, still unchanged
        }
        Resume(held); // at once: a cancelled step unwinds inside Cancel
    });
    QDialog* dialog = state->dialog;
    if (dialog->windowModality() == Qt::NonModal) {
        dialog->setWindowModality(Qt::ApplicationModal); // nothing else is pressed meanwhile
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

// Resumes the awaiting coroutine once.
void CDialogAwaiter::Resume(const std::shared_ptr<State>& state) {
    if (!state->handle) {
        return;
    }
    if (state->key != 0) {
        state->token.Forget(std::exchange(state->key, 0));
    }
    std::exchange(state->handle, {}).resume();
}
