#include "device/VersionCapabilities.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    std::int32_t versionClass;
    bool known, speed, maintenance, freeField, coarse, goOnAtOnce, fromMount, location, mfc;
};

TEST(VersionCapabilities, EachClassOffersItsOwnSteps) {
    const Row rows[] = {
        // class  known  speed  maint  free   coarse goOn   mount  loc    mfc
        {-1, false, false, false, false, true, false, false, false, false},
        {0, true, false, false, false, false, true, true, true, false},
        {2, true, false, true, false, false, false, true, false, false},
        {3, true, false, true, true, true, false, false, false, true},
        {6, true, true, true, true, true, false, false, false, true},
        {7, true, true, true, true, true, false, false, false, true},
        {8, false, false, false, false, true, false, false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.versionClass);
        const VersionCapabilities c = VersionCapabilities::Of(row.versionClass);
        EXPECT_EQ(c.known, row.known);
        EXPECT_EQ(c.selectableA429Speed, row.speed);
        EXPECT_EQ(c.maintenanceWord, row.maintenance);
        EXPECT_EQ(c.freeFieldStep, row.freeField);
        EXPECT_EQ(c.coarseStep, row.coarse);
        EXPECT_EQ(c.goOnWithoutMaintenanceWord, row.goOnAtOnce);
        EXPECT_EQ(c.calibrateFromMount, row.fromMount);
        EXPECT_EQ(c.takesLocation, row.location);
        EXPECT_EQ(c.magFieldCorrections, row.mfc);
    }
}

} // namespace
