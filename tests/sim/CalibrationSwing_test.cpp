// A full calibration by the program's own arithmetic, driven directly against the model:
// free field, coarse (hard iron, sent as MFC) and fine (compass corrections, sent as MCC).
// The default model must start several degrees off and end within half a degree.
#include "records/CalibrationMath.h"
#include "records/MagSampleSet.h"
#include "sim/SimUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kReadyMs = 60000.0; // past warm-up and the magnetometer's start
constexpr double kTickMs = 1000.0;

struct Calibration {
    CSimUnit unit{SimUnitConfig(), MagModelParams(), 0.0};
    double now = kReadyMs;

    CMagSampleSet Collect() {
        CMagSampleSet set;
        for (int i = 0; i < 10; ++i) {
            now += kTickMs;
            const UnitReadout r = unit.Sample(now);
            set.Add(r.avg.x, r.avg.y, r.avg.z, r.magLevel[0], r.magLevel[1], r.pitch, r.roll);
        }
        return set;
    }

    double ShownHeading() {
        now += kTickMs;
        return unit.Sample(now).magAvg;
    }

    void Send(const char* format, double value, const char* word) {
        char line[64];
        std::snprintf(line, sizeof line, format, word, value);
        unit.HandlePortLine(line, now);
    }

    double SwingMax() const {
        double worst = 0.0;
        for (int deg = 0; deg < 360; deg += 10) {
            worst =
                std::max(worst, std::fabs(CMagModel::SignedDegrees(unit.SwingHeading(deg) - deg)));
        }
        return worst;
    }
};

constexpr double kCardinalDeg[4] = {0.0, 180.0, 90.0, 270.0}; // by heading index

} // namespace

TEST(CalibrationSwing, ProgramArithmeticBringsDefaultModelWithinHalfDegree) {
    Calibration cal;
    cal.unit.Advance(cal.now);
    ASSERT_TRUE(cal.unit.IsMagAnswering(cal.now));
    const double before = cal.SwingMax();

    // Step 1: free field.
    cal.unit.SetFreeField(true);
    const FreeFieldValues freeField = ComputeFreeField(cal.Collect());
    cal.unit.SetFreeField(false);

    // Step 2: coarse collections at the four cardinal headings, MFC and MCC zeroed first.
    static const char* const axes[] = {"X", "Y", "Z"};
    static const char* const cardinals[] = {"N", "S", "E", "W"};
    for (const char* axis : axes) {
        cal.Send("MFC %s %.0f", 0.0, axis);
    }
    for (const char* c : cardinals) {
        cal.Send("MCC %s %.2f", 0.0, c);
    }
    std::array<HeadingMeasurement, 4> byHeading{};
    for (int i = 0; i < 4; ++i) {
        cal.unit.SetHeading(kCardinalDeg[i]);
        const double error = CardinalError(cal.ShownHeading(), i);
        ASSERT_TRUE(IsCoarseErrorInRange(error)) << "heading index " << i << " error " << error;
        byHeading[static_cast<std::size_t>(i)] = MeasureHeading(cal.Collect());
    }
    const CoarseCorrectionResult coarse = ComputeCoarseCorrections(byHeading, freeField.z);
    for (std::size_t axis = 0; axis < 3; ++axis) {
        cal.Send("MFC %s %.0f", coarse.correction[axis], axes[axis]);
    }

    // Step 3: fine errors at the four cardinal headings, then the compass corrections.
    std::array<double, 4> fineErrors{};
    for (int i = 0; i < 4; ++i) {
        cal.unit.SetHeading(kCardinalDeg[i]);
        fineErrors[static_cast<std::size_t>(i)] = CardinalError(cal.ShownHeading(), i);
        ASSERT_TRUE(IsFineErrorInRange(fineErrors[static_cast<std::size_t>(i)]));
    }
    const std::array<double, 4> corrections = ComputeCompassCorrections(fineErrors);
    for (std::size_t i = 0; i < 4; ++i) {
        cal.Send("MCC %s %.2f", corrections[i], cardinals[i]);
    }
    const double after = cal.SwingMax();

    std::printf("swing max before calibration: %.2f deg, after: %.2f deg\n", before, after);
    EXPECT_GT(before, 2.0);
    EXPECT_LT(after, 0.5);
}
