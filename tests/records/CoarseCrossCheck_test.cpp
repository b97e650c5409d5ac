#include "records/CoarseCrossCheck.h"

#include "sim/MagModel.h"

#include <array>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace {

// The aircraft on each cardinal heading (degrees, by heading index N, S, E, W).
constexpr std::array<double, 4> kCardinals{0.0, 180.0, 90.0, 270.0};

struct Stand {
    std::array<double, 4> heading = kCardinals;
    double pitch = 0.0;
    double roll = 0.0;
};

// The coarse page's four measurements of the noiseless simulated unit, and its free field.
struct Measured {
    std::array<HeadingMeasurement, 4> byHeading{};
    FreeFieldValues freeField{};
};

Measured Measure(const MagModelParams& params, const Stand& stand) {
    const CMagModel model(params);
    Measured run;
    for (int i = 0; i < 4; ++i) {
        const Counts3 c = CMagModel::Saturate(
            model.SensorField(stand.heading[i], stand.pitch, stand.roll, /*freeField=*/false));
        run.byHeading[i] = {c.x, c.y, c.z, stand.pitch, stand.roll};
    }
    const Counts3 f = CMagModel::Saturate(model.SensorField(0.0, 0.0, 0.0, /*freeField=*/true));
    run.freeField = {f.x, f.y, f.z};
    return run;
}

TEST(CoarseCrossCheckTest, AWrongHeadingIsNamedAndCleanHeadingsAgree) {
    const auto change = [](int heading, std::function<void(HeadingMeasurement&)> edit) {
        return [heading, edit](Measured& run) { edit(run.byHeading[heading]); };
    };
    const auto none = [](Measured&) {};
    MagModelParams softIron; // a real aircraft's: about 5 % on the diagonal, 3 % across
    softIron.softIron = {1.05, 0.03, 0.02, 0.03, 0.96, -0.02, 0.02, -0.03, 1.0};
    MagModelParams farNorth;
    farNorth.latitude = 70.0;
    Stand eastOff;
    eastOff.heading[kHeadingEast] = 102.0;
    const Stand tilted{kCardinals, 3.0, -2.0};
    // Against a horizontal field of 11300 counts, errors the fit tells from an aircraft
    // standing off its heading: 5000 counts along that heading's field, 6000 across it.
    const auto eastY = change(kHeadingEast, [](auto& m) { m.y += 5000; });
    const auto southAcross = change(kHeadingSouth, [](auto& m) { m.y -= 6000; });
    const auto northZ = change(kHeadingNorth, [](auto& m) { m.z -= 3000; });
    const auto westPitch = change(kHeadingWest, [](auto& m) { m.pitch += 20.0; });
    const auto southOnEast = [](Measured& run) {
        run.byHeading[kHeadingSouth] = run.byHeading[kHeadingEast];
    };
    const auto neverTurned = [](Measured& run) { run.byHeading.fill(run.byHeading[0]); };
    const auto noFreeField = [](Measured& run) { run.freeField = {}; };
    const struct {
        const char* what;
        MagModelParams params;
        Stand stand;
        std::function<void(Measured&)> spoil;
        bool agree;
        int suspect;
    } cases[] = {
        {"clean", {}, {}, none, true, -1},
        {"clean, pitched and rolled", {}, tilted, none, true, -1},
        {"clean, strong soft iron", softIron, tilted, none, true, -1},
        {"clean, high latitude", farNorth, tilted, none, true, -1},
        {"clean, East 12 degrees off", softIron, eastOff, none, true, -1},
        {"East Y off by 5000", {}, {}, eastY, false, kHeadingEast},
        {"South off by 6000 across its field", {}, tilted, southAcross, false, kHeadingSouth},
        {"North Z off by 3000", {}, tilted, northZ, false, kHeadingNorth},
        {"West pitch off by 20 degrees", {}, tilted, westPitch, false, kHeadingWest},
        {"South collected on East", {}, {}, southOnEast, false, kHeadingSouth},
        {"never turned", {}, {}, neverTurned, false, -1},
        {"no free field", {}, {}, noFreeField, false, -1}};
    for (const auto& c : cases) {
        Measured run = Measure(c.params, c.stand);
        c.spoil(run);
        const CoarseCrossCheck check = CheckCoarseHeadings(run.byHeading, run.freeField);
        EXPECT_EQ(check.agree, c.agree) << c.what;
        EXPECT_EQ(check.suspect, c.suspect) << c.what;
    }
}

} // namespace
