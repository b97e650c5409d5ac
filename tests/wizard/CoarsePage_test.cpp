// The coarse calibration page against the simulated unit, twenty times faster than real
// time, between the production connection and fine calibration pages.

#include "SimulatedLinkSuite.h"
#include "WizardTestSupport.h"
#include "controls/ColouredField.h"
#include "device/AhrsLink.h"
#include "device/SimPeer.h"
#include "records/CalibrationMath.h"
#include "records/MagMeasurementFile.h"
#include "records/SettingsStore.h"
#include "sim/MagModel.h"
#include "wizard/InstallationWizard.h"
#include "wizard/QtUiThread.h"
#include "wizard/StandardPages.h"
#include "wizard/pages/CoarseCalibrationPage.h"

#include <QProgressBar>
#include <QPushButton>

#include <array>
#include <filesystem>
#include <fstream>

namespace {

const FreeFieldValues kFreeField{120, -80, 2400};
const char kMagSerial[] = "270456"; // the simulated RQ270's

struct Cardinal {
    int index;
    const char* key; // object name prefix
    const char* name;
    double heading; // the aircraft's heading there
};
// In the order the installer walks them.
const std::array<Cardinal, 4> kWalk{{{kHeadingNorth, "north", "North", 0.0},
                                     {kHeadingEast, "east", "East", 90.0},
                                     {kHeadingSouth, "south", "South", 180.0},
                                     {kHeadingWest, "west", "West", 270.0}}};

QWidget* CollectingBox(const Cardinal& c) {
    const QString text = QStringLiteral("Collecting %1 Data...").arg(QLatin1String(c.name));
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() == QLatin1String("busyBox") && window->windowTitle() == text) {
            return window;
        }
    }
    return nullptr;
}

// Samples taken, as the heading's busy box shows them; -1 while it shows none.
int ProgressOf(const Cardinal& c) {
    QWidget* box = CollectingBox(c);
    auto* bar = box ? box->findChild<QProgressBar*>(QStringLiteral("busyProgressBar")) : nullptr;
    return bar && box->isVisible() && bar->isVisible() && bar->maximum() == 10 ? bar->value() : -1;
}

// The corrections for the simulated unit's aircraft as it stands (pitch 1.2, roll -0.7),
// from its noise-free counts at the four cardinal headings.
std::array<int16_t, 3> ModelCorrections() {
    const CMagModel model;
    std::array<HeadingMeasurement, 4> byHeading;
    for (const Cardinal& c : kWalk) {
        const Counts3 counts = CMagModel::Saturate(model.SensorField(c.heading, 1.2, -0.7, false));
        byHeading[c.index] = {counts.x, counts.y, counts.z, 1.2, -0.7};
    }
    return ComputeCoarseCorrections(byHeading, kFreeField.z).correction;
}

} // namespace

class CoarsePageTest : public CSimulatedLinkSuite {
protected:
    CoarsePageTest()
        : sim(StartUnit({"--warmup", "0"})),
          wizard(*uiThread, CTimeBase(kScale), objects.Services(),
                 [](int index, QWidget* parent) -> CWizardPage* {
                     return index == kCoarsePage ? new CCoarseCalibrationPage(parent)
                                                 : MakeStandardPage(index, parent);
                 }) {
        Session().SetTailNumber("N410KT");
        wizard.show();
    }
    void SetUp() override {
        ASSERT_TRUE(
            CMagMeasurementFile(kMagSerial).Write(kFreeField.x, kFreeField.y, kFreeField.z));
        ASSERT_TRUE(Connect());
        wizard.GoToPage(kCoarsePage);
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    }
    void TearDown() override { Link().Close(); }

    bool Connect() {
        wizard.GoToPage(kConnectionPage);
        EXPECT_TRUE(StepsEnded(wizard));
        return RunEventsUntil(
            [] { return Link().IsLinkAlive() && State().GetMagSerialNumber() == kMagSerial; });
    }
    std::array<std::string, 3> UnitCorrections() {
        return {sim.Value("MfcX"), sim.Value("MfcY"), sim.Value("MfcZ")};
    }
    template <class Widget = QWidget> Widget* Find(const Cardinal& c, const char* role) {
        return wizard.Page(kCoarsePage)
            ->findChild<Widget*>(QLatin1String(c.key) + QLatin1String(role));
    }
    QPushButton* Button(const Cardinal& c) { return Find<QPushButton>(c, "CalibrateButton"); }
    CColouredField* Result(const Cardinal& c) { return Find<CColouredField>(c, "ResultField"); }
    bool NextEnabled() { return wizard.findChild<QPushButton*>("nextButton")->isEnabled(); }

    // Turns the aircraft and waits until it is steady there, with the heading's frame on the
    // screen and no other.
    void TurnTo(const Cardinal& c) {
        ASSERT_EQ(sim.Command("heading " + std::to_string(c.heading)).rfind("ok heading", 0), 0u);
        ASSERT_TRUE(FramedOnScreen(*wizard.Page(kCoarsePage), c.index)) << c.name;
        ASSERT_TRUE(RunEventsUntil([&] { return Button(c)->isEnabled(); })) << c.name;
    }
    void Collect(const Cardinal& c) {
        TurnTo(c);
        Button(c)->click();
        ASSERT_TRUE(RunEventsUntil([&] { return Result(c)->text() == "OK"; })) << c.name;
        EXPECT_TRUE(Result(c)->IsValid() && !CollectingBox(c)->isVisible()) << c.name;
    }
    // Nothing collected, nothing counting, nothing to go on with.
    bool Afresh() {
        for (const Cardinal& c : kWalk) {
            if (!Result(c)->text().isEmpty() || Result(c)->IsValid() || ProgressOf(c) >= 0) {
                return false;
            }
        }
        return !wizard.findChild<QWidget*>("nextNote")->isVisible() && !NextEnabled();
    }

    const CScratchDirectory directory; // the measurement file's place
    CTestUnit& sim;
    CInstallationWizard wizard;
};

TEST_F(CoarsePageTest, FourHeadingsGiveTheCorrectionsTheUnitConfirms) {
    ASSERT_TRUE(Afresh());
    for (const Cardinal& c : kWalk) {
        TurnTo(c);
        Button(c)->click();
        ASSERT_TRUE(RunEventsUntil([&] { return ProgressOf(c) >= 3; })) << c.name;
        // The box leaves the compass and the heading's button and result in view.
        const QRect box = CollectingBox(c)->frameGeometry();
        for (QWidget* watched : {Find(c, "Frame"), Find(kWalk[0], "Frame"),
                                 wizard.Page(kCoarsePage)->findChild<QWidget*>("compass")}) {
            EXPECT_FALSE(box.intersects(QRect(watched->mapToGlobal(QPoint(0, 0)), watched->size())))
                << c.name << " covers " << watched->objectName().toStdString();
        }
        if (c.index == kHeadingEast) {
            SaveArtifact(wizard, "page-4-coarse");
        }
        ASSERT_TRUE(RunEventsUntil([&] { return Result(c)->text() == "OK"; })) << c.name;
        EXPECT_EQ(wizard.findChild<QWidget*>("nextNote")->isVisible(), c.index == kHeadingWest);
    }
    ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    const auto expected = ComputeCoarseCorrections(RecordedHeadings(), kFreeField.z).correction;
    EXPECT_NE(expected, (std::array<int16_t, 3>{})); // the aircraft's hard iron was found
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    EXPECT_EQ(UnitCorrections(),
              (std::array<std::string, 3>{std::to_string(expected[0]), std::to_string(expected[1]),
                                          std::to_string(expected[2])}));

    // Back from the fine page: the step starts again on a unit without corrections.
    wizard.PressBack();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_TRUE(Afresh());
    EXPECT_EQ(UnitCorrections(), (std::array<std::string, 3>{"0", "0", "0"}));
}

TEST_F(CoarsePageTest, NoisyOrMisplacedCollectionsAreRefusedAndTheCleanOnesAreSent) {
    const CBoxAnswerer answerer(QMessageBox::Ok); // every box, so none can hold the test up
    const auto boxes = [&] { return answerer.Boxes().size(); };
    Collect(kWalk[0]);
    const Cardinal& east = kWalk[1];
    TurnTo(east);
    // A poor cable: one byte in twenty changed, with no checksum to tell.
    ASSERT_EQ(sim.Command("fault garble 0.05"), "ok fault garble 0.05");
    // A collection can be lucky and meet no changed count; a few meet one.
    for (int attempt = 0; attempt < 5 && boxes() == 0; ++attempt) {
        ASSERT_TRUE(RunEventsUntil([&] { return Button(east)->isEnabled(); }));
        Button(east)->click();
        ASSERT_GE(ProgressOf(east), 0);
        // Refused (after the box) or recorded: either way the busy box has gone. A refusal
        // is told by the tick that ended the collection, in that tick's step.
        ASSERT_TRUE(RunEventsUntil([&] { return ProgressOf(east) < 0; }));
        ASSERT_TRUE(StepsEnded(wizard));
    }
    ASSERT_EQ(boxes(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Readings not steady");
    EXPECT_EQ(answerer.Boxes()[0].text.rfind("The East readings were not steady", 0), 0u);
    SaveArtifact(wizard, "page-4-coarse-refused");
    ASSERT_EQ(sim.Command("fault garble 0"), "ok fault garble 0");

    // East collected with the aircraft 30 degrees off it: it does not fit the other three.
    ASSERT_EQ(sim.Command("heading 120"), "ok heading 120");
    ASSERT_TRUE(RunEventsUntil([&] { return !Button(east)->isEnabled(); })); // turning
    Cardinal eastOff = east;
    eastOff.heading = 120.0;
    for (const Cardinal& c : {eastOff, kWalk[2], kWalk[3]}) {
        Collect(c);
    }
    ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(boxes(), 2u);
    EXPECT_EQ(answerer.Boxes()[1].caption, "Headings do not agree");
    EXPECT_EQ(answerer.Boxes()[1].text.rfind("The East measurement does not agree", 0), 0u);
    EXPECT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_TRUE(Result(east)->text().isEmpty() && !Result(east)->IsValid());
    EXPECT_TRUE(Result(kWalk[0])->IsValid() && Result(kWalk[3])->IsValid());
    EXPECT_FALSE(NextEnabled());
    EXPECT_EQ(UnitCorrections(), (std::array<std::string, 3>{"0", "0", "0"}));

    // East collected again on a clean line: the installation goes on with the clean figures.
    Collect(east);
    ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    const auto recorded = ComputeCoarseCorrections(RecordedHeadings(), kFreeField.z).correction;
    const auto model = ModelCorrections();
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(recorded[axis], model[axis], 5) << axis; // the sensor's noise of 3 counts
    }
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    EXPECT_EQ(UnitCorrections(),
              (std::array<std::string, 3>{std::to_string(recorded[0]), std::to_string(recorded[1]),
                                          std::to_string(recorded[2])}));
    EXPECT_EQ(boxes(), 2u);
}

TEST_F(CoarsePageTest, AHeadingOutOfRangeIsWarnedAndNothingIsRecorded) {
    TurnTo(kWalk[0]);
    for (const Cardinal& c : {kWalk[1], kWalk[2], kWalk[3]}) {
        CBoxAnswerer answerer(QMessageBox::Ok);
        ASSERT_TRUE(RunEventsUntil([&] { return Button(c)->isEnabled(); }));
        Button(c)->click();
        ASSERT_TRUE(StepsEnded(wizard)) << c.name;
        ASSERT_EQ(answerer.Boxes().size(), 1u) << c.name;
        EXPECT_EQ(answerer.Boxes()[0].caption, kRangeWarningCaption);
        EXPECT_EQ(answerer.Boxes()[0].text, kCoarseRangeWarning);
    }
    EXPECT_TRUE(Afresh());
}

TEST_F(CoarsePageTest, ALostLinkEndsTheCollectionAndReturningStartsAfresh) {
    Collect(kWalk[0]);
    const Cardinal& east = kWalk[1];
    TurnTo(east);
    Button(east)->click();
    ASSERT_TRUE(RunEventsUntil([&] { return ProgressOf(east) >= 2; }));
    {
        CBoxAnswerer answerer(QMessageBox::Ok);
        ASSERT_EQ(sim.Command("power off"), "ok power off");
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error communicating with HX410.");
    }
    EXPECT_FALSE(CollectingBox(east)->isVisible());

    ASSERT_EQ(sim.Command("power on"), "ok power on");
    ASSERT_TRUE(Connect());
    wizard.GoToPage(kCoarsePage);
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_TRUE(Afresh()); // North's result too
}

// Corrections the unit does not echo are reported, and the step stays with Next to send them
// again. A unit that goes silent during the send is lost instead: the installer is told of
// the loss and the wizard goes to the connection page; never the next step.
TEST_F(CoarsePageTest, CorrectionsTheUnitDoesNotConfirmAreReportedAndTheStepStays) {
    for (const Cardinal& c : kWalk) {
        Collect(c);
    }
    ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    ASSERT_EQ(sim.Command("fault ignore MFC"), "ok fault ignore MFC"); // written, never echoed
    {
        const CBoxAnswerer answerer(QMessageBox::Ok);
        wizard.PressNext();
        ASSERT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error setting coarse corrections");
        EXPECT_NE(answerer.Boxes()[0].text.find("did not confirm"), std::string::npos);
    }
    EXPECT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_TRUE(NextEnabled());

    CBoxAnswerer answerer(QMessageBox::Ok);
    ASSERT_EQ(sim.Command("power off"), "ok power off");
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_NE(wizard.CurrentPage(), kFinePage);
    // Whatever the send's box did, Next on the connection page stays disabled (it would skip
    // the Calibrate and Pre-Cal checks).
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    EXPECT_FALSE(NextEnabled());
    ASSERT_FALSE(answerer.Boxes().empty());
    EXPECT_EQ(answerer.Boxes().back().caption, "Error communicating with HX410.");
    EXPECT_EQ(answerer.Count("Error communicating with HX410."), 1u) << "one box for one loss";
}

// Versions without the step pass straight on, their corrections zeroed once; a zeroing the
// unit did not confirm says nothing of Calibrate buttons and is tried on the next pass. Back
// from the fine page leads to the connection page, not through this page again.
TEST_F(CoarsePageTest, VersionsWithoutTheStepPassOnToTheFineCalibration) {
    ASSERT_EQ(sim.Command("fault version 1.10"), "ok fault version 1.10");
    wizard.GoToPage(kConnectionPage); // where the unit shows its version, classified
    ASSERT_TRUE(RunEventsUntil(
        [] { return State().GetAhrsVersion() == "1.10" && State().GetAhrsVersionClass() <= 2; }));
    ASSERT_TRUE(Link().SendMagFieldCorrection(0, 55));
    ASSERT_TRUE(RunEventsUntil([&] { return sim.Value("MfcX") == "55"; }));
    ASSERT_EQ(sim.Command("fault ignore MFC"), "ok fault ignore MFC");
    {
        const CBoxAnswerer answerer(QMessageBox::Ok);
        wizard.GoToPage(kCoarsePage);
        EXPECT_TRUE(StepsEnded(wizard));
        EXPECT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kFinePage; }));
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error clearing corrections");
        EXPECT_EQ(answerer.Boxes()[0].text.find("Calibrate"), std::string::npos);
    }
    EXPECT_EQ(Session().PeekPendingPage(), -1);
    EXPECT_EQ(sim.Value("MfcX"), "55");

    ASSERT_EQ(sim.Command("fault ignore off"), "ok fault ignore off");
    wizard.GoToPage(kCoarsePage);
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kFinePage; }));
    EXPECT_EQ(sim.Value("MfcX"), "0") << "zeroed on the next pass";
    wizard.PressBack();
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
}

// Only some of the corrections confirmed: the unit may hold the others, so the next heading
// collected is measured after zeroing them all again, behind a box that says so.
TEST_F(CoarsePageTest, APartlyConfirmedSendIsZeroedBeforeTheNextCollection) {
    for (const Cardinal& c : kWalk) {
        Collect(c);
    }
    ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    ASSERT_EQ(sim.Command("fault ignore MFC Y"), "ok fault ignore MFC Y");
    {
        const CBoxAnswerer answerer(QMessageBox::Ok);
        wizard.PressNext();
        EXPECT_TRUE(StepsEnded(wizard));
        ASSERT_EQ(answerer.Boxes().size(), 1u);
        EXPECT_EQ(answerer.Boxes()[0].caption, "Error setting coarse corrections");
    }
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    ASSERT_NE(sim.Value("MfcX"), "0") << "X was set";
    ASSERT_EQ(sim.Command("fault ignore off"), "ok fault ignore off");
    TurnTo(kWalk[0]);
    const CBusyTextRecorder busy;
    Button(kWalk[0])->click();
    ASSERT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(UnitCorrections(), (std::array<std::string, 3>{"0", "0", "0"}));
    ASSERT_FALSE(busy.Texts().empty());
    EXPECT_EQ(busy.Texts()[0], "Clearing corrections on HX410...");
}

// The measurement of this magnetometer was read on an earlier visit; now its file cannot be
// read. Nothing of the earlier reading stands in for it: the step refuses, as without a file.
TEST_F(CoarsePageTest, AFreeFieldFileThatCannotBeReadIsNeverReplacedByAnEarlierReading) {
    std::ofstream(CMagMeasurementFile(kMagSerial).Path()) << "OUT_X: 12abc\n";
    wizard.GoToPage(kCoarsePage); // visited again
    for (const Cardinal& c : kWalk) {
        Collect(c);
    }
    ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    const CBoxAnswerer answerer(QMessageBox::Ok);
    wizard.PressNext();
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(wizard.CurrentPage(), kCoarsePage);
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Free field measurement missing");
    EXPECT_EQ(UnitCorrections(), (std::array<std::string, 3>{"0", "0", "0"}));
}
