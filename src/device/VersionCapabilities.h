#pragma once

#include <cstdint>

// What each HX410 version class (AhrsVersionClassOf: 0..7 known, 8 unknown) offers, in one
// place. A class outside 0..8 offers what the unknown class 8 does.
struct VersionCapabilities {
    // The version text is one the program knows (classes 0 to 7), so the capabilities below are the
    // unit's own; an unknown one (not taken yet on a noisy line, say) decides nothing.
    bool known = false;
    // The connection page lets the installer choose the ARINC 429 speed: classes 6 and 7.
    bool selectableA429Speed = false;
    // The connection page shows the ARINC maintenance word and enables its go-on buttons
    // only once the unit reported its output setting: classes 2 to 7.
    bool maintenanceWord = false;
    // The free-field measurement precedes the calibration, and a changed mount leads to the
    // coarse page (otherwise to the fine page): classes 3 to 7.
    bool freeFieldStep = false;
    // The coarse page collects the four headings; without it the page zeroes the
    // corrections and passes on to the fine page: every class but 0, 1 and 2.
    bool coarseStep = false;
    // The connection page enables Calibrate and Verify Only at once: classes 0 and 1.
    bool goOnWithoutMaintenanceWord = false;
    // The connection page offers Calibrate without the free-field step and makes the mount
    // page the next one: classes 0, 1 and 2.
    bool calibrateFromMount = false;
    // The fine page takes the latitude and the magnetic variation: classes 0 and 1.
    bool takesLocation = false;
    // The log and the report record the magnetic field corrections: classes 3 to 7.
    bool magFieldCorrections = false;

    static VersionCapabilities Of(std::int32_t versionClass);

    bool operator==(const VersionCapabilities&) const = default;
};
