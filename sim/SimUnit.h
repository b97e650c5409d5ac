#pragma once

#include "sim/MagModel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

// Identities, timings and starting values of the simulated unit.
struct SimUnitConfig {
    std::string ahrsVersion = "HX410 V1.62";
    std::string magVersion = "RQ270 V2.10";
    std::string ahrsSerial = "410123";
    std::string magSerial = "270456";
    int mount = 9;
    double magvar = -3.5;
    double heading = 0.0; // magnetic heading of the aircraft, degrees
    double pitch = 1.2;   // aircraft attitude, degrees
    double roll = -0.7;
    double warmupMs = 30000.0;  // invalid status with a count-down after power-on
    double magBootMs = 4000.0;  // RQ270 silent ("-----") after power-on or its power reset
    double imuResetMs = 3000.0; // invalid status after "RESET IMU"
    double ackDelayMs = 3000.0; // "ERASE MCC" / "STORE MCC" to their banner
    double countNoise = 3.0;    // sensor noise, counts (standard deviation)
    double headingNoise = 0.01; // noise left on the unit's averaged heading, degrees
    uint64_t seed = 1;
};

// Everything one repaint shows, sampled at one moment.
struct UnitReadout {
    double pitch = 0, roll = 0;
    double outputHeading = 0, magAvg = 0, magRaw = 0;
    Counts3 avg;
    std::array<int16_t, 2> magLevel{};
    uint32_t status = 0;
    std::array<int16_t, 3> mfc{};
    std::array<double, 4> mcc{};
    int mount = 0;
    double latitude = 0, magvar = 0;
    double a429 = 0, arinc = 0;
    std::string ahrsVersion, magVersion, ahrsSerial, magSerial;
    std::string dataLine; // count-down while the status is invalid, else empty
    std::string clock;    // time since power-on, hh:mm:ss
};

// Status bits: all of kStatusValid when the unit is ready; kStatusWarmup while it
// initialises; kStatusMagInvalid when the RQ270 does not answer.
inline constexpr uint32_t kStatusValid = 0xCF;
inline constexpr uint32_t kStatusWarmup = 0x4D;
inline constexpr uint32_t kStatusMagInvalid = 0x1000;

// The HX410 with its RQ270: power, warm-up, the maintenance-port commands, volatile and
// stored configuration, acknowledgement banners and the aircraft it sits in. Driven by
// program time (milliseconds) passed in by the caller; single-threaded.
class CSimUnit {
public:
    CSimUnit(const SimUnitConfig& config, const MagModelParams& model, double nowMs);

    // Moves the aircraft and finishes what was pending up to nowMs.
    void Advance(double nowMs);

    // One command line received on the maintenance port (without its CR).
    void HandlePortLine(std::string_view line, double nowMs);

    // Banners whose time has come, in order; empty while the port is silent.
    std::vector<std::string> TakeDueBanners(double nowMs);

    UnitReadout Sample(double nowMs);
    char Page() const { return page; }
    bool IsPowered() const { return powered; }
    bool IsMagAnswering(double nowMs) const;

    // Control interface.
    void SetHeading(double deg);
    void SetTurnRate(double degPerSecond) { turnRate = degPerSecond; }
    void SetPitch(double deg) { pitch = deg; }
    void SetRoll(double deg) { roll = deg; }
    void PowerOff();
    void PowerOn(double nowMs);
    void SetMagPresent(bool present, double nowMs);
    void SetFreeField(bool on) { freeField = on; }
    void SetDropAcks(bool on) { dropAcks = on; }
    // Commands that start with `prefix` ("MFC Y") are ignored, as by a unit that never took
    // them; an empty prefix takes every command again.
    void SetIgnoredCommand(std::string prefix) { ignoredCommand = std::move(prefix); }
    void SetVersionOverride(std::string text) { ahrsVersionOverride = std::move(text); }

    // Noise-free heading the unit outputs with its current corrections when the aircraft
    // points at the magnetic heading given (current attitude).
    double SwingHeading(double headingDeg) const;

    std::vector<std::pair<std::string, std::string>> State(double nowMs) const;

    // Model access for tests and for the calibration check.
    const CMagModel& Model() const { return model; }
    double Heading() const { return heading; }
    double ReportedPitch() const { return freeField ? 0.0 : pitch; }
    double ReportedRoll() const { return freeField ? 0.0 : roll; }
    const std::array<int16_t, 3>& Mfc() const { return mfc; }
    const std::array<double, 4>& Mcc() const { return mcc; }
    const std::array<double, 4>& StoredMcc() const { return storedMcc; }
    double A429Speed() const { return a429; }
    double StoredA429Speed() const { return storedA429; }
    double ArincOutput() const { return arinc; }
    int Mount() const { return mount; }
    int StoredMount() const { return storedMount; }
    double Latitude() const { return latitude; }
    double MagneticVariation() const { return magvar; }

private:
    enum class Banner { Erase, Store };
    struct PendingBanner {
        double dueMs;
        Banner kind;
    };

    uint32_t StatusWord(double nowMs) const;
    void StartMagBoot(double nowMs);
    void ApplyMagBootEnd(double nowMs);
    void HandleCommand(const std::vector<std::string>& words, double nowMs);

    CMagModel model;
    SimUnitConfig config;
    std::mt19937_64 rng;

    double lastAdvanceMs;
    double heading, turnRate = 0.0, pitch, roll;
    bool freeField = false;

    bool powered = true;
    double powerOnMs;
    double imuResetUntilMs = 0.0;
    bool magPresent = true;
    double magReadyMs;
    bool reloadOnMagReady = false;
    char page = 'C';

    // Non-volatile settings of the HX410.
    std::array<int16_t, 3> mfc{};
    int storedMount;
    int mount;
    double latitude;
    double magvar;
    double arinc = 0.0;
    // RQ270 configuration module: working copies and what "STORE MCC" saved.
    std::array<double, 4> mcc{};
    std::array<double, 4> storedMcc{};
    double a429 = 0.0;
    double storedA429 = 0.0;

    std::vector<PendingBanner> banners;
    bool dropAcks = false;
    std::string ignoredCommand;
    std::string ahrsVersionOverride;

    // Last counts and headings, held while the magnetometer does not answer.
    Vec3 lastSensor;
    double lastMagAvg = 0, lastMagRaw = 0, lastOutput = 0;
};
