#pragma once

#include <mutex>

// An event that stays set until it is reset, like the acknowledgement events the
// listener thread raises for a waiting command. Also counts how often it was set, so
// tools and tests can tell how many banners arrived.
class CManualResetEvent {
public:
    void Set();
    void Reset();
    bool IsSet() const;
    unsigned SetCount() const;

private:
    mutable std::mutex mutex;
    bool isSet = false;
    unsigned setCount = 0;
};
