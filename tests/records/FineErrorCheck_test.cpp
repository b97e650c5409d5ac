#include "records/FineErrorCheck.h"

#include "records/CalibrationMath.h"

#include <array>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include <gtest/gtest.h>

namespace {

using Errors = std::array<std::optional<double>, 4>; // by heading index N, S, E, W
constexpr std::optional<double> kNone = std::nullopt;

// Errors of a compass whose hard iron was never corrected: a fraction k of the horizontal
// field towards `towards` degrees, plus a misalignment (by heading index).
Errors HardIronErrors(double k, double towards, double misalignment) {
    const double toRadians = std::numbers::pi / 180.0;
    const double headings[] = {0.0, 180.0, 90.0, 270.0};
    Errors errors;
    for (int i = 0; i < 4; ++i) {
        const double t = (headings[i] - towards) * toRadians;
        errors[i] = misalignment + std::atan2(k * std::sin(t), 1.0 + k * std::cos(t)) / toRadians;
    }
    return errors;
}

TEST(FineErrorCheckTest, AnErrorThatCannotBelongToTheCompassIsRefused) {
    const Errors afterCoarse{0.4, 0.3, -0.3, -0.4};            // a clean simulated calibration
    const Errors uncorrected = HardIronErrors(0.3, 45.0, 1.0); // up to 17 degrees
    const double west = *uncorrected[kHeadingWest];
    const Errors onlyNorth{0.4, kNone, kNone, kNone}, northWild{15.0, 0.3, -0.3, -0.4};
    const Errors noEast{7.0, -3.0, kNone, -8.0}; // 12 at East would agree
    using enum FineAgreement;
    const struct {
        const char* what;
        int heading;
        double error;
        Errors recorded;
        bool coarse; // the coarse step set the field corrections
        FineAgreement expected;
    } cases[] = {
        {"the first error", kHeadingEast, -18.97, {}, true, Agrees},
        {"clean, after the coarse step", kHeadingEast, -0.3, afterCoarse, true, Agrees},
        {"one far from the others after the coarse step", kHeadingEast, -18.97, afterCoarse, true,
         FarFromOthers},
        {"far from the only other", kHeadingSouth, 16.0, onlyNorth, true, FarFromOthers},
        {"a measurement again replaces its own", kHeadingNorth, 0.5, northWild, true, Agrees},
        {"hard iron never corrected", kHeadingWest, west, uncorrected, false, Agrees},
        {"hard iron never corrected, after a coarse step", kHeadingWest, west, uncorrected, true,
         FarFromOthers},
        // East read as -18: the four no longer describe one compass.
        {"a wrong error among uncorrected ones", kHeadingEast, -18.0, noEast, false, NotOneCompass},
        {"not a number", kHeadingEast, std::nan(""), {}, false, FarFromOthers}};
    for (const auto& c : cases) {
        EXPECT_EQ(CheckFineError(c.heading, c.error, c.recorded, c.coarse), c.expected) << c.what;
    }
}

} // namespace
