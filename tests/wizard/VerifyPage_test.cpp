#include "SimulatedLinkSuite.h"
#include "controls/CompassCtrl.h"

#include <QTableWidget>

namespace {

std::string Fixed2(double value) {
    return QString::number(value, 'f', 2).toStdString();
}

} // namespace

// The compass swing on the verification page.
class SwingTest : public SimPagesTest {
protected:
    // On the verification page by "Verify Only", the aircraft on `heading`.
    CTestUnit& Open(double heading) {
        CTestUnit& sim = Connect({"--heading", std::to_string(heading), "--heading-noise", "0"});
        EXPECT_TRUE(GoOnBy("verifyOnlyButton", kVerifyPage));
        return sim;
    }
    // Turns the aircraft and records once the unit shows the heading; the unit's heading
    // there (not yet calibrated).
    double RecordAt(CTestUnit& sim, double heading) {
        EXPECT_TRUE(Ok(sim.Command("heading " + std::to_string(heading))));
        const double output = std::stod(sim.Value("OutputHeading"));
        EXPECT_TRUE(Settled(sim, 0.2));
        Click("recordHeadingButton");
        EXPECT_TRUE(StepsEnded(wizard));
        return output;
    }
    CCompassSwing Swing() { return Session().SwingOf(State().GetAhrsSerialNumber()); }
    std::string Cell(int line, int column) {
        return Find<QTableWidget>("swingTable")->item(line, column)->text().toStdString();
    }
};

// A heading is recorded and shown at its line; far from every line or turning nothing can be
// recorded.
TEST_F(SwingTest, AHeadingIsRecordedAtTheNearestLineOnlyWhenSteadyAndValid) {
    CTestUnit& sim = Open(33.5);
    const CBoxAnswerer answerer;
    EXPECT_FALSE(Shown("swingPrintButton"));
    const double shown = RecordAt(sim, 33.5);
    ASSERT_GT(shown - 30, 2.0);
    const double recorded = Swing().UnitHeadingAt(1).value_or(-1);
    EXPECT_NEAR(recorded, shown, 0.2);
    EXPECT_EQ(Cell(1, 1), Fixed2(recorded));
    EXPECT_EQ(Cell(1, 2), Fixed2(recorded - 30));
    EXPECT_EQ(Cell(1, 3), "*");
    EXPECT_TRUE(Shown("swingPrintButton"));
    EXPECT_TRUE(answerer.Boxes().empty());
    ASSERT_FALSE(CCompassSwing::NearestLine(RecordAt(sim, 42.5)).has_value());
    EXPECT_TRUE(OneBox(answerer.Boxes(), "Heading not on a marked line"));
    EXPECT_EQ(Swing().RecordedCount(), 1);
    ASSERT_TRUE(Ok(sim.Command("turn 3")));
    EXPECT_TRUE(RunEventsUntil([&] { return !Usable("recordHeadingButton"); }));
}

// A link lost during the collection records nothing and says so once.
TEST_F(SwingTest, ALinkLostWhileRecordingLeavesNothingRecorded) {
    CTestUnit& sim = Open(90);
    const CBoxAnswerer answerer(QMessageBox::Ok);
    Click("recordHeadingButton");
    ASSERT_TRUE(RunEventsUntil([] { return BusyText().rfind("Recording heading 090", 0) == 0; }));
    ASSERT_TRUE(Ok(sim.Command("power off")));
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    ASSERT_TRUE(StepsEnded(wizard));
    EXPECT_TRUE(Swing().Empty());
    EXPECT_TRUE(OneBox(answerer.Boxes(), kLostLink));
    EXPECT_EQ(BusyText(), "");
}

// A swing that cannot be added to the saved log at Finish is said, and the wizard stays.
TEST_F(SwingTest, ALogTheSwingCannotBeAddedToIsSaidAndTheWizardStays) {
    CTestUnit& sim = Open(120);
    Session().SetSavedLog(State().GetAhrsSerialNumber(), directory / "no-such-folder/x.log", {});
    RecordAt(sim, 120.5);
    EXPECT_TRUE(OneBox(BoxesOf([&] { wizard.PressFinish(); }), "Error saving installation log"));
    EXPECT_TRUE(wizard.isVisible());
}

// "Verify Only" lands here with Finish alone; the heading is live, the needle follows the
// magnetometer status, and Finish closes the wizard with the unit back on output page E.
TEST_F(SwingTest, VerifyOnlyShowsTheLiveHeadingAndFinishLeavesTheUnitOnPageE) {
    CTestUnit& sim = Open(123.4);
    EXPECT_EQ(WizardButtons(), IWizardFrame::kFinish);
    EXPECT_EQ(sim.Value("Page"), "C");
    auto* compass = Find<CCompassCtrl>("compass");
    ASSERT_TRUE(RunEventsUntil([&] {
        return State().GetAvgHeading() != 0.0 &&
               Text("rq270HeadingField") == Fixed2(State().GetAvgHeading()) &&
               compass->Heading() == State().GetAvgHeading() && compass->IsNeedleShown();
    }));
    SaveArtifact(wizard, "page-7-verify");
    ASSERT_TRUE(Ok(sim.Command("mag off")));
    ASSERT_TRUE(RunEventsUntil([&] { return !compass->IsNeedleShown(); }));
    Click("finishButton");
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("Page") == "E"; }));
}
