#pragma once

#include "records/CalibrationMath.h"
#include "records/InstallationValues.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What the technician and the wizard produce during one installation: the identification
// entries, the free field in use, the measurements of the coarse and fine steps, the
// corrections the unit held before the calibration, the mount chosen and not yet made, the
// page a step leaves for the next one, and the values frozen for the log and the report.
// What the unit reports is in CAhrsState; a lost link resets that and nothing of this.
// Used on the user-interface thread only.
//
// Heading index: 0 North, 1 South, 2 East, 3 West. An index out of range makes a getter
// return the empty value and a setter do nothing.
class CInstallationSession {
public:
    static constexpr int kNoMount = 0;
    static constexpr int kNoPage = -1;

    // The installer's entries. They never hold a control character: a line break from a
    // pasted text would otherwise start a line of its own in the log.
    struct Identification {
        std::string tailNumber;
        std::string installer;
        std::string shopName;
    };
    // One heading's coarse collection: its mean counts and attitude, and its level components.
    struct CoarseHeading {
        HeadingMeasurement measurement;
        LevelComponents level;
    };
    // The corrections a unit holds: three field corrections and four compass corrections.
    struct Corrections {
        std::array<std::int16_t, 3> mfc{};
        std::array<double, 4> mcc{};
        bool operator==(const Corrections&) const = default;
    };
    // The corrections the unit last reported.
    static Corrections CorrectionsOf(const CAhrsState& state);

    const Identification& Entries() const { return entries; }
    void SetTailNumber(std::string_view value);
    void SetInstaller(std::string_view value);
    void SetShopName(std::string_view value);

    // The free field of one magnetometer, by its serial number. Only that magnetometer's
    // values are ever returned: for any other, or after ClearFreeField, none.
    void SetFreeField(std::string_view magSerialNumber, const FreeFieldValues& values);
    void ClearFreeField();
    std::optional<FreeFieldValues> FreeFieldOf(std::string_view magSerialNumber) const;

    void SetCoarseHeading(int heading, const HeadingMeasurement& measurement,
                          const LevelComponents& level);
    // The four headings of a coarse result, with the level components it recomputed.
    void SetCoarseResult(const std::array<HeadingMeasurement, 4>& byHeading,
                         const CoarseCorrectionResult& result);
    void ClearCoarseHeadings();
    CoarseHeading CoarseHeadingAt(int heading) const;

    void SetFineError(int heading, double error);
    void ClearFineErrors();
    double FineError(int heading) const;
    const std::array<double, 4>& FineErrors() const { return fineErrors; }

    // The corrections a unit (by its serial number) held before the calibration changed
    // any: kept from the first call for that unit until ReplaceEarlierCorrections, so that
    // Back, a Next without measuring and a return after a lost link write back what it
    // really held. Another unit's are never returned.
    void KeepEarlierCorrections(std::string_view ahrsSerialNumber, const Corrections& held);
    // New corrections were stored in the unit: they are the ones to keep from now on.
    void ReplaceEarlierCorrections(std::string_view ahrsSerialNumber, const Corrections& stored);
    std::optional<Corrections> EarlierCorrectionsOf(std::string_view ahrsSerialNumber) const;
    // Whether the earlier compass corrections are to be written back when the link returns:
    // set while the fine step has them replaced, cleared once they are back or superseded.
    void SetRestoreDue(bool due) { restoreDue = due; }
    bool RestoreDueFor(std::string_view ahrsSerialNumber) const {
        return restoreDue && EarlierCorrectionsOf(ahrsSerialNumber).has_value();
    }

    // The mount chosen on the mount page and not yet made; kNoMount for none.
    void SetSelectedMount(int mount) { selectedMount = mount; }
    int SelectedMount() const { return selectedMount; }

    // The page a step chose for the one that moves on next; kNoPage for none.
    void SetPendingPage(int page) { pendingPage = page; }
    int PeekPendingPage() const { return pendingPage; }
    // Returns the pending page and clears it.
    int TakePendingPage();

    // The values of the log and the report, taken once the calibration is done; a new
    // calibration thaws them, and starts the swing and the log afresh. Only the unit they
    // were taken from gets them back.
    void Freeze(const InstallationValues& values) { frozen = values; }
    void Thaw();
    std::optional<InstallationValues> FrozenFor(std::string_view ahrsSerialNumber) const;

    // The compass swing recorded after the calibration, by the HX410's serial number (another
    // unit has none); a new calibration starts it afresh.
    CCompassSwing SwingOf(std::string_view ahrsSerialNumber) const;
    void RecordSwing(std::string_view ahrsSerialNumber, int line, double unitHeadingDeg);
    void ClearSwing();
    // The log saved on the finish page for that unit (empty: none), with the swing as it held
    // it; the lines recorded since, which it does not hold yet.
    void SetSavedLog(std::string_view ahrsSerialNumber, std::string path,
                     const CCompassSwing& logged);
    std::string SavedLogOf(std::string_view ahrsSerialNumber) const;
    CCompassSwing UnloggedSwingOf(std::string_view ahrsSerialNumber) const;
    void SetSwingLogged() { unlogged = CCompassSwing(); }

    // The installer's entries as they are now, into `values`.
    void WithEntries(InstallationValues& values) const;

    // The unit's values and this session's measurements and entries, as the log and the
    // report record them (the mount label is the caller's to fill).
    InstallationValues ValuesWith(const CAhrsState& state, const std::string& directory) const;

private:
    Identification entries;
    std::string freeFieldSerial;
    std::optional<FreeFieldValues> freeField;
    std::array<CoarseHeading, 4> coarse{};
    std::array<double, 4> fineErrors{};
    std::string earlierSerial;
    std::optional<Corrections> earlier;
    bool restoreDue = false;
    int selectedMount = kNoMount;
    int pendingPage = kNoPage;
    std::optional<InstallationValues> frozen;
    std::string swingSerial;
    CCompassSwing swing;
    CCompassSwing unlogged; // recorded since the log was saved
    std::string savedLog;
};
