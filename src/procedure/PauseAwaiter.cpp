#include "procedure/PauseAwaiter.h"

#include <QCoreApplication>

#include <algorithm>
#include <utility>

CPauseAwaiter::CPauseAwaiter(CStepToken token, std::chrono::milliseconds real)
    : state(std::make_shared<State>(
          State{std::move(token), std::max(real, std::chrono::milliseconds(0)), {}, {}, 0})) {}

void CPauseAwaiter::await_suspend(std::coroutine_handle<> awaiting) {
    state->handle = awaiting;
    state->timer = std::make_unique<QTimer>();
    state->timer->setSingleShot(true);
    state->timer->setTimerType(Qt::PreciseTimer);
    // Resumed from the event loop, not inside the timer's own signal: the step that goes on
    // may end this pause's state.
    QTimer* timer = state->timer.get();
    QObject::connect(timer, &QTimer::timeout, timer, [weak = std::weak_ptr(state)] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak] {
                if (const std::shared_ptr<State> held = weak.lock()) {
                    Wake(held);
                }
            },
            Qt::QueuedConnection);
    });
    state->key = state->token.OnCancel([held = state] {
        held->key = 0; // Cancel has dropped it already
        Wake(held);
    });
    state->timer->start(state->real);
}

// Resumes the awaiting coroutine once, from the timer or from Cancel.
void CPauseAwaiter::Wake(const std::shared_ptr<State>& state) {
    if (!state->handle) {
        return;
    }
    if (state->key != 0) {
        state->token.Forget(std::exchange(state->key, 0));
    }
    state->timer->stop();
    std::exchange(state->handle, {}).resume();
}
