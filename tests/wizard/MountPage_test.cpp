#include "SimulatedLinkSuite.h"
#include "wizard/pages/MountPage.h"

#include <QListWidget>

namespace {

const std::string kSwitchOff = "Turn OFF power to HX410...";
const std::string kSwitchOn = "Turn ON  power to HX410 to Continue...";

} // namespace

class MountPageTest : public SimPagesTest {
protected:
    // On the mount page of a unit in mount 9.
    CTestUnit& Open() {
        CTestUnit& sim = Connect();
        GoTo(kMountPage);
        EXPECT_TRUE(RunEventsUntil([&] { return WizardButtons() == IWizardFrame::kNext; }));
        return sim;
    }
    void Select(int mount) {
        auto* list = Find<QListWidget>("mountList");
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->data(Qt::UserRole).toInt() == mount) {
                list->setCurrentRow(row);
            }
        }
    }
    void ChangeMount() { Click("changeMountButton"); }
    // Switched off as asked: the page asks for power again.
    void PowerOff(CTestUnit& sim) {
        EXPECT_EQ(BusyText(), kSwitchOff);
        sim.Command("power off");
        EXPECT_TRUE(RunEventsUntil([] { return BusyText() == kSwitchOn; }));
    }
};

TEST_F(MountPageTest, PowerCycleSendsMountOnceMagnetometerAnswers) {
    CTestUnit& sim = Open();
    const CBoxAnswerer answerer(QMessageBox::Ok);
    Select(11);
    EXPECT_TRUE(Usable("changeMountButton"));
    EXPECT_EQ(WizardButtons(), 0);
    SaveArtifact(wizard, "page-3-mount");
    ChangeMount();
    PowerOff(sim);
    sim.Command("mag off");
    sim.Command("power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    ASSERT_TRUE(RunEventsFor(CTimeBase(kScale),
                             3 * (CMountPage::kSettleMs + 3 * CMountPage::kCommandGapMs)));
    EXPECT_EQ(sim.Value("Mount"), "9") << "sent while the RQ270 was silent";
    sim.Command("mag on");
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_TRUE(StepsEnded(wizard)); // the move includes the coarse page's start
    EXPECT_EQ(sim.Value("Mount"), "11");
    EXPECT_EQ(Session().SelectedMount(), 0);
    EXPECT_TRUE(answerer.Boxes().empty());
    EXPECT_EQ(BusyText(), "");
}

// A unit not back, or dropping again while the RQ270 is awaited: the connection page with the
// change pending, and one box when it came back.
TEST_F(MountPageTest, AUnitNotBackGivesUpToTheConnectionPageWithTheChangePending) {
    for (const bool comesBack : {false, true}) {
        SCOPED_TRACE(comesBack ? "drops again" : "not back");
        CTestUnit& sim = Open();
        const CBoxAnswerer answerer(QMessageBox::Ok);
        const int mount = comesBack ? 10 : 8;
        Select(mount);
        ChangeMount();
        PowerOff(sim);
        if (comesBack) {
            sim.Command("mag off");
            sim.Command("power on");
            ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
            sim.Command("power off");
        }
        ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
        ASSERT_TRUE(StepsEnded(wizard));
        if (comesBack) {
            EXPECT_TRUE(
                OneBox(answerer.Boxes(), kLostLink, "The HX410 or its RQ270 did not answer"));
        }
        EXPECT_EQ(Session().SelectedMount(), mount);
        EXPECT_EQ(BusyText(), "");
        Session().SetSelectedMount(0); // the next unit is one without a change
        Link().Close();                // the next unit takes the next COM number
    }
}

// The RQ270's power is reset when a wizard that showed the mount page goes.
TEST_F(MountPageTest, AWizardThatShowedTheMountPageResetsTheMagnetometerWhenItCloses) {
    CTestUnit& sim = Connect();
    {
        CInstallationWizard closing(*uiThread, CTimeBase(kScale), objects.Services(),
                                    MakeStandardPage);
        closing.GoToPage(kMountPage);
        ASSERT_EQ(sim.Value("MagAnswering"), "yes");
    }
    EXPECT_TRUE(RunEventsUntil([&] { return sim.Value("MagAnswering") == "no"; }));
}
