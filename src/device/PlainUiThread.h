#pragma once

#include "device/TimeBase.h"
#include "device/UiThread.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

// A user-interface thread without a toolkit: a task queue and one-shot timers on the
// program's time base. It runs either on a thread of its own (Start/Stop) or on the
// caller's thread (RunUntil/RunFor/RunPending), which is how tests and the command-line
// tools drive it. Tasks run in the order they were posted; a due timer runs after the
// tasks already queued.
class CPlainUiThread : public IUiThread {
public:
    explicit CPlainUiThread(CTimeBase timeBase = CTimeBase());
    ~CPlainUiThread() override;

    CPlainUiThread(const CPlainUiThread&) = delete;
    CPlainUiThread& operator=(const CPlainUiThread&) = delete;

    void Post(std::function<void()> task) override;
    void StartTimer(int id, double programMs, std::function<void()> onExpiry) override;
    void StopTimer(int id) override;

    // Caller-driven loop: runs tasks and due timers on the calling thread until `done`
    // returns true (checked after every item, and every few real milliseconds while
    // idle) or `programMs` have passed. Returns the last value of `done`.
    bool RunUntil(const std::function<bool()>& done, double programMs);
    void RunFor(double programMs);
    // Runs what is queued or due now, without waiting; returns how many items ran.
    std::size_t RunPending();

    // Own-thread mode. Start does nothing when the loop already runs; Stop returns once
    // the thread has finished the item it was running, and items still queued are
    // dropped. The object must not be destroyed from one of its own tasks.
    void Start();
    void Stop();

    // True on the thread that currently runs the loop.
    bool IsUiThread() const;
    const CTimeBase& TimeBase() const { return timeBase; }

private:
    static constexpr double kConditionPollRealMs = 2;

    struct Timer {
        double dueMs = 0;
        std::function<void()> onExpiry;
    };

    // Takes the next runnable item (a task, else a due timer), waiting up to `untilMs`
    // (program time) for one. Returns an empty function when none came in time.
    std::function<void()> TakeNext(std::unique_lock<std::mutex>& lock, double untilMs);
    std::function<void()> TakeReady();
    bool RunOne(double untilMs);
    void ThreadMain();

    CTimeBase timeBase;
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks;
    std::map<int, Timer> timers;
    std::uint64_t changeCount = 0;
    bool stopRequested = false;
    std::thread::id loopThread;
    std::thread thread;
};
