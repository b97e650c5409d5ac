#pragma once

// The coarse page's steadiness filter, advanced once per 1000 ms tick with the magnetometer
// raw heading. The change between ticks is unwrapped once across north and filtered as
// rate = 0.3 d + 0.7 rate; the first tick after Reset takes d as it is. The previous heading
// starts at 0, so the first rate is usually large and decays by 0.7 per tick.
class CHeadingSteadiness {
public:
    static constexpr double kStartRate = 360.0; // rate shown before the first tick
    static constexpr double kSteadyLimit = 0.3; // steady when |rate| is below this

    CHeadingSteadiness() = default;

    // Back to the state right after page activation.
    void Reset() noexcept;

    // Advances the filter by one tick and returns the new rate. A heading that is not a
    // finite number leaves the filter unchanged.
    double Tick(double heading) noexcept;

    double Rate() const noexcept { return rate; }
    bool IsSteady() const noexcept;

private:
    double previousHeading = 0.0;
    double rate = kStartRate;
    bool firstTick = true;
};
