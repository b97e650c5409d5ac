#include "records/InstallationSession.h"

#include "device/AhrsState.h"
#include "records/PlainText.h"

namespace {

bool IsHeading(int heading) {
    return heading >= 0 && heading < 4;
}

} // namespace

CInstallationSession::Corrections CInstallationSession::CorrectionsOf(const CAhrsState& state) {
    Corrections corrections;
    for (int axis = 0; axis < 3; ++axis) {
        corrections.mfc[axis] = state.GetMagFieldCorrection(axis);
    }
    for (int heading = 0; heading < 4; ++heading) {
        corrections.mcc[heading] = state.GetMcc(heading);
    }
    return corrections;
}

void CInstallationSession::SetTailNumber(std::string_view value) {
    entries.tailNumber = WithoutControlCharacters(value);
}

void CInstallationSession::SetInstaller(std::string_view value) {
    entries.installer = WithoutControlCharacters(value);
}

void CInstallationSession::SetShopName(std::string_view value) {
    entries.shopName = WithoutControlCharacters(value);
}

void CInstallationSession::SetFreeField(std::string_view magSerialNumber,
                                        const FreeFieldValues& values) {
    freeFieldSerial = magSerialNumber;
    freeField = values;
}

void CInstallationSession::ClearFreeField() {
    freeFieldSerial.clear();
    freeField.reset();
}

std::optional<FreeFieldValues>
CInstallationSession::FreeFieldOf(std::string_view magSerialNumber) const {
    if (magSerialNumber != freeFieldSerial) {
        return std::nullopt;
    }
    return freeField;
}

void CInstallationSession::SetCoarseHeading(int heading, const HeadingMeasurement& measurement,
                                            const LevelComponents& level) {
    if (IsHeading(heading)) {
        coarse[heading] = {measurement, level};
    }
}

void CInstallationSession::SetCoarseResult(const std::array<HeadingMeasurement, 4>& byHeading,
                                           const CoarseCorrectionResult& result) {
    for (int heading = 0; heading < 4; ++heading) {
        coarse[heading] = {byHeading[heading], result.level[heading]};
    }
}

void CInstallationSession::ClearCoarseHeadings() {
    coarse = {};
}

CInstallationSession::CoarseHeading CInstallationSession::CoarseHeadingAt(int heading) const {
    return IsHeading(heading) ? coarse[heading] : CoarseHeading{};
}

void CInstallationSession::SetFineError(int heading, double error) {
    if (IsHeading(heading)) {
        fineErrors[heading] = error;
    }
}

void CInstallationSession::ClearFineErrors() {
    fineErrors = {};
}

double CInstallationSession::FineError(int heading) const {
    return IsHeading(heading) ? fineErrors[heading] : 0.0;
}

void CInstallationSession::KeepEarlierCorrections(std::string_view ahrsSerialNumber,
                                                  const Corrections& held) {
    if (!earlier || earlierSerial != ahrsSerialNumber) {
        earlierSerial = ahrsSerialNumber;
        earlier = held;
        restoreDue = false; // another unit's are never written into this one
    }
}

void CInstallationSession::ReplaceEarlierCorrections(std::string_view ahrsSerialNumber,
                                                     const Corrections& stored) {
    earlierSerial = ahrsSerialNumber;
    earlier = stored;
    restoreDue = false;
}

std::optional<CInstallationSession::Corrections>
CInstallationSession::EarlierCorrectionsOf(std::string_view ahrsSerialNumber) const {
    return earlierSerial == ahrsSerialNumber ? earlier : std::nullopt;
}

std::optional<InstallationValues>
CInstallationSession::FrozenFor(std::string_view ahrsSerialNumber) const {
    if (frozen && frozen->ahrsSerialNumber == ahrsSerialNumber) {
        return frozen;
    }
    return std::nullopt;
}

int CInstallationSession::TakePendingPage() {
    const int page = pendingPage;
    pendingPage = kNoPage;
    return page;
}

void CInstallationSession::WithEntries(InstallationValues& values) const {
    values.tailNumber = entries.tailNumber;
    values.installer = entries.installer;
    values.shopName = entries.shopName;
}

InstallationValues CInstallationSession::ValuesWith(const CAhrsState& state,
                                                    const std::string& directory) const {
    InstallationValues v = TakeInstallationValues(state, directory);
    WithEntries(v);
    for (int heading = 0; heading < 4; ++heading) {
        const CoarseHeading& c = coarse[heading];
        v.rawMagX[heading] = c.measurement.x;
        v.rawMagY[heading] = c.measurement.y;
        v.rawMagZ[heading] = c.measurement.z;
        v.effPitch[heading] = c.measurement.pitch;
        v.effRoll[heading] = c.measurement.roll;
        v.levelMagX[heading] = c.level.x;
        v.levelMagY[heading] = c.level.y;
        v.levelMagZ[heading] = c.level.z;
    }
    return v;
}

void CInstallationSession::Thaw() {
    frozen.reset();
    ClearSwing();
}

CCompassSwing CInstallationSession::SwingOf(std::string_view ahrsSerialNumber) const {
    return ahrsSerialNumber == swingSerial ? swing : CCompassSwing();
}

void CInstallationSession::RecordSwing(std::string_view ahrsSerialNumber, int line,
                                       double unitHeadingDeg) {
    if (ahrsSerialNumber != swingSerial) {
        ClearSwing(); // another unit's swing and log are not this one's
        swingSerial = ahrsSerialNumber;
    }
    swing.Record(line, unitHeadingDeg);
    unlogged.Record(line, unitHeadingDeg);
}

void CInstallationSession::ClearSwing() {
    swing = CCompassSwing();
    unlogged = CCompassSwing();
    savedLog.clear();
}

void CInstallationSession::SetSavedLog(std::string_view ahrsSerialNumber, std::string path,
                                       const CCompassSwing& logged) {
    if (ahrsSerialNumber != swingSerial) {
        ClearSwing();
        swingSerial = ahrsSerialNumber;
    }
    savedLog = std::move(path);
    unlogged = CCompassSwing();
    for (int line = 0; line < CCompassSwing::kLineCount; ++line) {
        const std::optional<double> held = swing.UnitHeadingAt(line);
        if (held && held != logged.UnitHeadingAt(line)) {
            unlogged.Record(line, *held);
        }
    }
}

std::string CInstallationSession::SavedLogOf(std::string_view ahrsSerialNumber) const {
    return ahrsSerialNumber == swingSerial ? savedLog : std::string();
}

CCompassSwing CInstallationSession::UnloggedSwingOf(std::string_view ahrsSerialNumber) const {
    return ahrsSerialNumber == swingSerial ? unlogged : CCompassSwing();
}
