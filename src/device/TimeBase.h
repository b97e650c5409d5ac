#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// The one clock behind every wait, pause, poll interval, timer and timeout of the
// program. Durations are given in program milliseconds. In production a program
// millisecond is a real one; tests and the simulator may run the clock faster by a
// scale factor (20 runs twenty program seconds in one real second), so a whole
// installation can run end to end in seconds without changing any of its timings.
class CTimeBase {
public:
    explicit CTimeBase(double scale = 1.0);

    double Scale() const noexcept { return scale; }

    // Real duration of a program duration (never negative).
    std::chrono::steady_clock::duration ToReal(double programMs) const noexcept;

    // Program milliseconds elapsed since an arbitrary fixed point (monotonic).
    double NowMs() const noexcept;

    // Blocks the calling thread for a program duration: for the port's listener thread.
    // The user-interface thread never blocks: its waits are awaited on its event loop.
    void Sleep(double programMs) const;

    // Waits on a condition variable for at most a program duration; returns the
    // predicate's last value, as std::condition_variable::wait_for does.
    template <class Predicate>
    bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, double programMs,
                 Predicate predicate) const {
        return cv.wait_for(lock, ToReal(programMs), predicate);
    }

private:
    double scale;
};
