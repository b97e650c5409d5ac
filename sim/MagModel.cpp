#include "sim/MagModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

double Radians(double deg) {
    return deg * std::numbers::pi / 180.0;
}

int16_t SaturateCount(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    const double r = std::round(std::clamp(v, -32768.0, 32767.0));
    return static_cast<int16_t>(r);
}

} // namespace

CMagModel::CMagModel(const MagModelParams& p) : params(p) {}

double CMagModel::HorizontalField() const {
    return params.fieldCounts * std::cos(Radians(params.latitude));
}

double CMagModel::VerticalField() const {
    return 2.0 * params.fieldCounts * std::sin(Radians(params.latitude));
}

Vec3 CMagModel::LevelField(double headingDeg) const {
    const double h = HorizontalField();
    const double psi = Radians(headingDeg);
    return {h * std::cos(psi), -h * std::sin(psi), VerticalField()};
}

Vec3 CMagModel::SensorField(double headingDeg, double pitchDeg, double rollDeg,
                            bool freeField) const {
    if (freeField) {
        return LevelField(headingDeg);
    }
    const Vec3 body = Unlevel(LevelField(headingDeg), pitchDeg, rollDeg);
    const double m = Radians(params.misalignment);
    const Vec3 s{body.x * std::cos(m) + body.y * std::sin(m),
                 -body.x * std::sin(m) + body.y * std::cos(m), body.z};
    const auto& k = params.softIron;
    return {k[0] * s.x + k[1] * s.y + k[2] * s.z + params.hardIron.x,
            k[3] * s.x + k[4] * s.y + k[5] * s.z + params.hardIron.y,
            k[6] * s.x + k[7] * s.y + k[8] * s.z + params.hardIron.z};
}

Vec3 CMagModel::Level(const Vec3& s, double pitchDeg, double rollDeg) {
    const double p = Radians(pitchDeg);
    const double r = Radians(rollDeg);
    const double a = s.y * std::sin(r) + s.z * std::cos(r);
    return {s.x * std::cos(p) + a * std::sin(p), s.y * std::cos(r) - s.z * std::sin(r),
            a * std::cos(p) - s.x * std::sin(p)};
}

Vec3 CMagModel::Unlevel(const Vec3& l, double pitchDeg, double rollDeg) {
    // Transpose of the leveling rotation (it is orthogonal).
    const double sp = std::sin(Radians(pitchDeg));
    const double cp = std::cos(Radians(pitchDeg));
    const double sr = std::sin(Radians(rollDeg));
    const double cr = std::cos(Radians(rollDeg));
    return {cp * l.x - sp * l.z, sr * sp * l.x + cr * l.y + sr * cp * l.z,
            cr * sp * l.x - sr * l.y + cr * cp * l.z};
}

double CMagModel::HeadingOf(const Vec3& level) {
    return WrapDegrees(std::atan2(-level.y, level.x) * 180.0 / std::numbers::pi);
}

double CMagModel::CompassCorrectionAt(double headingDeg, const std::array<double, 4>& mcc) {
    // Cardinal values in clockwise order N, E, S, W, N.
    const std::array<double, 5> ring{mcc[0], mcc[2], mcc[1], mcc[3], mcc[0]};
    const double h = WrapDegrees(headingDeg);
    const int segment = std::clamp(static_cast<int>(h / 90.0), 0, 3);
    const double t = (h - segment * 90.0) / 90.0;
    return ring[segment] + (ring[segment + 1] - ring[segment]) * t;
}

double CMagModel::ApplyCompassCorrection(double headingDeg, const std::array<double, 4>& mcc) {
    return WrapDegrees(headingDeg - CompassCorrectionAt(headingDeg, mcc));
}

Vec3 CMagModel::AddCorrection(const Vec3& s, const std::array<int16_t, 3>& mfc) {
    return {s.x + mfc[0], s.y + mfc[1], s.z + mfc[2]};
}

Counts3 CMagModel::Saturate(const Vec3& v) {
    return {SaturateCount(v.x), SaturateCount(v.y), SaturateCount(v.z)};
}

double CMagModel::OutputHeading(double headingDeg, double pitchDeg, double rollDeg, bool freeField,
                                const std::array<int16_t, 3>& mfc,
                                const std::array<double, 4>& mcc) const {
    const Vec3 corrected =
        AddCorrection(SensorField(headingDeg, pitchDeg, rollDeg, freeField), mfc);
    const double p = freeField ? 0.0 : pitchDeg;
    const double r = freeField ? 0.0 : rollDeg;
    return ApplyCompassCorrection(HeadingOf(Level(corrected, p, r)), mcc);
}

double CMagModel::WrapDegrees(double deg) {
    if (!std::isfinite(deg)) {
        return 0.0;
    }
    double w = std::fmod(deg, 360.0);
    if (w < 0) {
        w += 360.0;
    }
    return w >= 360.0 ? 0.0 : w;
}

double CMagModel::SignedDegrees(double deg) {
    const double w = WrapDegrees(deg);
    return w > 180.0 ? w - 360.0 : w;
}
