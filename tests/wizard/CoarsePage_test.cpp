// The coarse calibration page against the simulated unit.

#include "SimulatedLinkSuite.h"
#include "records/MagMeasurementFile.h"

#include <QProgressBar>

#include <fstream>

namespace {

const FreeFieldValues kFreeField{120, -80, 2400};
const char kMagSerial[] = "270456"; // the simulated RQ270's
const std::array<std::string, 3> kZero{"0", "0", "0"};

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

std::array<std::string, 3> AsText(const std::array<int16_t, 3>& values) {
    return {std::to_string(values[0]), std::to_string(values[1]), std::to_string(values[2])};
}

class CoarsePageTest : public SimPagesTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(
            CMagMeasurementFile(kMagSerial).Write(kFreeField.x, kFreeField.y, kFreeField.z));
        sim = &Connect({"--noise", "3"}); // the sensor's own noise, in counts
        GoTo(kCoarsePage);
        ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    }
    std::array<std::string, 3> UnitCorrections() {
        return {sim->Value("MfcX"), sim->Value("MfcY"), sim->Value("MfcZ")};
    }
    bool NextEnabled() { return Usable("nextButton"); }
    std::vector<CBoxAnswerer::Box> PressNext() {
        return BoxesOf([&] { wizard.PressNext(); });
    }
    void Collect(const Cardinal& c) {
        TurnTo(*sim, c);
        Click(Button(c));
        ASSERT_TRUE(RunEventsUntil([&] { return Result(c)->text() == "OK"; })) << c.name;
        EXPECT_TRUE(Result(c)->IsValid() && !CollectingBox(c)->isVisible()) << c.name;
    }
    void CollectAll() {
        for (const Cardinal& c : kWalk) {
            Collect(c);
        }
        ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    }
    // Nothing collected, nothing counting, nothing to go on with.
    bool Afresh() {
        for (const Cardinal& c : kWalk) {
            if (!Result(c)->text().isEmpty() || Result(c)->IsValid() || ProgressOf(c) >= 0) {
                return false;
            }
        }
        return !Shown("nextNote") && !NextEnabled();
    }

    CTestUnit* sim = nullptr;
};

TEST_F(CoarsePageTest, FourHeadingsGiveTheCorrectionsTheUnitConfirms) {
    ASSERT_TRUE(Afresh());
    for (const Cardinal& c : kWalk) {
        TurnTo(*sim, c);
        Click(Button(c));
        ASSERT_TRUE(RunEventsUntil([&] { return ProgressOf(c) >= 3; })) << c.name;
        if (c.index == kHeadingEast) {
            SaveArtifact(wizard, "page-4-coarse");
        }
        ASSERT_TRUE(RunEventsUntil([&] { return Result(c)->text() == "OK"; })) << c.name;
        EXPECT_EQ(Shown("nextNote"), c.index == kHeadingWest);
    }
    ASSERT_TRUE(RunEventsUntil([&] { return NextEnabled(); }));
    const auto expected = ComputeCoarseCorrections(RecordedHeadings(), kFreeField.z).correction;
    EXPECT_TRUE(PressNext().empty());
    ASSERT_EQ(wizard.CurrentPage(), kFinePage);
    EXPECT_EQ(UnitCorrections(), AsText(expected));
    Back(); // the step starts again on a unit without corrections
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_TRUE(Afresh());
    EXPECT_EQ(UnitCorrections(), kZero);
}

// A heading out of range is warned and records nothing.
TEST_F(CoarsePageTest, AHeadingOutOfRangeOrALostLinkRecordsNothing) {
    TurnTo(*sim, kWalk[0]);
    EXPECT_TRUE(OneBox(BoxesOf([&] { Click(Button(kWalk[2])); }), kRangeWarningCaption,
                       kCoarseRangeWarning));
    EXPECT_TRUE(Afresh());
    // The link lost in the middle of a collection: the collection ends with the page, and
    // the page entered again starts afresh (the heading collected before it too).
    Collect(kWalk[0]);
    TurnTo(*sim, kWalk[1]);
    Click(Button(kWalk[1]));
    ASSERT_TRUE(RunEventsUntil([&] { return ProgressOf(kWalk[1]) >= 2; }));
    {
        const CBoxAnswerer answerer;
        ASSERT_EQ(sim->Command("power off"), "ok power off");
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
        EXPECT_TRUE(OneBox(answerer.Boxes(), kLostLink));
    }
    EXPECT_FALSE(CollectingBox(kWalk[1])->isVisible());
    ASSERT_EQ(sim->Command("power on"), "ok power on");
    ASSERT_TRUE(WaitConnected());
    GoTo(kCoarsePage);
    EXPECT_TRUE(Afresh());
}

// Unechoed corrections are reported and Next stays; a unit silent during the send gives one
// box and the connection page with Next disabled, never the next step.
TEST_F(CoarsePageTest, CorrectionsTheUnitDoesNotConfirmAreReportedAndTheStepStays) {
    CollectAll();
    ASSERT_EQ(sim->Command("fault ignore MFC"), "ok fault ignore MFC"); // written, never echoed
    EXPECT_TRUE(OneBox(PressNext(), "Error setting coarse corrections", "did not confirm"));
    EXPECT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_TRUE(NextEnabled());

    const CBoxAnswerer answerer;
    ASSERT_EQ(sim->Command("power off"), "ok power off");
    Next();
    EXPECT_NE(wizard.CurrentPage(), kFinePage);
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    EXPECT_FALSE(NextEnabled());
    EXPECT_TRUE(OneBox(answerer.Boxes(), kLostLink)) << "one box for one loss";
}

// Versions without the step pass on, corrections zeroed (tried again if unconfirmed); Back
// from the fine page leads to the connection page.
TEST_F(CoarsePageTest, VersionsWithoutTheStepPassOnToTheFineCalibration) {
    ASSERT_EQ(sim->Command("fault version 1.10"), "ok fault version 1.10");
    wizard.GoToPage(kConnectionPage); // where the unit shows its version, classified
    ASSERT_TRUE(RunEventsUntil(
        [] { return State().GetAhrsVersion() == "1.10" && State().GetAhrsVersionClass() <= 2; }));
    ASSERT_TRUE(Link().SendMagFieldCorrection(0, 55));
    ASSERT_TRUE(RunEventsUntil([&] { return sim->Value("MfcX") == "55"; }));
    for (const std::string fault : {"fault ignore MFC", "fault ignore off"}) {
        SCOPED_TRACE(fault);
        const bool confirmed = fault == "fault ignore off";
        ASSERT_EQ(sim->Command(fault), "ok " + fault);
        const auto boxes = BoxesOf([&] {
            wizard.GoToPage(kCoarsePage);
            EXPECT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kFinePage; }));
        });
        EXPECT_EQ(sim->Value("MfcX"), confirmed ? "0" : "55");
        EXPECT_TRUE(confirmed ? boxes.empty() : OneBox(boxes, "Error clearing corrections"));
        EXPECT_TRUE(confirmed || boxes[0].text.find("Calibrate") == std::string::npos);
        EXPECT_EQ(Session().PeekPendingPage(), -1);
    }
    Back();
    EXPECT_EQ(wizard.CurrentPage(), kConnectionPage);
}

// A partly confirmed send is zeroed, with a box saying so, before the next collection.
TEST_F(CoarsePageTest, APartlyConfirmedSendIsZeroedBeforeTheNextCollection) {
    CollectAll();
    ASSERT_EQ(sim->Command("fault ignore MFC Y"), "ok fault ignore MFC Y");
    EXPECT_TRUE(OneBox(PressNext(), "Error setting coarse corrections"));
    ASSERT_EQ(wizard.CurrentPage(), kCoarsePage);
    ASSERT_NE(sim->Value("MfcX"), "0") << "X was set";
    ASSERT_EQ(sim->Command("fault ignore off"), "ok fault ignore off");
    TurnTo(*sim, kWalk[0]);
    const CBusyTextRecorder busy;
    Click(Button(kWalk[0]));
    ASSERT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(UnitCorrections(), kZero);
    ASSERT_FALSE(busy.Texts().empty());
    EXPECT_EQ(busy.Texts()[0], "Clearing corrections on HX410...");
}

// A measurement read on an earlier visit never stands in for a file that cannot be read now.
TEST_F(CoarsePageTest, AFreeFieldFileThatCannotBeReadIsNeverReplacedByAnEarlierReading) {
    std::ofstream(CMagMeasurementFile(kMagSerial).Path()) << "OUT_X: 12abc\n";
    wizard.GoToPage(kCoarsePage); // visited again
    CollectAll();
    EXPECT_TRUE(OneBox(PressNext(), "Free field measurement missing"));
    EXPECT_EQ(wizard.CurrentPage(), kCoarsePage);
    EXPECT_EQ(UnitCorrections(), kZero);
}

} // namespace
