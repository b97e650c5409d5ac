#pragma once

#include <array>
#include <optional>
#include <string>

class CSettingsStore;

// The compass swing after a calibration: the aircraft is turned to the marked lines of the
// compass rose (000, 030, ..., 330) and the heading the unit shows is recorded against each,
// as the deviation card that goes with the aircraft's papers.
class CCompassSwing {
public:
    static constexpr int kLineCount = 12;
    static constexpr int kLineSpacingDeg = 30;
    // A reading further than this from every line belongs to none. Half the spacing would
    // take every reading, even one halfway between two lines, for a deviation of up to 15
    // degrees at one of them.
    static constexpr double kCaptureDeg = 10.0;
    static constexpr double kDefaultToleranceDeg = 2.0;
    // The setting that holds the tolerance, in tenths of a degree.
    static constexpr const char* kToleranceKey = "SwingTolerance";

    // The tolerance the settings hold (the default when they hold none).
    static double ToleranceDeg(const CSettingsStore& settings);

    // The line nearest to `unitHeadingDeg` (its index), or none when the heading is more
    // than kCaptureDeg from every line or not a number.
    static std::optional<int> NearestLine(double unitHeadingDeg);
    // The aircraft's heading of line `line`: 0, 30, ..., 330; as a label, "000" to "330".
    static int LineHeading(int line);
    static std::string LineLabel(int line);
    // An angle in (-180, 180].
    static double SignedDegrees(double deg);

    // Records (or records again) the unit's heading at `line`; a line out of range or a
    // heading that is not a number is ignored.
    void Record(int line, double unitHeadingDeg);
    std::optional<double> UnitHeadingAt(int line) const;
    // The unit's heading minus the aircraft's, in (-180, 180].
    std::optional<double> DeviationAt(int line) const;
    // The largest absolute deviation recorded; none when nothing is.
    std::optional<double> MaxDeviation() const;
    // Whether the deviation at `line` is beyond `toleranceDeg` (false when not recorded).
    bool Exceeds(int line, double toleranceDeg) const;
    int RecordedCount() const;
    bool Empty() const { return RecordedCount() == 0; }

    bool operator==(const CCompassSwing&) const = default;

private:
    std::array<std::optional<double>, kLineCount> unitHeadings{};
};
