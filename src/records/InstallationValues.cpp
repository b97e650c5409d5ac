#include "records/InstallationValues.h"

#include "device/AhrsState.h"
#include "device/FixedPoint.h"
#include "records/MagMeasurementFile.h"

namespace {

template <typename Getter> std::array<double, 4> ByHeading(Getter get) {
    return {get(0), get(1), get(2), get(3)};
}

} // namespace

InstallationValues TakeInstallationValues(const CAhrsState& state, const std::string& directory) {
    InstallationValues v;
    v.ahrsSerialNumber = state.GetAhrsSerialNumber();
    v.ahrsVersion = state.GetAhrsVersion();
    v.magSerialNumber = state.GetMagSerialNumber();
    v.magVersion = state.GetMagVersion();
    v.programVersion = HX410_VERSION;
    v.versionClass = state.GetAhrsVersionClass();
    v.mountPosition = state.GetMountPosition();

    std::int16_t x = 0, y = 0, z = 0;
    if (CMagMeasurementFile(v.magSerialNumber, directory).Read(x, y, z))
        v.freeField = std::array<std::int16_t, 3>{x, y, z};

    for (int axis = 0; axis < 3; ++axis)
        v.magFieldCorrection[axis] = state.GetMagFieldCorrection(axis);
    v.mcc = ByHeading([&](int h) { return state.GetMcc(h); });
    if (state.GetMagneticVariationCount() > 0)
        v.magneticVariation = state.GetMagneticVariation();
    if (state.GetLatitudeCount() > 0)
        v.latitude = state.GetLatitude();
    return v;
}

std::string FixedOrNotRead(const std::optional<double>& value) {
    return value ? FixedPoint(*value, 2) : std::string("not read");
}
