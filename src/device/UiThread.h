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
};
