#pragma once

#include "procedure/StepToken.h"

#include <QTimer>

#include <chrono>
#include <coroutine>
#include <cstdint>
#include <memory>

// A pause of the step `token` belongs to: `real` time on a single-shot timer, awaited on
// the event loop. It ends early when the token is cancelled, and does not begin once it is.
// Its state lives apart from the awaiter, which the compiler may copy.
class CPauseAwaiter {
public:
    CPauseAwaiter(CStepToken token, std::chrono::milliseconds real);

    bool await_ready() const noexcept { return state->token.IsCancelled(); }
    void await_suspend(std::coroutine_handle<> awaiting);
    void await_resume() const noexcept {}

private:
    struct State {
        CStepToken token;
        std::chrono::milliseconds real;
        std::coroutine_handle<> handle;
        std::unique_ptr<QTimer> timer;
        std::uint64_t key = 0;
    };

    static void Wake(const std::shared_ptr<State>& state);

    std::shared_ptr<State> state;
};
