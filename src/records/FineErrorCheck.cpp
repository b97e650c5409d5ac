#include "records/FineErrorCheck.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "records/CalibrationMath.h"

namespace {

double MedianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

} // namespace

FineAgreement CheckFineError(int heading, double error,
                             const std::array<std::optional<double>, 4>& recorded,
                             bool hardIronCorrected) {
    if (heading < 0 || heading > 3 || !std::isfinite(error)) {
        return FineAgreement::FarFromOthers;
    }
    std::array<std::optional<double>, 4> errors = recorded;
    errors[heading] = error;
    std::vector<double> others;
    for (int i = 0; i < 4; ++i) {
        if (i != heading && errors[i]) {
            others.push_back(*errors[i]);
        }
    }
    if (hardIronCorrected && !others.empty() &&
        !(std::fabs(error - MedianOf(others)) <= FineErrorLimits::kSpreadLimit)) {
        return FineAgreement::FarFromOthers;
    }
    if (others.size() == 3) {
        const double quadrantal = (*errors[kHeadingNorth] + *errors[kHeadingSouth] -
                                   *errors[kHeadingEast] - *errors[kHeadingWest]) /
                                  4.0;
        if (!(std::fabs(quadrantal) <= FineErrorLimits::kQuadrantalLimit)) {
            return FineAgreement::NotOneCompass;
        }
    }
    return FineAgreement::Agrees;
}
