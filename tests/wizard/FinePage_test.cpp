// The fine calibration page against the simulated unit, twenty times faster than real time,
// between a stand-in coarse page and the finish page.

#include "SimulatedLinkSuite.h"
#include "WizardTestSupport.h"
#include "controls/ColouredField.h"
#include "controls/CompassCtrl.h"
#include "device/AhrsLink.h"
#include "device/SimPeer.h"
#include "procedure/StoreCorrections.h"
#include "records/CalibrationMath.h"
#include "records/SettingsStore.h"
#include "wizard/InstallationWizard.h"
#include "wizard/PageIndex.h"
#include "wizard/StandardPages.h"
#include "wizard/pages/PlaceholderPage.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct Cardinal {
    int index;
    const char* key; // object name prefix
    const char* sim; // the simulator's name of its compass correction
    double heading;  // the aircraft's heading there
};
// In the order the installer walks them.
const std::array<Cardinal, 4> kWalk{{{kHeadingNorth, "north", "MccN", 0.0},
                                     {kHeadingEast, "east", "MccE", 90.0},
                                     {kHeadingSouth, "south", "MccS", 180.0},
                                     {kHeadingWest, "west", "MccW", 270.0}}};

const char kStoreFailure[] = "Failed to store compass correction values to RQ270.";

} // namespace

class FinePageTest : public CSimulatedLinkSuite {
protected:
    // Between a stand-in coarse page, or the real one.
    explicit FinePageTest(bool realCoarsePage = false)
        : wizard(*uiThread, CTimeBase(kScale), objects.Services(),
                 [realCoarsePage](int index, QWidget* parent) -> CWizardPage* {
                     return index == kCoarsePage && !realCoarsePage
                                ? new CPlaceholderPage(QStringLiteral("Coarse"), parent)
                                : MakeStandardPage(index, parent);
                 }) {
        Session().SetTailNumber("N410KT");
        wizard.show();
    }
    void TearDown() override { Link().Close(); }

    // A steady simulated unit, connected; `Enter` then shows the fine page.
    void Connect(std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--warmup", "0", "--heading-noise", "0"});
        sim = &StartUnit(options);
        wizard.GoToPage(kConnectionPage);
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_TRUE(RunEventsUntil(
            [] { return Link().IsLinkAlive() && State().GetMagVersion().rfind("RQ270", 0) == 0; }));
    }
    void Enter() {
        wizard.GoToPage(kFinePage);
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    }

    template <class Widget = QWidget> Widget* Find(const QString& name) {
        auto* widget = wizard.Page(kFinePage)->findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    template <class Widget = QWidget> Widget* Find(const Cardinal& c, const char* role) {
        return Find<Widget>(QLatin1String(c.key) + QLatin1String(role));
    }
    QPushButton* Button(const Cardinal& c) { return Find<QPushButton>(c, "CalibrateButton"); }
    CColouredField* Result(const Cardinal& c) { return Find<CColouredField>(c, "ResultField"); }
    QPushButton* StoreButton() { return Find<QPushButton>(QStringLiteral("storeButton")); }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(QLatin1String(name)); }
    double SimNumber(const std::string& name) { return std::stod(sim->Value(name)); }
    bool UnitMccIs(const std::array<double, 4>& byHeading) {
        for (const Cardinal& c : kWalk) {
            if (std::fabs(SimNumber(c.sim) - byHeading[c.index]) > 0.001) {
                return false;
            }
        }
        return true;
    }

    void Measure(const Cardinal& c) {
        ASSERT_EQ(sim->Command("heading " + std::to_string(c.heading)).rfind("ok heading", 0), 0u);
        ASSERT_TRUE(FramedOnScreen(*wizard.Page(kFinePage), c.index)) << c.key;
        ASSERT_TRUE(RunEventsUntil([&] { return Button(c)->isEnabled(); })) << c.key;
        Button(c)->click();
        ASSERT_TRUE(StepsEnded(wizard)) << c.key;
        ASSERT_EQ(Result(c)->text(), "OK") << c.key;
        EXPECT_TRUE(Result(c)->IsValid()) << c.key;
    }
    void MeasureAll() {
        for (const Cardinal& c : kWalk) {
            Measure(c);
        }
        EXPECT_TRUE(StoreButton()->isVisible());
    }
    // Puts compass corrections into the unit's configuration module, as an earlier
    // calibration would have left them.
    void StoreOnUnit(const std::array<double, 4>& byHeading) {
        for (int heading = 0; heading < 4; ++heading) {
            ASSERT_TRUE(Link().SendMcc(heading, byHeading[heading]));
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
            for (int heading = 0; heading < 4; ++heading) {
                if (State().GetMcc(heading) != byHeading[heading]) {
                    return false;
                }
            }
            return true;
        }));
    }

    const CScratchDirectory directory;
    CTestUnit* sim = nullptr;
    CInstallationWizard wizard;
};

TEST_F(FinePageTest, FourHeadingsGiveCorrectionsThatAreStoredAndKeptAcrossTheReset) {
    Connect();
    StoreOnUnit({0.5, -0.25, 0.75, -1.0});
    Enter();
    EXPECT_TRUE(UnitMccIs({0, 0, 0, 0})); // the errors are measured without corrections
    EXPECT_FALSE(Find(QStringLiteral("locationBlock"))->isVisible()); // class 7
    for (const Cardinal& c : kWalk) {
        Measure(c);
        EXPECT_EQ(StoreButton()->isVisible(), c.index == kHeadingWest);
        if (c.index == kHeadingEast) {
            SaveArtifact(wizard, "page-5-fine");
        }
    }
    for (const char* name : {"backButton", "nextButton"}) { // only the store leads on
        EXPECT_FALSE(wizard.findChild<QPushButton*>(QLatin1String(name))->isEnabled()) << name;
    }
    std::array<double, 4> errors{};
    for (int heading = 0; heading < 4; ++heading) {
        errors[heading] = Session().FineError(heading);
    }
    std::array<double, 4> expected = ComputeCompassCorrections(errors);
    for (double& value : expected) {
        value = std::round(value * 100) / 100;
    }
    EXPECT_NE(expected, (std::array<double, 4>{})); // the magnetometer's misalignment was found

    // While the store and its check run, the page keeps showing the unit: the heading as the
    // aircraft is pushed round, and the RQ270 invalid while it is reset.
    std::set<std::string> headingsShown, magStatesShown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!BusyText().empty()) {
            headingsShown.insert(Edit("rq270HeadingField")->text().toStdString());
            magStatesShown.insert(Edit("magStatusField")->text().toStdString());
        }
    });
    watch.start(1);
    QTimer::singleShot(20, [&] { EXPECT_EQ(sim->Command("heading 272"), "ok heading 272"); });
    StoreButton()->click();
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kFinishPage; }));
    watch.stop();
    EXPECT_GT(headingsShown.size(), 1u) << "the heading froze";
    EXPECT_EQ(magStatesShown.count("Invalid"), 1u) << "the reset was not shown";
    EXPECT_TRUE(UnitMccIs(expected));
    for (const Cardinal& c : kWalk) {
        EXPECT_NEAR(SimNumber(std::string("Stored") + c.sim), expected[c.index], 0.001);
    }
    // A link lost later must not write the corrections of before the calibration back.
    EXPECT_FALSE(Session().RestoreDueFor(State().GetAhrsSerialNumber()));
}

TEST_F(FinePageTest, NextWithoutMeasuringVerifiesTheCorrectionsHeldBefore) {
    Connect();
    const std::array<double, 4> previous{1.25, -0.5, 0.75, -2.0};
    StoreOnUnit(previous);
    Enter();
    EXPECT_TRUE(UnitMccIs({0, 0, 0, 0}));
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(wizard.CurrentPage(), kFinishPage);
    EXPECT_TRUE(UnitMccIs(previous));
    EXPECT_FALSE(Session().RestoreDueFor(State().GetAhrsSerialNumber()));
}

TEST_F(FinePageTest, BackRestoresTheCorrectionsAndReturningStartsAfresh) {
    Connect();
    const std::array<double, 4> previous{-0.75, 0.5, 1.5, 0.25};
    StoreOnUnit(previous);
    Enter();
    Measure(kWalk[0]);
    wizard.PressBack();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_TRUE(UnitMccIs(previous));

    Enter();
    for (const Cardinal& c : kWalk) {
        EXPECT_TRUE(Result(c)->text().isEmpty() && !Result(c)->IsValid()) << c.key;
    }
    EXPECT_FALSE(StoreButton()->isVisible());
    EXPECT_TRUE(UnitMccIs({0, 0, 0, 0}));
    // The reference is still the one of the first visit, not the zeroed corrections.
    EXPECT_TRUE(Session().RestoreDueFor(State().GetAhrsSerialNumber()));
    EXPECT_EQ(Session().EarlierCorrectionsOf(State().GetAhrsSerialNumber())->mcc[kHeadingWest],
              previous[kHeadingWest]);
}

class FinePageAfterCoarseTest : public FinePageTest {
protected:
    FinePageAfterCoarseTest() : FinePageTest(true) {}
};

// The coarse page zeroes every correction before the fine page is ever shown: what Back and
// a Next without measuring write back are the corrections of before the calibration.
TEST_F(FinePageAfterCoarseTest, BackAndNextRestoreTheCorrectionsOfBeforeTheCalibration) {
    Connect();
    const std::array<double, 4> previous{1.25, -0.5, 0.75, -2.0};
    StoreOnUnit(previous);
    wizard.GoToPage(kCoarsePage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    ASSERT_TRUE(RunEventsUntil([&] { return UnitMccIs({0, 0, 0, 0}); }));
    Enter();
    wizard.PressBack(); // to the coarse page, which zeroes them again
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    Enter();
    EXPECT_TRUE(UnitMccIs({0, 0, 0, 0}));
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    EXPECT_TRUE(UnitMccIs(previous));
}

TEST_F(FinePageTest, LatitudeAndVariationAreCheckedBeforeAnythingIsSent) {
    Connect({"--ahrs-version", "HX410 V1.10", "--latitude", "45", "--magvar", "-3.5"});
    Enter();
    ASSERT_TRUE(Find(QStringLiteral("locationBlock"))->isVisible());
    // Filled from what the unit holds, so Store without typing sends no zeros.
    EXPECT_EQ(Edit("latitudeEdit")->text(), "45.000000");
    EXPECT_EQ(Edit("variationEdit")->text(), "-3.50");
    MeasureAll();

    const struct {
        const char* latitude;
        const char* variation;
        const char* caption;
    } refused[] = {
        {"4O.5", "-3.50", "Invalid Latitude"},
        {"90.5", "-3.50", "Invalid Latitude"},
        {"", "-3.50", "Invalid Latitude"},
        {"47.25", "-180.01", "Invalid Magnetic Variance"},
        {"47.25", "2,5", "Invalid Magnetic Variance"},
    };
    for (const auto& entry : refused) {
        Edit("latitudeEdit")->setText(QString::fromLatin1(entry.latitude));
        Edit("variationEdit")->setText(QString::fromLatin1(entry.variation));
        CBoxAnswerer answerer(QMessageBox::Ok);
        StoreButton()->click();
        ASSERT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(answerer.Boxes().size(), 1u) << entry.latitude << " " << entry.variation;
        EXPECT_EQ(answerer.Boxes()[0].caption, entry.caption);
        EXPECT_EQ(wizard.CurrentPage(), kFinePage);
        EXPECT_EQ(sim->Value("Latitude"), "45.00") << entry.latitude;
        EXPECT_EQ(sim->Value("MagneticVariation"), "-3.50") << entry.variation;
    }

    Edit("latitudeEdit")->setText(QStringLiteral(" 47.25 "));
    Edit("variationEdit")->setText(QStringLiteral("2.5"));
    StoreButton()->click();
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kFinishPage; }));
    EXPECT_EQ(sim->Value("Latitude"), "47.25");
    EXPECT_EQ(sim->Value("MagneticVariation"), "2.50");
}

TEST_F(FinePageTest, AStoreThatIsNotConfirmedNeverMovesOn) {
    const struct {
        const char* fault;
        bool needleHidden;
    } cases[] = {{"fault drop-acks on", false}, {"mag off", true}};
    for (const auto& c : cases) {
        Connect();
        Enter();
        MeasureAll();
        ASSERT_EQ(sim->Command(c.fault).rfind("ok", 0), 0u) << c.fault;
        auto* compass = Find<CCompassCtrl>(QStringLiteral("compass"));
        EXPECT_TRUE(RunEventsUntil([&] { return compass->IsNeedleShown() != c.needleHidden; }))
            << c.fault;
        CBoxAnswerer answerer(QMessageBox::Ok);
        StoreButton()->click();
        ASSERT_TRUE(RunEventsUntil([&] { return !answerer.Boxes().empty(); })) << c.fault;
        ASSERT_TRUE(StepsEnded(wizard)) << c.fault;
        EXPECT_EQ(answerer.Boxes()[0].text, kStoreFailure) << c.fault;
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error storing values");
        EXPECT_EQ(wizard.CurrentPage(), kFinePage) << c.fault;
        EXPECT_TRUE(StoreButton()->isVisible()) << c.fault; // the store can be repeated
        if (!c.needleHidden) {
            // The unit holds the new corrections: a heading measured again is measured
            // without them, so the first press zeroes them and measures nothing.
            ASSERT_FALSE(UnitMccIs({0, 0, 0, 0}));
            ASSERT_TRUE(RunEventsUntil([&] { return Button(kWalk[0])->isEnabled(); }));
            Button(kWalk[0])->click();
            ASSERT_TRUE(StepsEnded(wizard));
            EXPECT_TRUE(UnitMccIs({0, 0, 0, 0}));
            EXPECT_EQ(Result(kWalk[0])->text(), "OK");
        }
        Link().Close();
    }
}

TEST_F(FinePageTest, AHeadingOutOfRangeOrALostLinkRecordsNothing) {
    Connect();
    Enter();
    ASSERT_EQ(sim->Command("heading 0").rfind("ok heading", 0), 0u);
    ASSERT_TRUE(RunEventsUntil([&] { return Button(kWalk[1])->isEnabled(); }));
    {
        CBoxAnswerer answerer(QMessageBox::Ok);
        Button(kWalk[1])->click(); // East while heading North
        ASSERT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].text, kFineRangeWarning);
        EXPECT_TRUE(Result(kWalk[1])->text().isEmpty() && !Result(kWalk[1])->IsValid());
        EXPECT_EQ(Session().FineError(kHeadingEast), 0.0);
    }
    {
        // The aircraft pushed round by 4 degrees while North is being recorded (the turn
        // reaches the unit from inside the page's wait).
        CBoxAnswerer answerer(QMessageBox::Ok);
        QTimer::singleShot(0, [&] { EXPECT_EQ(sim->Command("heading 4"), "ok heading 4"); });
        Button(kWalk[0])->click();
        ASSERT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Readings not steady");
        EXPECT_TRUE(Result(kWalk[0])->text().isEmpty() && !Result(kWalk[0])->IsValid());
        EXPECT_EQ(Session().FineError(kHeadingNorth), 0.0);
    }
    Measure(kWalk[0]); // steady again: recorded
    CBoxAnswerer answerer(QMessageBox::Ok);
    ASSERT_EQ(sim->Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Error communicating with HX410.");
}

// The unit goes silent as the page is entered: the zeroing fails and the loss leads to the
// connection page. The page then sends nothing more and its tick does not run behind the
// connection page (it would switch the unit from page F to page C).
TEST_F(FinePageTest, ALinkLostWhileEnteringLeavesNothingRunningBehind) {
    Connect();
    ASSERT_EQ(sim->Command("power off"), "ok power off");
    {
        const CBoxAnswerer answerer(QMessageBox::Ok);
        wizard.GoToPage(kFinePage);
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
        EXPECT_TRUE(StepsEnded(wizard));
        EXPECT_EQ(answerer.Count("Error communicating with HX410."), 1u) << "one box for one loss";
    }
    ASSERT_EQ(sim->Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    ASSERT_TRUE(RunEventsUntil([&] { return sim->Value("Page") == "F"; }));
    const double until = CTimeBase(kScale).NowMs() + 3 * CWizardPage::kPageTickMs;
    ASSERT_TRUE(RunEventsUntil([&] { return CTimeBase(kScale).NowMs() > until; }));
    EXPECT_EQ(sim->Value("Page"), "F");
}

// Entered without a link, the corrections could not be zeroed: the first Calibrate press
// zeroes them and measures nothing, since the heading shown was taken with them.
TEST_F(FinePageTest, AZeroingLeftForTheFirstPressMeasuresNothing) {
    Connect();
    ASSERT_EQ(sim->Command("power off"), "ok power off");
    ASSERT_TRUE(RunEventsUntil([] { return !Link().IsLinkAlive(); }));
    Enter();
    ASSERT_EQ(sim->Command("power on"), "ok power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    for (const int i : {0, 1}) {
        ASSERT_TRUE(RunEventsUntil([&] { return Button(kWalk[0])->isEnabled(); }));
        Button(kWalk[0])->click();
        ASSERT_TRUE(StepsEnded(wizard)) << i;
        EXPECT_EQ(Result(kWalk[0])->text(), i == 0 ? "" : "OK") << i;
    }
}

// Field corrections that double the aircraft's hard iron instead of taking it out: North and
// South then read errors of about +10 and -13 degrees, each within the 20-degree limit, but
// not of one compass that a coarse step has corrected.
TEST_F(FinePageTest, AnErrorThatDisagreesWithTheOthersIsNotRecorded) {
    Connect();
    Enter(); // the unit shows its field corrections on the page the fine page selects
    const std::array<std::int16_t, 3> doubling{620, -1150, 0};
    for (int axis = 0; axis < 3; ++axis) {
        ASSERT_TRUE(Link().SendMagFieldCorrection(axis, doubling[axis]));
        ASSERT_TRUE(
            RunEventsUntil([&] { return State().GetMagFieldCorrection(axis) == doubling[axis]; }));
    }
    Measure(kWalk[0]);
    const Cardinal& south = kWalk[2];
    ASSERT_EQ(sim->Command("heading 180"), "ok heading 180");
    ASSERT_TRUE(RunEventsUntil([&] {
        return Find(south, "Frame")->property("frameShown").toBool() && Button(south)->isEnabled();
    }));
    const CBoxAnswerer answerer(QMessageBox::Ok);
    Button(south)->click();
    ASSERT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Errors do not agree");
    EXPECT_EQ(answerer.Boxes()[0].text.rfind("The South error of -", 0), 0u)
        << answerer.Boxes()[0].text;
    EXPECT_TRUE(Result(south)->text().isEmpty() && !Result(south)->IsValid());
    EXPECT_EQ(Session().FineError(kHeadingSouth), 0.0);
    EXPECT_TRUE(Result(kWalk[0])->IsValid()); // North stays as it was
}
