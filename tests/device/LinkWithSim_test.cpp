// The link against the simulated unit, two independent implementations of the
// maintenance port meeting over a real pseudo-terminal.
#include "device/LinkFixture.h"
#include "device/SimPeer.h"

#include <cmath>

namespace {

const CRecordingPage::Note kUp{CLinkFixture::kMessage, true};
const CRecordingPage::Note kLost{CLinkFixture::kMessage, false};

class LinkWithSim : public CLinkFixture {
protected:
    void SetUp() override {
        sim = std::make_unique<CSimPeer>(
            HX410_SIM_PATH, places.portsDir, timeBase.Scale(),
            std::vector<std::string>{"--ahrs-version", "7.4.2", "--mag-serial", "RQ-0815",
                                     "--ahrs-serial", "HX-4711", "--warmup", "0", "--mount", "8"});
        ASSERT_TRUE(sim->Ok());
        ASSERT_TRUE(link->Open(static_cast<std::uint8_t>(sim->ComNumber())));
        ASSERT_TRUE(WaitForNotes(1));
    }
    void TearDown() override { sim.reset(); }

    // The RQ270 answers a few seconds after power-on; page F shows when it does.
    bool WaitForIdentity() {
        return link->SelectOutputPage('F') && RunUntil([&] {
                   const std::string mag = link->State().GetMagVersion();
                   return !mag.empty() && mag != "-----" &&
                          !link->State().GetMagSerialNumber().empty() &&
                          !link->State().GetAhrsVersion().empty();
               });
    }

    std::unique_ptr<CSimPeer> sim;
};

TEST_F(LinkWithSim, LinkComesUpOnceAndPageFCarriesTheIdentity) {
    EXPECT_TRUE(WaitForIdentity());
    EXPECT_EQ(link->State().GetAhrsVersion(), "7.4.2");
    EXPECT_EQ(link->State().GetMagSerialNumber(), "RQ-0815");
    EXPECT_EQ(link->State().GetAhrsSerialNumber(), "HX-4711");
    ui.RunFor(6000);
    EXPECT_EQ(page->Received(), std::vector{kUp});
}

TEST_F(LinkWithSim, PowerOffLosesTheLinkOnceAndPowerOnBringsItBack) {
    ASSERT_TRUE(WaitForIdentity());
    EXPECT_FALSE(sim->Command("power off").empty());
    ASSERT_TRUE(WaitForNotes(2));
    ui.RunFor(8000);
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost}));
    EXPECT_EQ(link->State().GetAhrsVersion(), "");            // the record was reset
    EXPECT_EQ(link->State().GetMagSerialNumber(), "RQ-0815"); // serial numbers survive

    EXPECT_FALSE(sim->Command("power on").empty());
    ASSERT_TRUE(WaitForNotes(3));
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost, kUp}));
}

TEST_F(LinkWithSim, UnplugReopensThePortOnceAndDataFlowsAgain) {
    EXPECT_FALSE(sim->Command("unplug").empty());
    ASSERT_TRUE(RunUntil([&] { return link->Port().ReopenCount() == 1 && link->Port().IsOpen(); }));
    EXPECT_FALSE(sim->Command("pitch 4.5").empty());
    EXPECT_TRUE(RunUntil([&] { return std::fabs(link->State().GetPitch() - 4.5) < 0.3; }));
    EXPECT_TRUE(link->IsLinkAlive());
    EXPECT_EQ(link->Port().ReopenCount(), 1u);
}

TEST_F(LinkWithSim, CorrectionsAreEchoedAndStoredWithBothBanners) {
    ASSERT_TRUE(WaitForIdentity());
    ASSERT_TRUE(link->SelectOutputPage('C'));
    ASSERT_TRUE(link->SendMcc(2, -1.25));
    EXPECT_TRUE(RunUntil([&] { return std::fabs(link->State().GetMcc(2) + 1.25) <= 0.02; }));
    ASSERT_TRUE(link->SendMagFieldCorrection(1, -37));
    EXPECT_TRUE(RunUntil([&] { return link->State().GetMagFieldCorrection(1) == -37; }));
    EXPECT_TRUE(link->EraseAndStoreMcc());
}

TEST_F(LinkWithSim, StoreFailsWhenTheUnitDropsItsAcknowledgements) {
    ASSERT_TRUE(WaitForIdentity());
    EXPECT_FALSE(sim->Command("fault drop-acks on").empty());
    EXPECT_FALSE(link->EraseAndStoreMcc());
    EXPECT_FALSE(sim->Command("fault drop-acks off").empty());
    EXPECT_TRUE(link->EraseAndStoreMcc());
}

TEST_F(LinkWithSim, MountTakesEffectFromTheNextImuReset) {
    ASSERT_TRUE(link->SelectOutputPage('F'));
    ASSERT_TRUE(RunUntil([&] { return link->State().GetMountPosition() == 8; }));
    ASSERT_TRUE(link->SendMount(9));
    ui.RunFor(2000);
    EXPECT_EQ(link->State().GetMountPosition(), 8);
    ASSERT_TRUE(link->ResetImu());
    EXPECT_TRUE(RunUntil([&] { return link->State().GetMountPosition() == 9; }));
}

} // namespace
