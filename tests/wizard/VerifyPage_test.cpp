#include "SimPagesFixture.h"

#include "controls/CompassCtrl.h"

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
    StepsEnded(wizard);
    ASSERT_EQ(wizard.CurrentPage(), kFinishPage);
    wizard.GoToPage(kVerifyPage);
    StepsEnded(wizard);
    EXPECT_EQ(WizardButtons(), IWizardFrame::kBack | IWizardFrame::kFinish);
    ASSERT_TRUE(RunEventsUntil([&] { return sim.Value("Page") == "C"; }));
    Find<QPushButton>("backButton")->click();
    StepsEnded(wizard);
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
