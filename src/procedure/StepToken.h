#pragma once

#include <QCoroTask>
#include <QPointer>
#include <QTimer>

#include <chrono>
#include <memory>
#include <vector>

// The cancellation side of a step: a flag and the pauses that are waiting now. Copies
// share both. Every wait keeps a copy of its own, so that after it resumes it can tell
// that its step was cancelled even when the context that started it is gone.
// User-interface thread only.
class CStepToken {
public:
    CStepToken();

    bool IsCancelled() const;
    // Sets the flag and ends every pending pause on the event loop's next turn; pauses
    // started later return at once.
    void Cancel() const;

    // A pause of `real` time on a single-shot timer, awaited on the event loop; it ends
    // early when the token is cancelled.
    QCoro::Task<void> Pause(std::chrono::milliseconds real) const;

private:
    struct Shared {
        bool cancelled = false;
        std::vector<QPointer<QTimer>> pending; // the timers of the pauses now awaited
    };

    static QCoro::Task<void> PauseOn(std::shared_ptr<Shared> shared,
                                     std::chrono::milliseconds real);

    std::shared_ptr<Shared> shared;
};
