#pragma once

#include "device/TimeBase.h"

#include <functional>

// How the device layer reaches the user-interface thread. The wizard supplies the Qt
// implementation; tests and the command-line tools supply a plain event loop.
// Durations are program milliseconds of the process's CTimeBase.
class IUiThread {
public:
    virtual ~IUiThread() = default;

    // Queues a task to run on the user-interface thread, after those queued before it.
    virtual void Post(std::function<void()> task) = 0;

    // Starts (or restarts) the one-shot timer `id`; `onExpiry` runs on the
    // user-interface thread when it expires. User-interface thread only.
    virtual void StartTimer(int id, double programMs, std::function<void()> onExpiry) = 0;

    // Stops timer `id` if it is running; an expiry not yet run is cancelled.
    // User-interface thread only.
    virtual void StopTimer(int id) = 0;

    // The one blocking wait of the user-interface thread: returns when `done` holds
    // (true) or when `programMs` have passed on `clock` (the last value of `done`; false
    // without one). Every fixed pause, acknowledgement wait and echo poll goes through it.
    // An empty `done` is a fixed pause. The Qt implementation keeps the windows painting,
    // ignores user input, and holds back tasks, timer expiries and page messages until
    // the wait has ended; the plain one blocks the calling thread.
    virtual bool WaitUntil(const std::function<bool()>& done, double programMs,
                           const CTimeBase& clock) = 0;

    // A fixed pause through WaitUntil.
    void Pause(double programMs, const CTimeBase& clock) { WaitUntil({}, programMs, clock); }
};
