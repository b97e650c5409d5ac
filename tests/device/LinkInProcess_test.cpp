// The link against the simulated unit in the same process: the two independent
// implementations of the maintenance port meet through an in-memory transport, on the
// test's time base, without a pseudo-terminal or a second process.
#include "device/LinkFixture.h"
#include "device/SimTransport.h"

#include <cmath>

namespace {

class LinkInProcess : public CLinkFixture {
protected:
    LinkInProcess() {
        SimUnitConfig config;
        config.ahrsVersion = "7.4.2";
        config.magSerial = "RQ-0815";
        config.warmupMs = 0;
        unit = UseTransport(std::make_unique<CSimTransport>(timeBase, config));
        LinkPort(3, "/dev/hx410-in-process");
    }
    void SetUp() override { OpenAndIdentify(3); }

    CSimTransport* unit = nullptr;
};

TEST_F(LinkInProcess, PowerOffLosesTheLinkOnceAfterTheSilenceTimeAndPowerOnBringsItBack) {
    EXPECT_EQ(link->State().GetAhrsVersion(), "7.4.2");
    EXPECT_FALSE(unit->Command("power off").empty());
    ui.RunFor(2500); // inside the silence time
    EXPECT_EQ(page->Received(), std::vector{kUp});
    ASSERT_TRUE(WaitForNotes(2));
    ui.RunFor(6000); // a long silence is still one loss
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost}));
    EXPECT_EQ(link->State().GetAhrsVersion(), ""); // the record was reset
    EXPECT_EQ(link->State().GetArincOutput(), -1.0);
    EXPECT_EQ(link->State().GetMagSerialNumber(), "RQ-0815"); // serial numbers survive

    EXPECT_FALSE(unit->Command("power on").empty());
    ASSERT_TRUE(WaitForNotes(3));
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost, kUp}));
}

TEST_F(LinkInProcess, CorrectionsAreEchoed) {
    ASSERT_TRUE(link->SelectOutputPage('C'));
    ASSERT_TRUE(link->SendMcc(2, -1.25));
    EXPECT_TRUE(RunUntil([&] { return std::fabs(link->State().GetMcc(2) + 1.25) <= 0.02; }));
    ASSERT_TRUE(link->SendMagFieldCorrection(1, -37));
    EXPECT_TRUE(RunUntil([&] { return link->State().GetMagFieldCorrection(1) == -37; }));
}

} // namespace
