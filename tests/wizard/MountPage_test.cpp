#include "SimPagesFixture.h"

#include <QListWidget>
#include <QTimer>

#include "wizard/pages/MountPage.h"

namespace {

const std::string kSwitchOff = "Turn OFF power to HX410...";
const std::string kSwitchOn = "Turn ON  power to HX410 to Continue...";

} // namespace

class MountPageTest : public SimPagesTest {
protected:
    // On the mount page of a unit in mount 9.
    CTestUnit& Open() {
        CTestUnit& sim = Connect();
        wizard.GoToPage(kMountPage);
        EXPECT_TRUE(StepsEnded(wizard));
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
    // The labels under the pictures, in list order.
    std::vector<std::string> Labels() {
        auto* list = Find<QListWidget>("mountList");
        std::vector<std::string> labels;
        for (int row = 0; row < list->count(); ++row) {
            labels.push_back(list->item(row)->text().toStdString());
        }
        return labels;
    }
    void ChangeMount() { Find<QPushButton>("changeMountButton")->click(); }
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
    // The unit's own mount stays marked while another one is chosen.
    EXPECT_EQ(Labels(), (std::vector<std::string>{"Mount Position 8", "Mount Position 9\n(current)",
                                                  "Mount Position 10", "Mount Position 11"}));
    SaveArtifact(wizard, "page-3-mount");
    ChangeMount();
    PowerOff(sim);
    sim.Command("mag off");
    sim.Command("power on");
    // The unit answers, its magnetometer does not (no version, then "-----"): nothing may
    // be sent for well beyond the page's settling time. The magnetometer is plugged in from
    // a timer while the page waits for it.
    const CTimeBase time(kScale);
    double aliveSince = -1;
    std::string mountWhileSilent;
    QTimer plugIn;
    QObject::connect(&plugIn, &QTimer::timeout, [&] {
        if (aliveSince < 0 && Link().IsLinkAlive()) {
            aliveSince = time.NowMs();
        }
        if (aliveSince >= 0 && mountWhileSilent.empty() &&
            time.NowMs() - aliveSince >
                3 * (CMountPage::kSettleMs + 3 * CMountPage::kCommandGapMs)) {
            mountWhileSilent = sim.Value("Mount");
            sim.Command("mag on");
        }
    });
    plugIn.start(5);
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kCoarsePage; }));
    EXPECT_TRUE(
        StepsEnded(wizard)); // the move includes the coarse page's start, with a box of its own
    EXPECT_EQ(mountWhileSilent, "9");
    EXPECT_EQ(sim.Value("Mount"), "11");
    EXPECT_EQ(Session().SelectedMount(), 0);
    for (const auto& box : answerer.Boxes()) {
        ADD_FAILURE() << box.caption << ": " << box.text;
    }
    EXPECT_EQ(BusyText(), "");
}

// A position clicked but not requested (or requested and then taken back) is never kept
// when the page is left, by the wizard or by the unit going silent.
TEST_F(MountPageTest, SelectionWithoutRequestIsDroppedOnLeaving) {
    enum class Leave { Away, Silence, RequestUndoneThenSilence };
    for (const Leave leave : {Leave::Away, Leave::Silence, Leave::RequestUndoneThenSilence}) {
        SCOPED_TRACE(static_cast<int>(leave));
        CTestUnit& sim = Open();
        Select(10);
        EXPECT_EQ(Session().SelectedMount(), 10);
        CBoxAnswerer answerer(QMessageBox::Ok);
        if (leave == Leave::Away) {
            wizard.GoToPage(kWelcomePage);
            EXPECT_TRUE(StepsEnded(wizard));
        } else {
            if (leave == Leave::RequestUndoneThenSilence) {
                ChangeMount();
                Select(9);
                EXPECT_EQ(BusyText(), "");
                EXPECT_FALSE(Find<QPushButton>("changeMountButton")->isVisible());
                EXPECT_EQ(WizardButtons(), IWizardFrame::kNext);
            }
            sim.Command("power off");
            ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
            ASSERT_EQ(answerer.Boxes().size(), 1u);
            EXPECT_EQ(answerer.Boxes()[0].caption, "Error communicating with HX410.");
        }
        EXPECT_EQ(Session().SelectedMount(), 0);
        EXPECT_EQ(BusyText(), "");
        StopUnits();
    }
}

TEST_F(MountPageTest, UnitNotBackGivesUpToConnectionPageWithChangePending) {
    CTestUnit& sim = Open();
    const CBoxAnswerer answerer(QMessageBox::Ok);
    Select(8);
    ChangeMount();
    PowerOff(sim);
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    EXPECT_EQ(BusyText(), "");
    EXPECT_EQ(Session().SelectedMount(), 8);
}

// The unit comes back without its magnetometer and drops again while the page waits for
// the RQ270: one box says what happened, and the connection page completes the change.
TEST_F(MountPageTest, AUnitThatDropsAgainDuringTheMagnetometerWaitGivesOneBox) {
    CTestUnit& sim = Open();
    const CBoxAnswerer answerer(QMessageBox::Ok);
    Select(10);
    ChangeMount();
    PowerOff(sim);
    sim.Command("mag off");
    sim.Command("power on");
    ASSERT_TRUE(RunEventsUntil([] { return Link().IsLinkAlive(); }));
    sim.Command("power off");
    ASSERT_TRUE(RunEventsUntil([] { return !Link().IsLinkAlive(); }));
    ASSERT_TRUE(RunEventsUntil([&] { return wizard.CurrentPage() == kConnectionPage; }));
    ASSERT_TRUE(StepsEnded(wizard));
    ASSERT_EQ(answerer.Boxes().size(), 1u);
    EXPECT_EQ(answerer.Boxes()[0].caption, "Error communicating with HX410.");
    EXPECT_EQ(answerer.Boxes()[0].text.rfind("The HX410 or its RQ270 did not answer", 0), 0u)
        << answerer.Boxes()[0].text;
    EXPECT_EQ(Session().SelectedMount(), 10);
    EXPECT_EQ(BusyText(), "");
}

// A wizard that showed the mount page resets the magnetometer's power when it goes, so
// the RQ270 starts again with what its configuration module holds.
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
