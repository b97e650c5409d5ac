#include "device/TimeBase.h"

#include <cmath>
#include <thread>

CTimeBase::CTimeBase(double scale) : scale(std::isfinite(scale) && scale > 0 ? scale : 1.0) {}

std::chrono::steady_clock::duration CTimeBase::ToReal(double programMs) const noexcept {
    if (!(programMs > 0)) {
        return std::chrono::steady_clock::duration::zero();
    }
    // Bounded so that an absurd duration cannot overflow the clock's representation.
    const double realNs = std::fmin(programMs / scale * 1e6, 1e17);
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double, std::nano>(realNs));
}

double CTimeBase::NowMs() const noexcept {
    const auto sinceEpoch = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration<double, std::milli>(sinceEpoch).count() * scale;
}

void CTimeBase::Sleep(double programMs) const {
    std::this_thread::sleep_for(ToReal(programMs));
}
