#include "records/HeadingSteadiness.h"

#include <cmath>

void CHeadingSteadiness::Reset() noexcept {
    previousHeading = 0.0;
    rate = kStartRate;
    firstTick = true;
}

double CHeadingSteadiness::Tick(double heading) noexcept {
    if (!std::isfinite(heading)) {
        return rate;
    }
    double d = heading - previousHeading;
    if (d < -180.0) {
        d += 360.0;
    } else if (d > 180.0) {
        d -= 360.0;
    }
    rate = firstTick ? d : 0.3 * d + 0.7 * rate;
    firstTick = false;
    previousHeading = heading;
    return rate;
}

bool CHeadingSteadiness::IsSteady() const noexcept {
    return std::fabs(rate) < kSteadyLimit;
}
