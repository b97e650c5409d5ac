// The link against hx410-sim over a real pseudo-terminal: what the in-process tests cannot
// show, a device that goes away and comes back.
#include "device/LinkFixture.h"
#include "device/SimPeer.h"

#include <cmath>

namespace {

// At a quarter of the pace of the other link tests: the 5000 ms silence time is a second
// of real time, which neither process loses by accident on a loaded machine.
class LinkWithSim : public CLinkFixture {
protected:
    LinkWithSim() : CLinkFixture(5.0) {}
    void SetUp() override {
        sim = std::make_unique<CSimPeer>(HX410_SIM_PATH, places.portsDir, timeBase.Scale(),
                                         std::vector<std::string>{"--warmup", "0"});
        ASSERT_TRUE(sim->Ok());
        OpenAndIdentify(sim->ComNumber());
    }
    void TearDown() override {
        link.reset();
        sim.reset();
    }

    std::unique_ptr<CSimPeer> sim;
};

TEST_F(LinkWithSim, UnplugClosesAndReopensThePortOnceAndDataFlowsAgain) {
    EXPECT_FALSE(sim->Command("unplug").empty());
    ASSERT_TRUE(RunUntil([&] { return link->Port().ReopenCount() == 1 && link->Port().IsOpen(); }));
    ASSERT_TRUE(link->SelectOutputPage('C')); // commands reach the new port
    EXPECT_FALSE(sim->Command("pitch 4.5").empty());
    EXPECT_TRUE(RunUntil([&] { return std::fabs(link->State().GetPitch() - 4.5) < 0.3; }));
    EXPECT_EQ(link->Port().ReopenCount(), 1u);
    EXPECT_EQ(page->Received(), std::vector{kUp}); // back within the silence time
}

} // namespace
