// The store of the compass corrections is done only when each banner comes within its own
// wait, and nothing follows a wait that did not end in Done.
#include "procedure/ProcedureFixture.h"
#include "procedure/StepWaits.h"
#include "procedure/StoreCorrections.h"

#include <cmath>
#include <string>

namespace {

constexpr int kEast = 2;
constexpr double kPauseMs = CAhrsLink::kMccPauseMs;
constexpr double kAckBoundMs = CAhrsLink::kMccAckTimeoutMs;

class StoreCorrectionsTest : public CProcedureFixture {
protected:
    // Sets the east correction and waits for its echo.
    void SetEast(double value) {
        ASSERT_TRUE(link->SendMcc(kEast, value));
        ASSERT_TRUE(
            RunUntil([&] { return std::fabs(link->State().GetMcc(kEast) - value) <= 0.02; }));
    }

    // What the unit keeps once every banner it owes has come.
    std::string StoredEast() {
        EXPECT_TRUE(RunUntil([&] { return UnitState("PendingBanners") == "0"; }));
        return UnitState("StoredMccE");
    }
};

TEST_F(StoreCorrectionsTest, StoresOnlyWithBothBannersInTheirWaitsAndWritesNothingAfterAFailure) {
    enum class Cancel { Never, BeforeTheStart, InTheErasesWait, DestroyInTheStoresWait };
    struct Case {
        const char* name;
        double ackDelayMs; // from a command to its banner
        const char* fault; // a control command given before the store, or ""
        Cancel cancel;
        StepOutcome outcome;
        const char* stored; // 1.50 kept from before, 0.00 erased, 2.50 the new value
        double minElapsedMs;
    };
    const Case cases[] = {
        {"both banners", 3000, "", Cancel::Never, StepOutcome::Done, "2.50", 4 * kPauseMs + 2000},
        {"erase banner lost", 3000, "fault ignore ERASE", Cancel::Never, StepOutcome::TimedOut,
         "1.50", kPauseMs + kAckBoundMs},
        {"store banner lost", 3000, "fault ignore STORE", Cancel::Never, StepOutcome::TimedOut,
         "0.00", 3 * kPauseMs + 1000 + kAckBoundMs},
        {"erase banner within the pause", 1000, "", Cancel::Never, StepOutcome::TimedOut, "0.00",
         kPauseMs + kAckBoundMs},
        {"unit switched off", 3000, "power off", Cancel::Never, StepOutcome::LinkLost, "1.50",
         kPauseMs},
        {"cancelled before the start", 3000, "", Cancel::BeforeTheStart, StepOutcome::Cancelled,
         "1.50", 0},
        // Slow banners: a cancel timer that fires late on a loaded machine stays in its wait.
        {"cancelled in the erase's wait", 6000, "", Cancel::InTheErasesWait, StepOutcome::Cancelled,
         "0.00", 0},
        {"context destroyed in the store's wait", 6000, "", Cancel::DestroyInTheStoresWait,
         StepOutcome::Cancelled, "2.50", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        config.ackDelayMs = c.ackDelayMs;
        NewUnit();
        OpenOnPageC();
        SetEast(1.5);
        ASSERT_TRUE(link->WriteStoreMcc());
        ASSERT_EQ(StoredEast(), "1.50");
        SetEast(2.5);
        if (*c.fault != '\0') {
            ASSERT_EQ(unit->Command(c.fault), std::string("ok ") + c.fault);
        }
        if (c.cancel == Cancel::BeforeTheStart) {
            context->Cancel();
        } else if (c.cancel == Cancel::InTheErasesWait) {
            QTimer::singleShot(RealPause(timeBase, 2500), [&] { context->Cancel(); });
        } else if (c.cancel == Cancel::DestroyInTheStoresWait) {
            QTimer::singleShot(RealPause(timeBase, 9000), [&] { context.reset(); });
        }
        const double startMs = timeBase.NowMs();
        EXPECT_EQ(Finish(EraseAndStoreMcc(*context)), c.outcome);
        EXPECT_GE(timeBase.NowMs() - startMs, c.minElapsedMs);
        EXPECT_EQ(StoredEast(), c.stored);
    }
}

TEST_F(StoreCorrectionsTest, WithoutALinkNothingIsWritten) {
    EXPECT_EQ(Finish(EraseAndStoreMcc(*context)), StepOutcome::LinkLost);
    EXPECT_EQ(UnitState("PendingBanners"), "0");
}

} // namespace
