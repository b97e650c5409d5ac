#include "device/ManualResetEvent.h"

void CManualResetEvent::Set() {
    {
        std::lock_guard<std::mutex> guard(mutex);
        isSet = true;
        ++setCount;
    }
    changed.notify_all();
}

void CManualResetEvent::Reset() {
    std::lock_guard<std::mutex> guard(mutex);
    isSet = false;
}

bool CManualResetEvent::WaitFor(const CTimeBase& timeBase, double programMs) {
    std::unique_lock<std::mutex> lock(mutex);
    return timeBase.WaitFor(changed, lock, programMs, [this] { return isSet; });
}

unsigned CManualResetEvent::SetCount() const {
    std::lock_guard<std::mutex> guard(mutex);
    return setCount;
}
