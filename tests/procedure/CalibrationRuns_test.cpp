// The coarse and fine runs against the in-process unit: unconfirmed compass corrections,
// cancelled steps and a location the unit did not keep across a reset.
#include "procedure/CoarseRun.h"
#include "procedure/FineRun.h"
#include "procedure/ProcedureFixture.h"
#include "records/InstallationSession.h"

#include <QTimer>

#include <array>
#include <chrono>
#include <cmath>

namespace {

constexpr double kHeld = 1.5; // every compass correction before a case

class CalibrationRunsTest : public CProcedureFixture {
protected:
    // Sets every compass correction to kHeld and waits for the echoes.
    void HoldCompassCorrections() {
        for (int heading = 0; heading < 4; ++heading) {
            ASSERT_TRUE(link->SendMcc(heading, kHeld));
        }
        ASSERT_TRUE(RunUntil([&] { return Mcc() == std::array{kHeld, kHeld, kHeld, kHeld}; }));
    }
    std::array<double, 4> Mcc() {
        std::array<double, 4> mcc{};
        for (int heading = 0; heading < 4; ++heading) {
            mcc[heading] = std::round(link->State().GetMcc(heading) * 100.0) / 100.0;
        }
        return mcc;
    }

    CInstallationSession session;
    CCoarseRun coarse;
    CFineRun fine;
};

// The east correction is written but never echoed: the run stops there, in its own order
// (the coarse zeroing and a new set N, E, S, W; the fine zeroing N, S, E, W).
TEST_F(CalibrationRunsTest, ARunStopsAtTheFirstCompassCorrectionNotConfirmed) {
    enum class Run { CoarseZero, FineZero, FineStore };
    constexpr std::array<double, 4> kErrors{1.0, -1.0, 2.0, -2.0};
    const std::array<double, 4> fresh = ComputeCompassCorrections(kErrors);
    const double north = std::round(fresh[kHeadingNorth] * 100.0) / 100.0;
    struct Case {
        const char* name;
        Run run;
        std::array<double, 4> after; // by index N, S, E, W
    };
    const Case cases[] = {
        {"coarse zeroing", Run::CoarseZero, {0.0, kHeld, kHeld, kHeld}},
        {"fine zeroing", Run::FineZero, {0.0, 0.0, kHeld, kHeld}},
        {"new corrections", Run::FineStore, {north, kHeld, kHeld, kHeld}},
    };
    OpenOnPageC();
    for (int heading = 0; heading < 4; ++heading) {
        session.SetFineError(heading, kErrors[heading]);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(unit->Command("fault ignore off"), "ok fault ignore off");
        HoldCompassCorrections();
        ASSERT_EQ(unit->Command("fault ignore MCC E"), "ok fault ignore MCC E");
        std::optional<CorrectionEcho> echo;
        if (c.run == Run::CoarseZero) {
            echo = Finish(coarse.ZeroCorrections(*context, session));
            EXPECT_FALSE(coarse.CorrectionsZeroed());
        } else if (c.run == Run::FineZero) {
            echo = Finish(fine.ZeroCorrections(*context));
            EXPECT_FALSE(fine.CorrectionsZeroed());
        } else {
            const std::optional<CFineRun::Storing> storing =
                Finish(fine.StoreNewCorrections(*context, session));
            ASSERT_TRUE(storing);
            echo = storing->echo;
        }
        ASSERT_TRUE(echo);
        EXPECT_EQ(echo->result, EchoPollResult::TimedOut);
        EXPECT_EQ(echo->kind, CorrectionEcho::Kind::Compass);
        EXPECT_EQ(echo->index, kHeadingEast);
        EXPECT_EQ(Mcc(), c.after);
    }
}

// A step cancelled before it begins sends nothing; one cancelled (the link lost) while it
// waits records nothing, and the unit is not switched to output page E behind the
// connection page.
TEST_F(CalibrationRunsTest, ACancelledStepSendsRecordsAndResetsNothing) {
    OpenOnPageC();
    HoldCompassCorrections();
    const std::array<std::string, 3> names{"Latitude", "MagneticVariation", "Page"};
    std::array<std::string, 3> before;
    for (std::size_t i = 0; i < names.size(); ++i) {
        before[i] = UnitState(names[i]);
    }
    context->Cancel();
    bool reset = false;
    EXPECT_EQ(
        Finish(CFineRun::VerifyAcrossMagReset(*context, 5000, std::nullopt, [&] { reset = true; })),
        CFineRun::Verification::Cancelled);
    EXPECT_FALSE(reset);
    EXPECT_EQ(Finish(CFineRun::SendLocation(*context, {12.5, 3.25}, false)),
              StepOutcome::Cancelled);
    RunUntil([] { return false; }, 2000); // time for the echo of anything sent
    EXPECT_EQ(Mcc(), (std::array{kHeld, kHeld, kHeld, kHeld}));
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(UnitState(names[i]), before[i]) << names[i];
    }

    const auto cancelSoon = [&] {
        context = std::make_unique<CStepContext>(*link, timeBase);
        const auto soon =
            std::chrono::duration_cast<std::chrono::milliseconds>(timeBase.ToReal(500));
        QTimer::singleShot(soon, [this] { context->Cancel(); });
    };
    cancelSoon();
    const double heading = link->State().GetAvgHeading();
    EXPECT_EQ(Finish(fine.RecordError(*context, session, kHeadingNorth, heading, 0.5)),
              CFineRun::Recording::Cancelled);
    EXPECT_EQ(session.FineError(kHeadingNorth), 0.0);
    cancelSoon();
    EXPECT_EQ(Finish(CFineRun::VerifyAcrossMagReset(*context, 8000, CFineRun::Location{}, {})),
              CFineRun::Verification::Cancelled);
    RunUntil([] { return false; }, 3000);
    EXPECT_NE(UnitState("Page"), "E");
}

// The unit reloads its corrections across the reset; the location it reports afterwards
// must be the one entered, and a lost link (silent beyond the wait) never counts as kept.
TEST_F(CalibrationRunsTest, TheVerificationComparesTheLocationEnteredWithTheOneReloaded) {
    struct Case {
        const char* name;
        double latitudeOffset;
        const char* fault;
        CFineRun::Verification verification;
    };
    const Case cases[] = {
        {"the location kept", 0.0, "", CFineRun::Verification::Kept},
        {"another latitude", 0.5, "", CFineRun::Verification::NotKept},
        {"unit switched off", 0.0, "power off", CFineRun::Verification::LinkLost},
    };
    OpenOnPageC();
    const std::optional<std::optional<CFineRun::Location>> held =
        Finish(CFineRun::ReadLocation(*context));
    ASSERT_TRUE(held && *held);
    ASSERT_TRUE(link->SelectOutputPage('C'));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (*c.fault != '\0') {
            ASSERT_EQ(unit->Command(c.fault), std::string("ok ") + c.fault);
        }
        CFineRun::Location entered = **held;
        entered.latitude += c.latitudeOffset;
        bool reset = false;
        EXPECT_EQ(
            Finish(CFineRun::VerifyAcrossMagReset(*context, 8000, entered, [&] { reset = true; })),
            c.verification);
        EXPECT_TRUE(reset);
    }
}

} // namespace
