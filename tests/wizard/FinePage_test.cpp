// The fine calibration page against the simulated unit, after the real coarse page.

#include "SimulatedLinkSuite.h"
#include "procedure/StoreCorrections.h"

#include <cmath>
#include <set>

namespace {

const std::array<double, 4> kPrevious{1.25, -0.5, 0.75, -2.0}; // an earlier calibration's
const std::array<double, 4> kNone{};

class FinePageTest : public SimPagesTest {
protected:
    // A unit with a steady heading, connected, holding the compass corrections `held`.
    void Open(std::vector<std::string> options = {}, const std::array<double, 4>& held = kNone) {
        options.insert(options.end(), {"--noise", "3", "--heading-noise", "0"});
        sim = &Connect(options);
        for (int heading = 0; heading < 4 && held != kNone; ++heading) {
            ASSERT_TRUE(Link().SendMcc(heading, held[heading]));
        }
        std::optional<StepOutcome> stored;
        const auto store = [&]() -> QCoro::Task<void> {
            stored = co_await EraseAndStoreMcc(wizard.Steps().Context());
        };
        // Started once no step of the page shown runs, as a press would be.
        ASSERT_TRUE(held == kNone || RunEventsUntil([&] { return wizard.RunStep(store); }));
        ASSERT_TRUE(held == kNone || RunEventsUntil([&] { return stored.has_value(); }));
        ASSERT_TRUE(RunEventsUntil([&] {
            bool recorded = UnitMccIs(held, "StoredMcc");
            for (int heading = 0; heading < 4; ++heading) {
                recorded = recorded && State().GetMcc(heading) == held[heading];
            }
            return recorded;
        }));
    }
    void Enter() {
        GoTo(kFinePage);
        ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    }
    bool Unmeasured(const Cardinal& c) {
        return Result(c)->text().isEmpty() && !Result(c)->IsValid();
    }
    bool UnitMccIs(const std::array<double, 4>& byHeading, const std::string& prefix = "Mcc") {
        for (const Cardinal& c : kWalk) {
            if (std::fabs(std::stod(sim->Value(prefix + c.name[0])) - byHeading[c.index]) > 0.001) {
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
    }
    SaveArtifact(wizard, "page-5-fine");
    EXPECT_EQ(WizardButtons(), 0) << "only the store leads on";
    std::array<double, 4> expected{};
    for (int heading = 0; heading < 4; ++heading) {
        expected[heading] = Session().FineError(heading);
    }
    expected = ComputeCompassCorrections(expected);
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
    for (double& value : expected) {
        value = std::round(value * 100) / 100;
    }
    EXPECT_TRUE(UnitMccIs(expected, "StoredMcc"));
    EXPECT_FALSE(RestoreDue()) << "a link lost later would write the old corrections back";
}

// The coarse page zeroes every correction before the fine page is shown: Back and a Next
// without measuring write back the corrections of before the calibration, and a return
// starts afresh against the same reference.
TEST_F(FinePageTest, BackAndNextRestoreTheCorrectionsOfBeforeTheCalibration) {
    Open({}, kPrevious);
    GoTo(kCoarsePage);
    ASSERT_TRUE(RunEventsUntil([&] { return UnitMccIs(kNone); }));
    Enter();
    Measure(kWalk[0]);
    Back(); // to the coarse page, which zeroes them again
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    Enter();
    EXPECT_TRUE(Unmeasured(kWalk[0]) && !Shown("storeButton"));
    EXPECT_TRUE(UnitMccIs(kNone));
    EXPECT_EQ(Session().EarlierCorrectionsOf(State().GetAhrsSerialNumber())->mcc, kPrevious);
    Next();
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    EXPECT_TRUE(UnitMccIs(kPrevious));
    EXPECT_FALSE(RestoreDue());
}

TEST_F(FinePageTest, LatitudeAndVariationAreCheckedBeforeAnythingIsSent) {
    Open({"--ahrs-version", "HX410 V1.10", "--latitude", "45", "--magvar", "-3.5"});
    Enter();
    // Filled from what the unit holds, so Store without typing sends no zeros.
    EXPECT_EQ(Text("latitudeEdit"), "45.000000");
    EXPECT_EQ(Text("variationEdit"), "-3.50");
    MeasureAll();
    const struct {
        const char* latitude;
        const char* variation;
        const char* caption; // of the refusal, or none
    } cases[] = {
        {"90.5", "-3.50", "Invalid Latitude"},
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

// A store without its banners stays and can be repeated; the unit holds the new corrections,
// so the next press zeroes them and measures nothing.
TEST_F(FinePageTest, AStoreThatIsNotConfirmedNeverMovesOn) {
    Open();
    Enter();
    MeasureAll();
    ASSERT_TRUE(Ok(sim->Command("fault drop-acks on")));
    EXPECT_TRUE(OneBox(Store(), "Error storing values",
                       "Failed to store compass correction values to RQ270."));
    EXPECT_EQ(wizard.CurrentPage(), kFinePage);
    EXPECT_TRUE(Shown("storeButton"));
    ASSERT_FALSE(UnitMccIs(kNone));
    Press(kWalk[0]);
    EXPECT_TRUE(UnitMccIs(kNone));
    EXPECT_EQ(Result(kWalk[0])->text(), "OK");
}

// A heading out of range or unsteady records nothing.
TEST_F(FinePageTest, ARefusedHeadingRecordsNothing) {
    Open();
    Enter();
    ASSERT_TRUE(Ok(sim->Command("heading 0")));
    EXPECT_TRUE(OneBox(Press(kWalk[1]), kRangeWarningCaption, kFineRangeWarning)); // East
    EXPECT_TRUE(Unmeasured(kWalk[1]));
    // The aircraft pushed round by 4 degrees while North is recorded.
    EXPECT_TRUE(OneBox(BoxesOf([&] {
                           Click(Button(kWalk[0]));
                           EXPECT_TRUE(Ok(sim->Command("heading 4")));
                       }),
                       "Readings not steady"));
    EXPECT_TRUE(Unmeasured(kWalk[0]));
    EXPECT_EQ(Session().FineError(kHeadingNorth), 0.0);
    Measure(kWalk[0]); // steady again: recorded
}

// Silent as the page is entered: one box, and no tick behind the connection page (page C).
TEST_F(FinePageTest, ALinkLostWhileEnteringLeavesNothingRunningBehind) {
    Open();
    ASSERT_TRUE(Ok(sim->Command("power off")));
    const CBoxAnswerer answerer;
    GoTo(kFinePage);
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_TRUE(OneBox(answerer.Boxes(), kLostLink));
    ASSERT_TRUE(Ok(sim->Command("power on")));
    ASSERT_TRUE(RunEventsUntil([&] { return Link().IsLinkAlive() && sim->Value("Page") == "F"; }));
    ASSERT_TRUE(RunEventsFor(CTimeBase(kScale), 3 * CWizardPage::kPageTickMs));
    EXPECT_EQ(sim->Value("Page"), "F");
}

} // namespace
