#include "records/SampleAgreement.h"

#include "records/CompassSwing.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

double MedianOf(std::vector<double> values) {
    const std::size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + middle, values.end());
    const double upper = values[middle];
    if (values.size() % 2 != 0) {
        return upper;
    }
    const double lower = *std::max_element(values.begin(), values.begin() + middle);
    return (lower + upper) / 2.0;
}

// Headings as offsets from their circular mean, so that a collection across north is one
// cluster. The mean of unit vectors leans towards the majority, so a wild heading cannot
// split the others across the fold.
std::vector<double> Unwrapped(std::span<const double> headings) {
    double sumSin = 0.0;
    double sumCos = 0.0;
    for (const double heading : headings) {
        sumSin += std::sin(heading * kRadiansPerDegree);
        sumCos += std::cos(heading * kRadiansPerDegree);
    }
    const double centre = std::atan2(sumSin, sumCos) / kRadiansPerDegree;
    std::vector<double> offsets;
    offsets.reserve(headings.size());
    for (const double heading : headings) {
        offsets.push_back(CCompassSwing::SignedDegrees(heading - centre));
    }
    return offsets;
}

} // namespace

CSampleAgreement::CSampleAgreement(double spreadFloor, Scale valueScale) noexcept
    : floor(spreadFloor), scale(valueScale) {}

std::optional<std::size_t> CSampleAgreement::FarSample(std::span<const double> values) const {
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (!std::isfinite(values[i])) {
            return i;
        }
    }
    if (values.size() < 3) {
        return std::nullopt;
    }
    const std::vector<double> points = scale == Scale::Degrees360
                                           ? Unwrapped(values)
                                           : std::vector<double>(values.begin(), values.end());
    const double median = MedianOf(points);
    std::vector<double> distances;
    distances.reserve(points.size());
    for (const double point : points) {
        distances.push_back(std::fabs(point - median));
    }
    const double spread = std::max(kMadToSigma * MedianOf(distances), floor);
    const auto farthest = std::max_element(distances.begin(), distances.end());
    if (*farthest <= kFactor * spread && spread <= kCeilingFloors * floor) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(farthest - distances.begin());
}

bool CSampleAgreement::StayNear(std::span<const double> values, double reference) const {
    for (const double value : values) {
        const double difference = scale == Scale::Degrees360
                                      ? CCompassSwing::SignedDegrees(value - reference)
                                      : value - reference;
        if (!(std::fabs(difference) <= kFactor * floor)) {
            return false;
        }
    }
    return true;
}

std::optional<std::size_t> CSampleAgreement::FarSample(std::span<const int16_t> values) const {
    const std::vector<double> asDouble(values.begin(), values.end());
    return FarSample(std::span<const double>(asDouble));
}

bool CountsAgree(const CMagSampleSet& samples) {
    const CSampleAgreement counts(CSampleAgreement::kCountFloor);
    return counts.Agree(samples.X()) && counts.Agree(samples.Y()) && counts.Agree(samples.Z());
}

bool CountsAndAttitudeAgree(const CMagSampleSet& samples) {
    const CSampleAgreement attitude(CSampleAgreement::kAttitudeFloor);
    return CountsAgree(samples) && attitude.Agree(samples.Pitch()) &&
           attitude.Agree(samples.Roll());
}
