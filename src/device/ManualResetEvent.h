#pragma once

#include <condition_variable>
#include <mutex>

#include "device/TimeBase.h"

// An event that stays set until it is reset, like the acknowledgement events the
// listener thread raises for a waiting command. Also counts how often it was set, so
// tools and tests can tell how many banners arrived.
class CManualResetEvent {
public:
    void Set();
    void Reset();
    // Waits until the event is set or `programMs` of the time base pass; true if set.
    bool WaitFor(const CTimeBase& timeBase, double programMs);
    unsigned SetCount() const;

private:
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool isSet = false;
    unsigned setCount = 0;
};
