#pragma once

#include "procedure/StepToken.h"

#include <QDialog>
#include <QPointer>

#include <coroutine>
#include <cstdint>
#include <memory>

// Shows a dialog without blocking and awaits its answer (QDialog::DialogCode or a button):
// the awaiting coroutine resumes when the dialog finishes. A cancelled step does not show
// it and gets `cancelAnswer`; cancelling while it is open closes it with that answer. Its
// state lives apart from the awaiter, which the compiler may copy.
class CDialogAwaiter {
public:
    CDialogAwaiter(QDialog& dialog, CStepToken token, int cancelAnswer);

    bool await_ready() const noexcept { return state->token.IsCancelled(); }
    void await_suspend(std::coroutine_handle<> awaiting);
    int await_resume() const noexcept { return state->answer; }

private:
    struct State {
        QPointer<QDialog> dialog;
        CStepToken token;
        int answer = 0;
        std::coroutine_handle<> handle;
        QMetaObject::Connection connection;
        std::uint64_t key = 0;
    };

    static void Resume(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state;
};
