#include "records/CompassSwing.h"

#include "records/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

bool IsLine(int line) {
    return line >= 0 && line < CCompassSwing::kLineCount;
}

} // namespace

std::optional<int> CCompassSwing::NearestLine(double unitHeadingDeg) {
    if (!std::isfinite(unitHeadingDeg)) {
        return std::nullopt;
    }
    const double steps = std::round(unitHeadingDeg / kLineSpacingDeg);
    const int line =
        static_cast<int>(std::fmod(std::fmod(steps, kLineCount) + kLineCount, kLineCount));
    if (std::fabs(SignedDegrees(unitHeadingDeg - LineHeading(line))) > kCaptureDeg) {
        return std::nullopt;
    }
    return line;
}

double CCompassSwing::ToleranceDeg(const CSettingsStore& settings) {
    constexpr auto kDefaultTenths = static_cast<std::uint8_t>(kDefaultToleranceDeg * 10);
    return settings.Get(kToleranceKey, kDefaultTenths) / 10.0;
}

int CCompassSwing::LineHeading(int line) {
    return line * kLineSpacingDeg;
}

std::string CCompassSwing::LineLabel(int line) {
    std::string label = std::to_string(LineHeading(line));
    return std::string(label.size() < 3 ? 3 - label.size() : 0, '0') + label;
}

double CCompassSwing::SignedDegrees(double deg) {
    double wrapped = std::fmod(deg, 360.0);
    if (wrapped <= -180.0) {
        wrapped += 360.0;
    } else if (wrapped > 180.0) {
        wrapped -= 360.0;
    }
    return wrapped;
}

void CCompassSwing::Record(int line, double unitHeadingDeg) {
    if (IsLine(line) && std::isfinite(unitHeadingDeg)) {
        unitHeadings[line] = unitHeadingDeg;
    }
}

std::optional<double> CCompassSwing::UnitHeadingAt(int line) const {
    return IsLine(line) ? unitHeadings[line] : std::nullopt;
}

std::optional<double> CCompassSwing::DeviationAt(int line) const {
    const std::optional<double> heading = UnitHeadingAt(line);
    if (!heading) {
        return std::nullopt;
    }
    return SignedDegrees(*heading - LineHeading(line));
}

std::optional<double> CCompassSwing::MaxDeviation() const {
    std::optional<double> largest;
    for (int line = 0; line < kLineCount; ++line) {
        if (const std::optional<double> deviation = DeviationAt(line)) {
            largest = std::max(largest.value_or(0.0), std::fabs(*deviation));
        }
    }
    return largest;
}

bool CCompassSwing::Exceeds(int line, double toleranceDeg) const {
    // Judged as printed, to the hundredth: "2.00" is never marked beyond a 2.00 tolerance.
    const std::optional<double> deviation = DeviationAt(line);
    return deviation && std::round(std::fabs(*deviation) * 100) > std::round(toleranceDeg * 100);
}

int CCompassSwing::RecordedCount() const {
    int count = 0;
    for (const std::optional<double>& heading : unitHeadings) {
        count += heading ? 1 : 0;
    }
    return count;
}
