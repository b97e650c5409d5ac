#include "SimPagesFixture.h"

#include "controls/CompassCtrl.h"
#include "records/InstallationSession.h"

#include <QLabel>
#include <QTableWidget>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <functional>

namespace {

bool Ok(const std::string& reply) {
    return reply.rfind("ok", 0) == 0;
}

std::string Fixed2(double value) {
    return QString::number(value, 'f', 2).toStdString();
}

} // namespace

using VerifyPageTest = SimPagesTest;

// "Verify Only" lands here with Finish alone; the heading is live, the needle follows the
// magnetometer status, and Finish closes the wizard with the unit back on output page E.
TEST_F(VerifyPageTest, VerifyOnlyShowsTheLiveHeadingWithFinishAlone) {
    CTestUnit& sim = Connect({"--heading", "123.4", "--heading-noise", "0"});
    ASSERT_TRUE(GoOnBy("verifyOnlyButton", kVerifyPage));
    EXPECT_EQ(WizardButtons(), IWizardFrame::kFinish);
    EXPECT_EQ(sim.Value("Page"), "C");
    auto* compass = Find<CCompassCtrl>("compass");
    ASSERT_TRUE(RunEventsUntil([&] {
        return State().GetAvgHeading() != 0.0 &&
               Text("rq270HeadingField") == Fixed2(State().GetAvgHeading()) &&
               compass->Heading() == State().GetAvgHeading() && compass->IsNeedleShown() &&
               Text("ahrsStatusField") == "Valid";
    }));
    SaveArtifact(wizard, "page-7-verify");

    ASSERT_TRUE(Ok(sim.Command("mag off")));
    ASSERT_TRUE(RunEventsUntil([&] { return !compass->IsNeedleShown(); }));
    ASSERT_TRUE(Ok(sim.Command("mag on")));
    ASSERT_TRUE(RunEventsUntil([&] { return compass->IsNeedleShown(); }));

    Find<QPushButton>("finishButton")->click();
    ASSERT_TRUE(RunEventsUntil([&] { return !wizard.isVisible(); }));
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("Page") == "E"; }));
}

// Visited from the finish page, Back returns there and the unit prints page E again.
TEST_F(VerifyPageTest, BackSelectsOutputPageE) {
    CTestUnit& sim = Connect();
    ASSERT_TRUE(RunEventsUntil([&] { return Usable("verifyOnlyButton"); }));
    wizard.GoToPage(kFinishPage);
    EXPECT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    wizard.GoToPage(kVerifyPage);
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(WizardButtons(), IWizardFrame::kBack | IWizardFrame::kFinish);
    ASSERT_TRUE(RunEventsUntil([&] { return sim.Value("Page") == "C"; }));
    Find<QPushButton>("backButton")->click();
    EXPECT_TRUE(StepsEnded(wizard));
    EXPECT_EQ(wizard.CurrentPage(), kFinishPage);
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("Page") == "E"; }));
}

// The unit going silent here leads back to the connection page after one box.
TEST_F(VerifyPageTest, ALostLinkLeadsToTheConnectionPage) {
    CTestUnit& sim = Connect();
    ASSERT_TRUE(GoOnBy("verifyOnlyButton", kVerifyPage));
    const CBoxAnswerer answerer(QMessageBox::Ok);
    ASSERT_TRUE(Ok(sim.Command("power off")));
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Error communicating with HX410.");
}

// The compass swing on the verification page.
class SwingTest : public SimPagesTest {
protected:
    // On the verification page by "Verify Only", the aircraft on `heading`.
    CTestUnit& Open(double heading) {
        CTestUnit& sim = Connect({"--heading", std::to_string(heading), "--heading-noise", "0"});
        EXPECT_TRUE(GoOnBy("verifyOnlyButton", kVerifyPage));
        EXPECT_TRUE(StepsEnded(wizard));
        return sim;
    }
    // Turns the aircraft and records once the unit shows the heading and Record Heading can
    // be pressed. The unit's heading (not yet calibrated here) is in `shown`.
    bool RecordAt(CTestUnit& sim, double heading, double* shown = nullptr) {
        if (!Ok(sim.Command("heading " + std::to_string(heading)))) {
            return false;
        }
        const double output = std::stod(sim.Value("OutputHeading"));
        if (shown != nullptr) {
            *shown = output;
        }
        const bool usable = RunEventsUntil([&] {
            return std::fabs(std::remainder(State().GetAvgHeading() - output, 360.0)) < 0.2 &&
                   Usable("recordHeadingButton");
        });
        if (usable) {
            Find<QPushButton>("recordHeadingButton")->click();
        }
        return usable && StepsEnded(wizard);
    }
    std::string Cell(int line, int column) {
        return Find<QTableWidget>("swingTable")->item(line, column)->text().toStdString();
    }
};

TEST_F(SwingTest, AHeadingIsRecordedAtTheNearestLineAndRecordingAgainReplacesIt) {
    CTestUnit& sim = Open(28.5);
    const CBoxAnswerer answerer(QMessageBox::Ok);
    EXPECT_FALSE(Find<QPushButton>("swingPrintButton")->isVisible());
    EXPECT_EQ(Find<QLabel>("swingTolerance")->text().toStdString(), "Tolerance: 2.00 degrees");
    double shown = 0;
    ASSERT_TRUE(RecordAt(sim, 28.5, &shown));
    const double first =
        Session().SwingOf(State().GetAhrsSerialNumber()).UnitHeadingAt(1).value_or(-1);
    EXPECT_NEAR(first, shown, 0.2);
    EXPECT_EQ(Cell(1, 1), Fixed2(first));
    EXPECT_EQ(Cell(1, 2), Fixed2(first - 30));
    EXPECT_EQ(Cell(1, 3), std::fabs(first - 30) > 2.0 ? "*" : "");
    EXPECT_TRUE(Find<QPushButton>("swingPrintButton")->isVisible());

    ASSERT_TRUE(RecordAt(sim, 33.5, &shown)); // again at the same line, past the tolerance
    ASSERT_GT(shown - 30, 2.0);
    EXPECT_NEAR(Session().SwingOf(State().GetAhrsSerialNumber()).UnitHeadingAt(1).value_or(-1),
                shown, 0.2);
    EXPECT_EQ(Session().SwingOf(State().GetAhrsSerialNumber()).RecordedCount(), 1);
    EXPECT_EQ(Cell(1, 3), "*");
    ASSERT_TRUE(RecordAt(sim, 355.0, &shown)); // north, across the wrap
    EXPECT_NEAR(Session().SwingOf(State().GetAhrsSerialNumber()).DeviationAt(0).value_or(99),
                std::remainder(shown, 360.0), 0.2);
    EXPECT_TRUE(answerer.Boxes().empty());
}

TEST_F(SwingTest, ReadingsThatCannotBeRecordedAreRefused) {
    CTestUnit& sim = Open(42.5);
    const CBoxAnswerer answerer(QMessageBox::Ok);
    // Far from every line: a box says so and nothing is recorded.
    double shown = 0;
    ASSERT_TRUE(RecordAt(sim, 42.5, &shown));
    ASSERT_FALSE(CCompassSwing::NearestLine(shown).has_value()) << shown;
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Heading not on a marked line");
    EXPECT_TRUE(Session().SwingOf(State().GetAhrsSerialNumber()).Empty());
    // Turning, or without the magnetometer, Record Heading cannot be pressed.
    struct Case {
        const char* what;
        const char* fault;
        const char* back;
    };
    for (const Case c :
         {Case{"turning", "turn 3", "turn 0"}, Case{"mag invalid", "mag off", "mag on"}}) {
        ASSERT_TRUE(Ok(sim.Command(c.fault))) << c.what;
        EXPECT_TRUE(RunEventsUntil([&] { return !Usable("recordHeadingButton"); })) << c.what;
        ASSERT_TRUE(Ok(sim.Command(c.back))) << c.what;
        ASSERT_TRUE(Ok(sim.Command("heading 90"))) << c.what;
        EXPECT_TRUE(RunEventsUntil([&] { return Usable("recordHeadingButton"); })) << c.what;
    }
}

TEST_F(SwingTest, ALinkLostWhileRecordingLeavesNothingRecorded) {
    CTestUnit& sim = Open(90);
    const CBoxAnswerer answerer(QMessageBox::Ok);
    ASSERT_TRUE(RunEventsUntil([&] { return Usable("recordHeadingButton"); }));
    Find<QPushButton>("recordHeadingButton")->click();
    ASSERT_TRUE(RunEventsUntil([] { return BusyText().rfind("Recording heading 090", 0) == 0; }));
    ASSERT_TRUE(Ok(sim.Command("power off")));
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    ASSERT_TRUE(StepsEnded(wizard));
    EXPECT_TRUE(Session().SwingOf(State().GetAhrsSerialNumber()).Empty());
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Error communicating with HX410.");
    EXPECT_EQ(BusyText(), "");
}

// A swing recorded after the log was saved goes into that log at Finish; a log that cannot
// be added to is said, and the wizard stays.
TEST_F(SwingTest, FinishAddsTheSwingToTheSavedLog) {
    const CScratchDirectory logs;
    struct Case {
        const char* what;
        bool writable;
    };
    for (const Case c : {Case{"cannot be added to", false}, Case{"added to", true}}) {
        SCOPED_TRACE(c.what);
        CTestUnit& sim = Open(120);
        const std::string log = logs / "installation.log";
        { std::ofstream(log) << "Saved on the finish page\n"; }
        std::filesystem::permissions(log, c.writable ? std::filesystem::perms::owner_all
                                                     : std::filesystem::perms::owner_read);
        Session().SetSavedLog(State().GetAhrsSerialNumber(),
                              c.writable ? log : logs / "no-such-folder/installation.log", {});
        const CBoxAnswerer answerer(QMessageBox::Ok);
        ASSERT_TRUE(RecordAt(sim, 120.5));
        wizard.PressFinish();
        ASSERT_TRUE(StepsEnded(wizard));
        if (!c.writable) {
            ASSERT_EQ(answerer.Boxes().size(), 1u);
            EXPECT_EQ(answerer.Boxes()[0].caption, "Error saving installation log");
            EXPECT_TRUE(wizard.isVisible());
            StopUnits();
            continue;
        }
        EXPECT_TRUE(answerer.Boxes().empty());
        EXPECT_FALSE(wizard.isVisible());
        std::ifstream in(log);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        const std::string deviation =
            Fixed2(*Session().SwingOf(State().GetAhrsSerialNumber()).DeviationAt(4));
        EXPECT_NE(text.find("Saved on the finish page\nCompass Swing Heading 120: " + deviation +
                            "\nCompass Swing Max Deviation: "),
                  std::string::npos)
            << text;
    }
}
