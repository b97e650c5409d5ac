#include "sim/SimClock.h"

#include <algorithm>

CSimClock::CSimClock(double s) : scale(s > 0 ? s : 1.0), start(std::chrono::steady_clock::now()) {}

double CSimClock::NowMs() const {
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::milli>(elapsed).count() * scale;
}

double CSimClock::ToRealMs(double programMs) const {
    return std::max(0.0, programMs / scale);
}
