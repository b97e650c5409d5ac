#pragma once

#include "device/StableText.h"

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

// The one record of everything last reported by the HX410 and its RQ270. The port's listener thread
// writes it, the user-interface thread reads it; every operation holds the record lock for its
// whole duration and getters return copies. The record lock is a leaf: no operation
// calls out while holding it.
//
// Index conventions: axis 0 = X, 1 = Y, 2 = Z; heading 0 = North, 1 = South,
// 2 = East, 3 = West. An index out of range makes a getter return 0 and a setter do
// nothing.
class CAhrsState {
public:
    using ScaleTable = std::map<std::int32_t, double>;

    // How the unit says it has no serial number.
    static constexpr std::string_view kNoSerialNumber = "0";

    CAhrsState();
    virtual ~CAhrsState() = default;
    CAhrsState(const CAhrsState&) = delete;
    CAhrsState& operator=(const CAhrsState&) = delete;

    // Restores the reset values; keeps both serial numbers, the version class and the raw
    // magnetometer heading. A serial number
    // reported after a reset needs its full count of reports again to replace the kept one.
    void Reset();
    void ClearCounters();

    // Receive side. Versions and serial numbers are reports: each is taken once the same
    // text has arrived twice in a row (CStableText), so a corrupted line is never taken.
    void SetAhrsVersion(const std::string& text);
    void SetMagVersion(const std::string& text);
    void SetAhrsSerialNumber(const std::string& text);
    void SetMagSerialNumber(const std::string& text);
    void SetAnFlag(bool value);
    void SetStatusWord(std::uint32_t word);
    void CountStatusLine(); // a "STAT" line whose word could not be read
    void SetPitch(double value);
    void SetRoll(double value);
    void SetOutputHeading(double value);
    void SetMagRawHeading(double value);
    void SetMagCorrHeading(double value);
    void AddAvgHeadingSample(double value);
    void SetAccel(int axis, double value);
    void SetGyro(int axis, double value);
    void SetGyroBias(int axis, double value);
    void SetAvgCount(int axis, std::uint16_t value);
    void SetMagLevel(int index, std::uint16_t value);
    void SetMagFieldCorrection(int axis, std::int16_t value);
    void SetMcc(int heading, double value);
    void SetMountPosition(std::int32_t value);
    void SetLatitude(double value);
    void SetMagneticVariation(double value);
    void SetA429Speed(double value);
    void SetBlkValue(double value);
    void SetArincOutput(double value);
    void SetColonLineText(const std::string& text);
    void SetDataText(const std::string& text);
    void SetGyroScale(std::int32_t key, double value);
    void SetAccelScale(std::int32_t key, double value);

    // The class of the unit's version, as the connection page classifies it.
    void SetAhrsVersionClass(std::int32_t value);
    // Stores the class of the version text (AhrsVersionClassOf) and returns it. Counts
    // the unknown ones in a row; a known one clears the count. An empty text (no version
    // taken yet, as after a lost link) returns class 8 but is neither stored nor counted:
    // the pages keep the class of the last version the unit reported.
    std::int32_t ClassifyAhrsVersion(const std::string& text);
    // True once in the process's life: when five or more classifications in a row found
    // the unit's version unknown. The caller then tells the installer and ends the program.
    bool TakeUnknownVersionReport();

    // Getters. Versions and serial numbers as taken: the last text reported twice in a row.
    std::string GetAhrsVersion() const;
    std::string GetAhrsSerialNumber() const;
    std::string GetMagVersion() const;
    std::string GetMagSerialNumber() const;
    // The texts of the last reports, taken or not: what the decoder shows of a capture.
    std::string GetReportedAhrsVersion() const;
    std::string GetReportedAhrsSerialNumber() const;
    std::string GetReportedMagVersion() const;
    std::string GetReportedMagSerialNumber() const;
    std::string GetColonLineText() const;
    std::string GetDataText() const;

    std::int32_t GetAhrsVersionClass() const;
    bool GetAnFlag() const;
    bool GetStatusBit0() const;
    std::uint32_t GetStatusWord() const;
    // Whether a status word was read since the record was reset: before, the word is not the
    // unit's.
    bool HasStatusWord() const;
    std::uint32_t GetStatusCount() const;
    std::uint32_t GetAvgHeadingCount() const;
    std::uint32_t GetArincCount() const;
    std::uint16_t GetAvgCount(int axis) const;
    std::uint16_t GetMagLevel(int index) const;
    std::int16_t GetMagFieldCorrection(int axis) const;
    std::int32_t GetMountPosition() const;

    double GetPitch() const;
    double GetRoll() const;
    double GetOutputHeading() const;
    double GetMagRawHeading() const;
    double GetMagCorrHeading() const;
    double GetHeadingError() const;
    double GetAvgHeading() const;
    double GetAvgHeadingRate() const;
    double GetPrevAvgHeading() const;
    double GetHeadingFilterLength() const;
    double GetRateFilterLength() const;
    bool GetFirstHeading() const;
    bool GetFirstRate() const;
    double GetAccel(int axis) const;
    double GetGyro(int axis) const;
    double GetGyroBias(int axis) const;
    double GetBlkValue() const;
    double GetMcc(int heading) const;
    // How often the unit has reported a correction since the record was made (a lost link
    // does not reset it): the echo of a command is a report counted after the command.
    std::uint32_t GetMagFieldCorrectionReports(int axis) const;
    std::uint32_t GetMccReports(int heading) const;
    double GetLatitude() const;
    double GetMagneticVariation() const;
    // Latitude and magnetic variation rows read since the last reset: while none was, the
    // record holds no value of the unit's but its reset value.
    std::uint32_t GetLatitudeCount() const;
    std::uint32_t GetMagneticVariationCount() const;
    double GetA429Speed() const;
    double GetArincOutput() const;
    ScaleTable GetGyroScaleTable() const;
    ScaleTable GetAccelScaleTable() const;

private:
    using Axes = std::array<double, 3>;
    using Headings = std::array<double, 4>;

    void ResetLocked();

    template <class Array, class Value> void Store(Array& array, int index, Value value);
    template <class Array> typename Array::value_type Load(const Array& array, int index) const;

    mutable std::mutex lock;

    CStableText ahrsVersion;
    CStableText ahrsSerialNumber;
    CStableText magVersion;
    CStableText magSerialNumber;
    std::string colonLineText;
    std::string dataText;

    std::int32_t ahrsVersionClass = 0;
    int unknownVersionCount = 0; // kept across Reset, as the version class is
    bool unknownVersionReported = false;
    bool anFlag = false;
    bool statusBit0 = false;
    std::uint32_t statusWord = 0;
    bool hasStatusWord = false;
    std::uint32_t statusCount = 0;
    std::uint32_t avgHeadingCount = 0;
    std::uint32_t arincCount = 0;
    std::array<std::uint16_t, 3> avgCounts{};
    std::array<std::uint16_t, 2> magLevel{};
    std::array<std::int16_t, 3> magFieldCorrection{};
    std::int32_t mountPosition = 0;

    double pitch = 0;
    double roll = 0;
    double outputHeading = 0;
    double magRawHeading = 0;
    double magCorrHeading = 0;
    double headingError = 0;
    double avgHeading = 0;
    double avgHeadingRate = 0;
    double prevAvgHeading = 0;
    double headingFilterLength = 4.0;
    double rateFilterLength = 2.0;
    bool firstHeading = true;
    bool firstRate = true;
    Axes accel{};
    Axes gyro{};
    Axes gyroBias{};
    double blkValue = 0;
    Headings mcc{};
    std::array<std::uint32_t, 7> correctionReports{}; // MFC X, Y, Z, then MCC by heading
    double latitude = 0;
    double magneticVariation = 0;
    std::uint32_t latitudeCount = 0;
    std::uint32_t magneticVariationCount = 0;
    double a429Speed = 0;
    double arincOutput = -1.0;

    ScaleTable gyroScaleTable;
    ScaleTable accelScaleTable;
};
