#include "procedure/StepToken.h"

#include <QCoroTimer>

#include <algorithm>
#include <utility>

CStepToken::CStepToken() : shared(std::make_shared<Shared>()) {}

bool CStepToken::IsCancelled() const {
    return shared->cancelled;
}

void CStepToken::Cancel() const {
    shared->cancelled = true;
    for (const QPointer<QTimer>& timer : shared->pending) {
        if (timer) {
            timer->start(0); // its await resumes on the next turn, outside this call
        }
    }
}

QCoro::Task<void> CStepToken::Pause(std::chrono::milliseconds real) const {
    return PauseOn(shared, real);
}

// Takes the shared state by value: the frame keeps it alive while the pause is awaited.
QCoro::Task<void> CStepToken::PauseOn(std::shared_ptr<Shared> shared,
                                      std::chrono::milliseconds real) {
    if (shared->cancelled) {
        co_return;
    }
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    shared->pending.emplace_back(&timer);
    timer.start(std::max(real, std::chrono::milliseconds(0)));
    co_await timer;
    // Also drops the entries of pauses whose frames went away without resuming.
    std::erase_if(shared->pending,
                  [&timer](const QPointer<QTimer>& entry) { return !entry || entry == &timer; });
}
