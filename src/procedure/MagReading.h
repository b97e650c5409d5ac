#pragma once

#include <array>
#include <cstdint>

class CAhrsState;

// What the unit shows now of its RQ270: the averaged counts, the level components and the
// attitude, as one sample of a free-field or a coarse collection.
struct MagReading {
    std::array<std::int16_t, 3> counts{}; // averaged X, Y, Z counts
    std::array<std::int16_t, 2> level{};  // XL, YL
    double pitch = 0.0;
    double roll = 0.0;

    static MagReading Of(const CAhrsState& state);
};
