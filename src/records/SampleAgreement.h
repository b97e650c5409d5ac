#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "records/MagSampleSet.h"

// Whether the samples of one collection agree. The maintenance port has no checksum, so a
// digit changed on the line becomes a plausible but wrong sample; a steady aircraft's samples
// differ only by the sensor's noise. A sample is far from the others when it lies more than
// kFactor robust spreads from their median. The spread is 1.4826 times the median absolute
// deviation (the standard deviation of normal noise), never less than a floor: a sensor
// quieter than its resolution repeats one value, and one count more must not count as wild.
// Median and median deviation are robust: a few wild samples move neither, so they cannot
// hide. The floors assume noise with a standard deviation up to the floor itself (the
// simulated unit's is 3 counts); a noisier sensor would see an occasional clean collection
// refused and collected again. Samples whose
// spread exceeds a ceiling of 30 floors are no steady reading at all, and when most samples
// are wild that is how they show; the ceiling lies above the spread of an aircraft turning
// at the coarse page's own steadiness limit (0.3 degrees a tick: about 200 counts at a
// horizontal field of 11000 counts). A slow drift or a constant offset agrees: only a
// sample apart from the rest is refused.
class CSampleAgreement {
public:
    enum class Scale {
        Linear,    // counts, degrees of attitude
        Degrees360 // headings: 359.9 and 0.1 are 0.2 apart
    };
    static constexpr double kFactor = 6.0;
    static constexpr double kCeilingFloors = 30.0;
    static constexpr double kMadToSigma = 1.4826;

    // Floors of the spread, each with its reason:
    // Counts: the simulated unit's noise is 3 counts, a real RQ270 resolves one count; a floor
    // of 10 lets anything within 60 counts of the median pass (0.3 degrees of heading at a
    // horizontal field of 11000 counts), which moves a mean of ten by at most 6 counts.
    static constexpr double kCountFloor = 10.0;
    // Attitude: the unit reports pitch and roll to hundredths of a degree, and a standing
    // aircraft's attitude varies by a few of them. 0.3 degrees passes; a wrong sample beyond
    // that would tilt the mean attitude of ten by more than 0.03 degrees.
    static constexpr double kAttitudeFloor = 0.05;
    // Headings: the unit's averaged heading varies by hundredths of a degree on a steady
    // aircraft (the simulated unit's by 0.01); a jump of more than 0.3 degrees is not the
    // aircraft.
    static constexpr double kHeadingFloor = 0.05;

    explicit CSampleAgreement(double floor, Scale scale = Scale::Linear) noexcept;

    // Index of the sample farthest from the others when it lies beyond the bound, else none.
    // Fewer than three samples cannot be judged and agree; a value that is not a finite
    // number never agrees.
    std::optional<std::size_t> FarSample(std::span<const double> values) const;
    std::optional<std::size_t> FarSample(std::span<const int16_t> values) const;
    bool Agree(std::span<const double> values) const { return !FarSample(values); }
    bool Agree(std::span<const int16_t> values) const { return !FarSample(values); }

    // Whether every value stays within kFactor floors of `reference` (a value taken before
    // them): a steady reading held while it is recorded, where a step half way through
    // would agree with itself.
    bool StayNear(std::span<const double> values, double reference) const;

private:
    double floor;
    Scale scale;
};

// The free-field collection: X, Y and Z each agree (attitude takes no part there).
bool CountsAgree(const CMagSampleSet& samples);
// A coarse heading's collection: X, Y, Z, pitch and roll each agree.
bool CountsAndAttitudeAgree(const CMagSampleSet& samples);
