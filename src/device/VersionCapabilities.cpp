#include "device/VersionCapabilities.h"

#include "device/AhrsVersion.h"

VersionCapabilities VersionCapabilities::Of(std::int32_t versionClass) {
    const std::int32_t known =
        versionClass >= 0 && versionClass < kUnknownVersionClass ? versionClass : -1;
    const auto within = [known](std::int32_t first, std::int32_t last) {
        return known >= first && known <= last;
    };
    VersionCapabilities capabilities;
    capabilities.known = within(0, 7);
    capabilities.selectableA429Speed = within(6, 7);
    capabilities.maintenanceWord = within(2, 7);
    capabilities.freeFieldStep = within(3, 7);
    capabilities.coarseStep = !within(0, 2);
    capabilities.goOnWithoutMaintenanceWord = within(0, 1);
    capabilities.calibrateFromMount = within(0, 2);
    capabilities.takesLocation = within(0, 1);
    capabilities.magFieldCorrections = within(3, 7);
    return capabilities;
}
