#include "sim/SimUnit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <tuple>

namespace {

// A unit without noise, past warm-up and the magnetometer's start.
struct Unit {
    CSimUnit unit{SimUnitConfig{.countNoise = 0.0, .headingNoise = 0.0}, MagModelParams(), 0.0};
    double now = 60000.0;

    void Send(std::initializer_list<std::string> lines) {
        for (const std::string& line : lines) {
            unit.HandlePortLine(line, now);
        }
    }
    UnitReadout Sample() { return unit.Sample(now); }
    // Lets `ms` pass, during which the unit's acknowledgements fall due.
    void Wait(double ms) { unit.TakeDueBanners(now += ms); }
};

} // namespace

TEST(SimUnit, MalformedCommandsChangeNothing) {
    const std::string commands[] = {
        "MFC X 40000", "MFC Q 5",  "MFC X",     "MCC Q 1.00", "MCC N nan",
        "LAT 91",      "MAGVAR x", "ARINC 0.5", "A429 X",     "MOUNT 9.5",
        "PAGE Z",      "PAGE",     "mfc x 5",   "",           std::string(300, 'M')};
    const auto settings = [](const UnitReadout& r) {
        return std::tuple(r.mfc, r.mcc, r.latitude, r.magvar, r.arinc, r.a429, r.mount);
    };
    for (const std::string& command : commands) {
        Unit u;
        const UnitReadout before = u.Sample();
        u.Send({command, "RESET IMU"});
        EXPECT_EQ(settings(u.Sample()), settings(before)) << command;
        EXPECT_EQ(u.unit.Page(), 'C') << command;
    }
}

// Compass corrections and the A429 speed are lost with the magnetometer's power until an
// erase and a store keep them; a store is lost when the magnetometer is unplugged.
TEST(SimUnit, CompassCorrectionsAreVolatileUntilStored) {
    Unit u;
    const auto magPowerCycle = [&u] {
        u.Send({"RESET MAG POWER"});
        EXPECT_NE(u.Sample().status & kStatusMagInvalid, 0u);
        u.now += 4000.0;
        return std::tuple(u.Sample().mcc[0], u.Sample().a429);
    };
    u.Send({"MCC N 1.25", "A429 H"});
    EXPECT_EQ(magPowerCycle(), std::tuple(0.0, 0.0));

    u.Send({"MCC N 1.25", "A429 H", "ERASE MCC"});
    u.Wait(3000.0);
    u.Send({"STORE MCC"});
    u.Wait(3000.0);
    u.Send({"MCC N 7.00"}); // working copy only
    EXPECT_EQ(magPowerCycle(), std::tuple(1.25, 1.0));

    u.Send({"MCC W 2.00", "STORE MCC"});
    u.unit.SetMagPresent(false, u.now);
    EXPECT_TRUE(u.unit.TakeDueBanners(u.now + 3000.0).empty()) << "acknowledged unplugged";
    EXPECT_EQ(u.unit.StoredMcc()[3], 0.0);
}

// The mount is reported from the next IMU reset, which warms the unit up again; a power
// cycle loses the volatile settings.
TEST(SimUnit, ResetsAndAPowerCycleWarmUpAndKeepOrLoseWhatTheUnitWould) {
    Unit u;
    u.Send({"MOUNT 11.0"});
    EXPECT_EQ(u.Sample().mount, 9);
    u.Send({"RESET IMU"});
    EXPECT_EQ(u.Sample().mount, 11);
    EXPECT_EQ(u.Sample().status & 0xFF, kStatusWarmup);
    u.now += 3000.0;
    EXPECT_EQ(u.Sample().status, kStatusValid);

    u.Send({"MFC Y 321", "MCC N 1.00", "PAGE F", "STORE MCC"});
    u.unit.PowerOff();
    u.Send({"MFC Y 5"}); // a silent unit hears nothing
    u.now += 10000.0;
    EXPECT_TRUE(u.unit.TakeDueBanners(u.now).empty());
    u.unit.PowerOn(u.now);
    UnitReadout r = u.Sample();
    EXPECT_EQ(u.unit.Page(), 'C');
    EXPECT_EQ(r.status, kStatusWarmup | kStatusMagInvalid);
    EXPECT_EQ(r.dataLine, "30 SEC WARMUP");
    EXPECT_EQ(r.mfc[1], 321) << "field corrections are kept by the unit";
    u.now += 30000.0;
    r = u.Sample();
    EXPECT_EQ(r.mcc[0], 0.0) << "the store was cut off by the power loss";
    EXPECT_EQ(std::tuple(r.status, r.dataLine), std::tuple(kStatusValid, ""));
}

// The raw heading ignores the corrections and the averaged one applies them; a turn moves
// the heading with program time, across north.
TEST(SimUnit, HeadingsFollowCorrectionsAndTurns) {
    Unit u;
    u.unit.SetHeading(45.0);
    const UnitReadout plain = u.Sample();
    u.Send({"MFC X -600", "MCC N 1.00", "MCC E 1.00"});
    const UnitReadout corrected = u.Sample();
    EXPECT_NEAR(corrected.magRaw, plain.magRaw, 0.01);
    EXPECT_GT(std::fabs(corrected.magAvg - plain.magAvg), 1.0);
    EXPECT_EQ(corrected.avg.x - plain.avg.x, -600);

    u.unit.Advance(u.now);
    u.unit.SetHeading(350.0);
    u.unit.SetTurnRate(3.0);
    u.unit.Advance(u.now + 5000.0);
    EXPECT_NEAR(u.unit.Heading(), 5.0, 1e-9);
}
