#pragma once

#include <QCoroTask>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

// The cancellation side of a step: a flag and the waits that are pending now. Copies share
// both. Every wait keeps a copy of its own, so that after it resumes it can tell that its
// step was cancelled even when the context that started it is gone.
//
// Cancelling resumes every pending wait at once, inside Cancel, and a wait started after
// it does not suspend at all: a cancelled step runs to its end without returning to the
// event loop, so its owner can cancel it and then go away. User-interface thread only.
class CStepToken {
public:
    CStepToken();

    bool IsCancelled() const;
    // Sets the flag and ends every pending wait now, in the order they began.
    void Cancel() const;

    // Registers `wake`, called once by Cancel; the returned key unregisters it.
    std::uint64_t OnCancel(std::function<void()> wake) const;
    void Forget(std::uint64_t key) const;

    // A pause of `real` time on a single-shot timer, awaited on the event loop (see
    // CPauseAwaiter).
    QCoro::Task<void> Pause(std::chrono::milliseconds real) const;

private:
    struct Shared {
        bool cancelled = false;
        std::uint64_t nextKey = 1;
        std::map<std::uint64_t, std::function<void()>> wakes;
    };

    std::shared_ptr<Shared> shared;
};
