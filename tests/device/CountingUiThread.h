#pragma once

// A plain UI-thread loop that records every wait that goes through its door and, when the
// test sets `onWait`, runs it as each wait begins (the unit's side of a waiting command).

#include "device/PlainUiThread.h"

#include <functional>
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
        const Wait wait{programMs, static_cast<bool>(done)};
        {
            std::lock_guard lock(waitsLock);
            waits.push_back(wait);
        }
        if (onWait) {
            onWait(wait);
        }
        return CPlainUiThread::WaitUntil(done, programMs, clock);
    }
    std::vector<Wait> TakeWaits() {
        std::lock_guard lock(waitsLock);
        return std::exchange(waits, {});
    }

    std::function<void(const Wait&)> onWait; // set before the waits begin

private:
    std::mutex waitsLock;
    std::vector<Wait> waits;
};
