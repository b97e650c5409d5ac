#pragma once

#include <chrono>

// Program time of the simulated unit: monotonic milliseconds since start, run `scale`
// times faster than real time so that every timing of the unit shrinks together.
class CSimClock {
public:
    explicit CSimClock(double scale = 1.0);

    double Scale() const { return scale; }
    double NowMs() const;
    // Real milliseconds for a program duration (never negative).
    double ToRealMs(double programMs) const;

private:
    double scale;
    std::chrono::steady_clock::time_point start;
};
