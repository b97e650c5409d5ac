#include "device/ManualResetEvent.h"

void CManualResetEvent::Set() {
    std::lock_guard<std::mutex> guard(mutex);
    isSet = true;
    ++setCount;
}

void CManualResetEvent::Reset() {
    std::lock_guard<std::mutex> guard(mutex);
    isSet = false;
}

bool CManualResetEvent::IsSet() const {
    std::lock_guard<std::mutex> guard(mutex);
    return isSet;
}

unsigned CManualResetEvent::SetCount() const {
    std::lock_guard<std::mutex> guard(mutex);
    return setCount;
}
