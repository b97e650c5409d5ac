#pragma once

#include "device/VersionCapabilities.h"
#include "records/CompassSwing.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

class CAhrsState;

// What an installation's log and printed report record: the units, the installer, the
// configuration the HX410 holds and every calibration measurement, taken at one moment so
// that the log, the report and the finish page's summary agree even if the link is lost
// (which resets the record) before they are written.
struct InstallationValues {
    std::string ahrsSerialNumber;
    std::string ahrsVersion;
    std::string magSerialNumber;
    std::string magVersion;
    std::string programVersion;
    std::int32_t versionClass = 0;

    std::string tailNumber;
    std::string shopName;
    std::string installer;

    std::int32_t mountPosition = 0;
    std::optional<std::string> mountLabel; // none when the mount list has no such position

    // From the magnetometer measurement file; none when it is absent or incomplete.
    std::optional<std::array<std::int16_t, 3>> freeField;

    std::array<std::int16_t, 3> magFieldCorrection{}; // X, Y, Z
    std::array<double, 4> mcc{};                      // by heading index: N, S, E, W
    // None when the unit's were not read (the record then holds only its reset value).
    std::optional<double> magneticVariation;
    std::optional<double> latitude;

    // The measurement tables, by heading index (N, S, E, W).
    std::array<double, 4> rawMagX{}, rawMagY{}, rawMagZ{};
    std::array<double, 4> effPitch{}, effRoll{};
    std::array<double, 4> levelMagX{}, levelMagY{}, levelMagZ{};

    // The compass swing recorded on the verification page (may be empty), and the tolerance
    // its deviations were judged by.
    CCompassSwing swing;
    double swingToleranceDeg = CCompassSwing::kDefaultToleranceDeg;

    // Free-field and sensor-bias values are recorded only for the classes that use them.
    bool HasMagFieldCorrections() const {
        return VersionCapabilities::Of(versionClass).magFieldCorrections;
    }
};

// A location value as the summary, the log and the report write it: two decimals, or
// "not read" when the unit was not heard to hold one.
std::string FixedOrNotRead(const std::optional<double>& value);

// Reads the unit's values from the record, and the free field of its magnetometer from the
// measurement file in `directory`. The installer's entries, the measurement tables and the
// mount label are the caller's to fill (see CInstallationSession::ValuesWith).
InstallationValues TakeInstallationValues(const CAhrsState& state, const std::string& directory);
