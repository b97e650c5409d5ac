// The fine calibration page against the simulated unit, after a stand-in or real coarse page.

#include "SimulatedLinkSuite.h"
#include "controls/CompassCtrl.h"
#include "procedure/StoreCorrections.h"
#include "wizard/pages/PlaceholderPage.h"

#include <cmath>
#include <set>

namespace {

const std::array<double, 4> kPrevious{1.25, -0.5, 0.75, -2.0}; // an earlier calibration's
const std::array<double, 4> kNone{};

class FinePageTest : public SimPagesTest {
protected:
    explicit FinePageTest(bool realCoarsePage = false)
        : SimPagesTest([realCoarsePage](int index, QWidget* parent) -> CWizardPage* {
              return index == kCoarsePage && !realCoarsePage
                         ? new CPlaceholderPage(QStringLiteral("Coarse"), parent)
                         : MakeStandardPage(index, parent);
          }) {}

    // A unit with a steady heading, connected, holding the compass corrections `held`.
    void Open(std::vector<std::string> options = {}, const std::array<double, 4>& held = kNone) {
        options.insert(options.end(), {"--noise", "3", "--heading-noise", "0"});
        sim = &Connect(options);
        if (held == kNone) {
            return;
        }
        for (int heading = 0; heading < 4; ++heading) {
            ASSERT_TRUE(Link().SendMcc(heading, held[heading]));
        }
        std::optional<StepOutcome> stored;
        const auto store = [&]() -> QCoro::Task<void> {
            stored = co_await EraseAndStoreMcc(wizard.Steps().Context());
        };
        // Started once no step of the page shown runs, as a press would be.
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.RunStep(store); }));
        ASSERT_TRUE(RunEventsUntil([&] { return stored.has_value(); }));
        ASSERT_EQ(*stored, StepOutcome::Done);
        ASSERT_TRUE(RunEventsUntil([&] {
            return State().GetMcc(0) == held[0] && State().GetMcc(1) == held[1] &&
                   State().GetMcc(2) == held[2] && State().GetMcc(3) == held[3];
        }));
    }
    void Enter() {
        GoTo(kFinePage);
        ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    }
    bool Unmeasured(const Cardinal& c) {
        return Result(c)->text().isEmpty() && !Result(c)->IsValid();
    }
    bool UnitMccIs(const std::array<double, 4>& byHeading) {
        for (const Cardinal& c : kWalk) {
            const std::string name = std::string("Mcc") + c.name[0];
            if (std::fabs(std::stod(sim->Value(name)) - byHeading[c.index]) > 0.001) {
                return false;
            }
        }
        return true;
    }
    // Presses Calibrate at `c` once it can be pressed; the boxes shown.
    std::vector<CBoxAnswerer::Box> Press(const Cardinal& c) {
        return BoxesOf([&] { Click(Button(c)); });
    }
    void Measure(const Cardinal& c) {
        TurnTo(*sim, c);
        ASSERT_TRUE(Settled(*sim)) << c.name;
        const std::vector<CBoxAnswerer::Box> boxes = Press(c);
        ASSERT_TRUE(boxes.empty()) << c.name << ": " << boxes.front().caption;
        EXPECT_TRUE(Result(c)->text() == "OK" && Result(c)->IsValid()) << c.name;
    }
    void MeasureAll() {
        for (const Cardinal& c : kWalk) {
            Measure(c);
        }
    }
    // Presses Store; the boxes shown.
    std::vector<CBoxAnswerer::Box> Store() {
        return BoxesOf([&] { Click("storeButton"); });
    }
    bool RestoreDue() { return Session().RestoreDueFor(State().GetAhrsSerialNumber()); }

    CTestUnit* sim = nullptr;
};

TEST_F(FinePageTest, FourHeadingsGiveCorrectionsThatAreStoredAndKeptAcrossTheReset) {
    Open({}, {0.5, -0.25, 0.75, -1.0});
    Enter();
    EXPECT_TRUE(UnitMccIs(kNone));        // the errors are measured without corrections
    EXPECT_FALSE(Shown("locationBlock")); // class 7
    for (const Cardinal& c : kWalk) {
        Measure(c);
        EXPECT_EQ(Shown("storeButton"), c.index == kHeadingWest);
        if (c.index == kHeadingEast) {
            SaveArtifact(wizard, "page-5-fine");
        }
    }
    EXPECT_EQ(WizardButtons(), 0) << "only the store leads on";
    std::array<double, 4> errors{};
    for (int heading = 0; heading < 4; ++heading) {
        errors[heading] = Session().FineError(heading);
    }
    std::array<double, 4> expected = ComputeCompassCorrections(errors);
    for (double& value : expected) {
        value = std::round(value * 100) / 100;
    }
    EXPECT_NE(expected, kNone); // the magnetometer's misalignment was found

    // During the store the page keeps showing the heading, and the RQ270 reset as invalid.
    std::set<std::string> headingsShown, magStatesShown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!BusyText().empty()) {
            headingsShown.insert(Text("rq270HeadingField"));
            magStatesShown.insert(Text("magStatusField"));
        }
    });
    watch.start(1);
    EXPECT_TRUE(BoxesOf([&] {
                    Click("storeButton");
                    QTimer::singleShot(20, [&] { sim->Command("heading 272"); });
                }).empty());
    watch.stop();
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    EXPECT_GT(headingsShown.size(), 1u) << "the heading froze";
    EXPECT_EQ(magStatesShown.count("Invalid"), 1u) << "the reset was not shown";
    EXPECT_TRUE(UnitMccIs(expected));
    for (const Cardinal& c : kWalk) {
        const std::string stored = std::string("StoredMcc") + c.name[0];
        EXPECT_NEAR(std::stod(sim->Value(stored)), expected[c.index], 0.001) << stored;
    }
    EXPECT_FALSE(RestoreDue()) << "a link lost later would write the old corrections back";
}

TEST_F(FinePageTest, BackRestoresTheCorrectionsAndReturningStartsAfresh) {
    Open({}, kPrevious);
    Enter();
    Measure(kWalk[0]);
    Back();
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_TRUE(UnitMccIs(kPrevious));
    Enter();
    for (const Cardinal& c : kWalk) {
        EXPECT_TRUE(Unmeasured(c)) << c.name;
    }
    EXPECT_FALSE(Shown("storeButton"));
    EXPECT_TRUE(UnitMccIs(kNone));
    // The reference is still the one of the first visit, not the zeroed corrections.
    EXPECT_TRUE(RestoreDue());
    EXPECT_EQ(Session().EarlierCorrectionsOf(State().GetAhrsSerialNumber())->mcc, kPrevious);
}

class FinePageAfterCoarseTest : public FinePageTest {
protected:
    FinePageAfterCoarseTest() : FinePageTest(true) {}
};

// The coarse page zeroes every correction before the fine page is shown: Back and a Next
// without measuring write back the corrections of before the calibration.
TEST_F(FinePageAfterCoarseTest, BackAndNextRestoreTheCorrectionsOfBeforeTheCalibration) {
    Open({}, kPrevious);
    GoTo(kCoarsePage);
    ASSERT_TRUE(RunEventsUntil([&] { return UnitMccIs(kNone); }));
    Enter();
    Back(); // to the coarse page, which zeroes them again
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    Enter();
    EXPECT_TRUE(UnitMccIs(kNone));
    Next();
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    EXPECT_TRUE(UnitMccIs(kPrevious));
    EXPECT_FALSE(RestoreDue());
}

TEST_F(FinePageTest, LatitudeAndVariationAreCheckedBeforeAnythingIsSent) {
    Open({"--ahrs-version", "HX410 V1.10", "--latitude", "45", "--magvar", "-3.5"});
    Enter();
    ASSERT_TRUE(Shown("locationBlock"));
    // Filled from what the unit holds, so Store without typing sends no zeros.
    EXPECT_EQ(Text("latitudeEdit"), "45.000000");
    EXPECT_EQ(Text("variationEdit"), "-3.50");
    MeasureAll();
    const struct {
        const char* latitude;
        const char* variation;
        const char* caption; // of the refusal, or none
    } cases[] = {
        {"4O.5", "-3.50", "Invalid Latitude"},
        {"90.5", "-3.50", "Invalid Latitude"},
        {"", "-3.50", "Invalid Latitude"},
        {"47.25", "-180.01", "Invalid Magnetic Variance"},
        {"47.25", "2,5", "Invalid Magnetic Variance"},
        {" 47.25 ", "2.5", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.latitude) + " " + c.variation);
        Find<QLineEdit>("latitudeEdit")->setText(QString::fromLatin1(c.latitude));
        Find<QLineEdit>("variationEdit")->setText(QString::fromLatin1(c.variation));
        const auto boxes = Store();
        EXPECT_TRUE(c.caption != nullptr ? OneBox(boxes, c.caption) : boxes.empty());
        EXPECT_EQ(wizard.CurrentPage(), c.caption != nullptr ? kFinePage : kFinishPage);
        EXPECT_EQ(sim->Value("Latitude"), c.caption != nullptr ? "45.00" : "47.25");
        EXPECT_EQ(sim->Value("MagneticVariation"), c.caption != nullptr ? "-3.50" : "2.50");
    }
}

TEST_F(FinePageTest, AStoreThatIsNotConfirmedNeverMovesOn) {
    for (const std::string fault : {"fault drop-acks on", "mag off"}) {
        SCOPED_TRACE(fault);
        Open();
        Enter();
        MeasureAll();
        ASSERT_EQ(sim->Command(fault).rfind("ok", 0), 0u);
        auto* compass = Find<CCompassCtrl>("compass");
        EXPECT_TRUE(
            RunEventsUntil([&] { return compass->IsNeedleShown() == (fault != "mag off"); }));
        EXPECT_TRUE(OneBox(Store(), "Error storing values",
                           "Failed to store compass correction values to RQ270."));
        EXPECT_EQ(wizard.CurrentPage(), kFinePage);
        EXPECT_TRUE(Shown("storeButton")); // the store can be repeated
        if (fault != "mag off") {
            // The unit holds the new ones: the first press zeroes them and measures nothing.
            ASSERT_FALSE(UnitMccIs(kNone));
            Press(kWalk[0]);
            EXPECT_TRUE(UnitMccIs(kNone));
            EXPECT_EQ(Result(kWalk[0])->text(), "OK");
        }
        Link().Close();
    }
}

// A heading out of range, unsteady or disagreeing with the others, or a lost link, records
// nothing.
TEST_F(FinePageTest, ARefusedHeadingOrALostLinkRecordsNothing) {
    Open();
    Enter();
    ASSERT_EQ(sim->Command("heading 0").rfind("ok heading", 0), 0u);
    EXPECT_TRUE(OneBox(Press(kWalk[1]), kRangeWarningCaption, kFineRangeWarning)); // East
    EXPECT_TRUE(Unmeasured(kWalk[1]));
    EXPECT_EQ(Session().FineError(kHeadingEast), 0.0);
    // The aircraft pushed round by 4 degrees while North is recorded.
    EXPECT_TRUE(OneBox(BoxesOf([&] {
                           Click(Button(kWalk[0]));
                           EXPECT_EQ(sim->Command("heading 4"), "ok heading 4");
                       }),
                       "Readings not steady"));
    EXPECT_TRUE(Unmeasured(kWalk[0]));
    EXPECT_EQ(Session().FineError(kHeadingNorth), 0.0);

    // Field corrections doubling the hard iron: North +10 and South -13 degrees disagree.
    const std::array<std::int16_t, 3> doubling{620, -1150, 0};
    for (int axis = 0; axis < 3; ++axis) {
        ASSERT_TRUE(Link().SendMagFieldCorrection(axis, doubling[axis]));
        ASSERT_TRUE(
            RunEventsUntil([&] { return State().GetMagFieldCorrection(axis) == doubling[axis]; }));
    }
    Measure(kWalk[0]); // steady again: recorded
    TurnTo(*sim, kWalk[2]);
    EXPECT_TRUE(OneBox(Press(kWalk[2]), "Errors do not agree", "The South error of -"));
    EXPECT_TRUE(Unmeasured(kWalk[2]));
    EXPECT_EQ(Session().FineError(kHeadingSouth), 0.0);
    EXPECT_TRUE(Result(kWalk[0])->IsValid()); // North stays as it was

    const CBoxAnswerer answerer;
    ASSERT_EQ(sim->Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_TRUE(OneBox(answerer.Boxes(), kLostLink));
}

// Silent as the page is entered: one box, and no tick behind the connection page (page C).
TEST_F(FinePageTest, ALinkLostWhileEnteringLeavesNothingRunningBehind) {
    Open();
    ASSERT_EQ(sim->Command("power off"), "ok power off");
    const CBoxAnswerer answerer;
    GoTo(kFinePage);
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_TRUE(OneBox(answerer.Boxes(), kLostLink));
    ASSERT_EQ(sim->Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    ASSERT_TRUE(RunEventsUntil([&] { return sim->Value("Page") == "F"; }));
    ASSERT_TRUE(RunEventsFor(CTimeBase(kScale), 3 * CWizardPage::kPageTickMs));
    EXPECT_EQ(sim->Value("Page"), "F");
}

// Entered without a link: the first press zeroes the corrections and measures nothing.
TEST_F(FinePageTest, AZeroingLeftForTheFirstPressMeasuresNothing) {
    Open();
    ASSERT_EQ(sim->Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !Link().IsLinkAlive(); }));
    Enter();
    ASSERT_EQ(sim->Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    for (const char* shown : {"", "OK"}) {
        EXPECT_TRUE(Press(kWalk[0]).empty()) << "press for \"" << shown << '"';
        EXPECT_EQ(Result(kWalk[0])->text(), shown);
    }
}

} // namespace
