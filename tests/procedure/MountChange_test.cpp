// The mount change: the unit is awaited through its silence, a cancel before the send sends
// nothing, and once sent the position is put into use even after a cancel.
#include "procedure/MountChange.h"
#include "procedure/ProcedureFixture.h"
#include "records/InstallationSession.h"

#include <string>

namespace {

constexpr int kNoMount = CInstallationSession::kNoMount;
constexpr double kBoundMs = 30000;

class MountChangeTest : public CProcedureFixture {};

TEST_F(MountChangeTest, TheUnitIsAwaitedThroughItsSilenceThenItsMagnetometerOnPageF) {
    struct Case {
        const char* name;
        bool powerOn, magnetometer;
        StepOutcome outcome;
    };
    const Case cases[] = {
        {"back with its magnetometer", true, true, StepOutcome::Done},
        {"back without its magnetometer", true, false, StepOutcome::TimedOut},
        {"still off", false, true, StepOutcome::TimedOut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewUnit();
        OpenOnPageC();
        ASSERT_EQ(unit->Command("power off"), "ok power off");
        ASSERT_TRUE(RunUntil([&] { return !link->IsLinkAlive(); }));
        unit->Command(c.magnetometer ? "mag on" : "mag off");
        if (c.powerOn) {
            unit->Command("power on");
        }
        EXPECT_EQ(Finish(AwaitUnitAfterPowerOn(*context, kBoundMs)), c.outcome);
    }
}

TEST_F(MountChangeTest, ACancelBeforeTheSendSendsNothingAndOneAfterItStillPutsThePositionInUse) {
    enum class Cancel { Never, WhileSettling, OnceSent };
    struct Case {
        const char* name;
        Cancel cancel;
        StepOutcome outcome;
        const char* mount; // the unit's position in use and stored
        int selected;      // the session's selected mount afterwards
    };
    const Case cases[] = {
        {"not cancelled", Cancel::Never, StepOutcome::Done, "11", kNoMount},
        {"cancelled while settling", Cancel::WhileSettling, StepOutcome::Cancelled, "9", 11},
        {"cancelled once sent", Cancel::OnceSent, StepOutcome::Done, "11", kNoMount},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NewUnit();
        OpenOnPageC();
        CInstallationSession session;
        session.SetSelectedMount(11);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (c.cancel == Cancel::WhileSettling ||
                (c.cancel == Cancel::OnceSent && session.SelectedMount() == kNoMount)) {
                context->Cancel();
            }
        });
        watch.start(1);
        const double settleMs = c.cancel == Cancel::WhileSettling ? 10 * kRunBoundMs : 500;
        EXPECT_EQ(Finish(SendMount(*context, session, 11, settleMs)), c.outcome);
        EXPECT_EQ(context->IsCancelled(), c.cancel != Cancel::Never) << "the cancel came";
        EXPECT_EQ(session.SelectedMount(), c.selected);
        EXPECT_TRUE(RunUntil(
            [&] { return UnitState("Mount") == c.mount && UnitState("StoredMount") == c.mount; }));
    }
}

} // namespace
