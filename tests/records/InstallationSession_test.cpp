#include "records/InstallationSession.h"

#include "device/AhrsState.h"

#include <array>
#include <string>

#include <gtest/gtest.h>

namespace {

// A free field belongs to one magnetometer: another one's, or none, never stands in for it.
TEST(InstallationSession, AFreeFieldServesOnlyItsOwnMagnetometer) {
    CInstallationSession session;
    EXPECT_FALSE(session.FreeFieldOf(""));
    session.SetFreeField("270456", {100, -200, 300});
    EXPECT_EQ(session.FreeFieldOf("270456").value_or(FreeFieldValues{}).z, 300);
    EXPECT_FALSE(session.FreeFieldOf("270999")) << "another magnetometer";
    EXPECT_FALSE(session.FreeFieldOf("")) << "no magnetometer reported";
    session.ClearFreeField();
    EXPECT_FALSE(session.FreeFieldOf("270456")) << "its file could not be read";
}

// The corrections kept are those before the first zeroing, and only for their own unit.
TEST(InstallationSession, EarlierCorrectionsAndFrozenValuesBelongToTheirUnit) {
    CInstallationSession session;
    session.SetRestoreDue(true);
    EXPECT_FALSE(session.RestoreDueFor("410123")) << "nothing to restore";
    const CInstallationSession::Corrections before{{-650, 1160, 240}, {1.25, -0.5, 0.75, -2.0}};
    session.KeepEarlierCorrections("410123", before);
    session.KeepEarlierCorrections("410123", {}); // the same step again, after it zeroed them
    session.SetRestoreDue(true);
    EXPECT_EQ(session.EarlierCorrectionsOf("410123"), before);
    EXPECT_TRUE(session.RestoreDueFor("410123"));
    EXPECT_FALSE(session.EarlierCorrectionsOf("410999") || session.RestoreDueFor("410999"));

    const CInstallationSession::Corrections stored{{-640, 1150, 250}, {0.5, 0.25, -0.25, 0}};
    session.ReplaceEarlierCorrections("410123", stored);
    EXPECT_EQ(session.EarlierCorrectionsOf("410123"), stored);
    EXPECT_FALSE(session.RestoreDueFor("410123"));
    session.KeepEarlierCorrections("410999", before); // another unit connected
    EXPECT_FALSE(session.EarlierCorrectionsOf("410123"));

    InstallationValues values;
    values.ahrsSerialNumber = "410123";
    session.Freeze(values);
    EXPECT_TRUE(session.FrozenFor("410123") && !session.FrozenFor("410999"));
    session.Thaw();
    EXPECT_FALSE(session.FrozenFor("410123"));
}

// The log's tables come from the coarse result; a lost link (the record reset) takes nothing.
TEST(InstallationSession, ValuesCarryTheCoarseTablesWhateverTheRecordHolds) {
    std::array<HeadingMeasurement, 4> byHeading{};
    for (int i = 0; i < 4; ++i) {
        byHeading[i] = {static_cast<int16_t>(100 * (i + 1)), static_cast<int16_t>(-10 * (i + 1)),
                        static_cast<int16_t>(1000 + i), 1.5 * i, -0.5 * i};
    }
    CInstallationSession session;
    session.SetTailNumber("N410\nKT");
    session.SetCoarseResult(byHeading, ComputeCoarseCorrections(byHeading, 900));
    CAhrsState state;
    state.SetMcc(0, 1.25);
    state.Reset();
    const InstallationValues values = session.ValuesWith(state, "/nonexistent");
    EXPECT_EQ(values.tailNumber, "N410KT") << "no control character in an entry";
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(values.rawMagX[i], byHeading[i].x);
        EXPECT_EQ(values.effRoll[i], byHeading[i].roll);
        EXPECT_EQ(values.levelMagZ[i], LevelOf(byHeading[i]).z);
    }
    EXPECT_FALSE(values.freeField) << "no measurement file";
}

// The swing and the saved log belong to their HX410; only what is recorded later is unlogged.
TEST(InstallationSessionSwingTest, TheSwingAndTheLogBelongToTheirUnit) {
    CInstallationSession session;
    session.RecordSwing("A1", 0, 0.5);
    session.RecordSwing("A1", 3, 91.0);
    CCompassSwing logged = session.SwingOf("A1");
    session.SetSavedLog("A1", "a.log", logged);
    EXPECT_TRUE(session.UnloggedSwingOf("A1").Empty());
    session.RecordSwing("A1", 3, 89.5); // recorded again after the save
    EXPECT_EQ(session.UnloggedSwingOf("A1").RecordedCount(), 1);
    EXPECT_EQ(session.UnloggedSwingOf("A1").UnitHeadingAt(3), 89.5);
    EXPECT_EQ(session.SavedLogOf("A1"), "a.log");

    // Another unit sees neither; recording on it starts afresh.
    EXPECT_TRUE(session.SwingOf("B2").Empty() && session.SavedLogOf("B2").empty());
    session.RecordSwing("B2", 1, 30.5);
    EXPECT_EQ(session.SwingOf("B2").RecordedCount(), 1);
    EXPECT_TRUE(session.SwingOf("A1").Empty() && session.SavedLogOf("A1").empty());
}

} // namespace
