#include "procedure/MagReading.h"

#include "device/AhrsState.h"

MagReading MagReading::Of(const CAhrsState& state) {
    MagReading reading;
    for (int axis = 0; axis < 3; ++axis) {
        reading.counts[axis] = static_cast<std::int16_t>(state.GetAvgCount(axis));
    }
    for (int index = 0; index < 2; ++index) {
        reading.level[index] = static_cast<std::int16_t>(state.GetMagLevel(index));
    }
    reading.pitch = state.GetPitch();
    reading.roll = state.GetRoll();
    return reading;
}
