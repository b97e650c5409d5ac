#include "procedure/StepToken.h"

#include "procedure/PauseAwaiter.h"

#include <algorithm>
#include <utility>

CStepToken::CStepToken() : shared(std::make_shared<Shared>()) {}

bool CStepToken::IsCancelled() const {
    return shared->cancelled;
}

void CStepToken::Cancel() const {
    // Held here: the step that unwinds may destroy the token this was called on.
    const std::shared_ptr<Shared> state = shared;
    state->cancelled = true;
    // Taken one at a time: a resumed wait may forget others (its step ends) meanwhile.
    while (!state->wakes.empty()) {
        auto first = state->wakes.begin();
        std::function<void()> wake = std::move(first->second);
        state->wakes.erase(first);
        if (wake) {
            wake();
        }
    }
}

std::uint64_t CStepToken::OnCancel(std::function<void()> wake) const {
    const std::uint64_t key = shared->nextKey++;
    shared->wakes.emplace(key, std::move(wake));
    return key;
}

void CStepToken::Forget(std::uint64_t key) const {
    shared->wakes.erase(key);
}

// The awaiter is a named object of the coroutine, never a temporary of the co_await
// expression: g++ 12 may end such a temporary's life while the coroutine is suspended.
QCoro::Task<void> CStepToken::Pause(std::chrono::milliseconds real) const {
    CPauseAwaiter pause(*this, real);
    co_await pause;
}
