#pragma once

#include "records/InstallationValues.h"

// An installation as the log and the report record it. Every correction and table differs
// by heading, so a heading out of order shows.
inline InstallationValues SampleValues() {
    return {.ahrsSerialNumber = "A1234",
            .ahrsVersion = "3.10",
            .magSerialNumber = "M5678",
            .magVersion = "2.01",
            .programVersion = "1.0.0",
            .versionClass = 5,
            .tailNumber = "N123AB",
            .shopName = "Aero Shop",
            .installer = "J. Smith",
            .mountPosition = 9,
            .mountLabel = "Connector Forward",
            .freeField = std::array<std::int16_t, 3>{-120, 0, 4521},
            .magFieldCorrection = {15, -7, 0},
            .mcc = {1.25, -0.004, 2.5, -3.0},
            .magneticVariation = -12.3,
            .latitude = 44.8765,
            .rawMagX = {1011.0, 1012.0, 1013.0, 1014.0},
            .rawMagY = {-2101.0, -2102.0, -2103.0, -2104.0},
            .rawMagZ = {0.0, 31.5, -31.5, 3.0},
            .effPitch = {1.234, -1.236, 0.001, 10.0},
            .effRoll = {-0.5, 0.75, 3.14159, -2.71828},
            .levelMagX = {500.111, 501.222, 502.333, 503.444},
            .levelMagY = {-600.0, -601.0, -602.0, -603.0},
            .levelMagZ = {7000.996, 7010.0, 7020.0, 7030.0},
            .swing = {},
            .swingToleranceDeg = CCompassSwing::kDefaultToleranceDeg};
}
