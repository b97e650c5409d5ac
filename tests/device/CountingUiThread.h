#pragma once

// A plain UI-thread loop that records every wait that goes through its door.

#include "device/PlainUiThread.h"

#include <mutex>
#include <utility>
#include <vector>

class CCountingUiThread : public CPlainUiThread {
public:
    struct Wait {
        double programMs;
        bool withPredicate;
        bool operator==(const Wait&) const = default;
    };
    using CPlainUiThread::CPlainUiThread;

    bool WaitUntil(const std::function<bool()>& done, double programMs,
                   const CTimeBase& clock) override {
        {
            std::lock_guard lock(waitsLock);
            waits.push_back({programMs, static_cast<bool>(done)});
        }
        return CPlainUiThread::WaitUntil(done, programMs, clock);
    }
    std::vector<Wait> TakeWaits() {
        std::lock_guard lock(waitsLock);
        return std::exchange(waits, {});
    }

private:
    std::mutex waitsLock;
    std::vector<Wait> waits;
};
