// The link on real pseudo-terminals: the listener thread and the port's lock, which the
// in-memory transport does not have, and hx410-sim's adapter going away and coming back.
#include "device/LinkFixture.h"
#include "device/PtyPeer.h"
#include "device/SerialPort.h"
#include "device/SimPeer.h"

#include <cerrno>
#include <cmath>
#include <thread>

namespace {

constexpr int kPort = 5;

class AhrsLink : public CLinkFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        LinkPort(kPort, peer.SlavePath());
    }

    CPtyPeer peer;
};

TEST_F(AhrsLink, ReopeningLeavesOneListenerAndAHeldPortIsBusy) {
    CSerialPort other;
    ASSERT_EQ(other.OpenDevice(peer.SlavePath()), 0);
    EXPECT_FALSE(link->Open(kPort));
    EXPECT_EQ(link->LastOpenError(), EBUSY);
    other.CloseDevice();

    for (int i = 0; i < 3; ++i) { // earlier opens leave no listener behind
        ASSERT_TRUE(link->Open(kPort));
        ASSERT_TRUE(link->Close());
    }
    ASSERT_TRUE(link->Open(kPort));
    ASSERT_TRUE(link->Open(kPort)); // opening an open port reopens it
    EXPECT_EQ(link->LastOpenError(), 0);
    EXPECT_EQ(link->ListComPorts(), std::vector<int>{}); // held by this link now
    ASSERT_TRUE(peer.Send("\x1b[1;1HPITCH 2.50\x1b"));
    ASSERT_TRUE(WaitForNotes(1));
    ASSERT_TRUE(peer.Send("\x1b[2;1HROLL -1.25\x1b"));
    ASSERT_TRUE(RunUntil([&] { return link->State().GetRoll() == -1.25; }));
    ui.RunFor(500);
    EXPECT_EQ(page->Received(), std::vector{kUp});
    EXPECT_EQ(link->State().GetPitch(), 2.5);
    EXPECT_TRUE(link->ResetImu());
    EXPECT_EQ(peer.Receive(10, 5000), "RESET IMU\r");
}

// The listener only records its reads; once the port is closed or the link destroyed,
// no silence expiry runs, however the reads and the close interleave.
TEST_F(AhrsLink, NoSilenceExpiryRunsAfterCloseOrDestructionWhileTheUnitTalks) {
    std::atomic<bool> done{false};
    std::thread unit([&] {
        while (!done.load()) {
            peer.Send("\x1b[1;1HROLL 1.00\x1b");
            std::this_thread::sleep_for(std::chrono::microseconds(200)); // pacing only
        }
    });
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(link->Open(kPort));
        ASSERT_TRUE(RunUntil([&] { return link->IsLinkAlive(); }));
        link->Close();
    }
    ui.RunFor(2 * CAhrsPort::kSilenceMs);
    EXPECT_EQ(page->Count(), 20u); // one link-up a round, never a loss

    ASSERT_TRUE(link->Open(kPort));
    ASSERT_TRUE(RunUntil([&] { return link->IsLinkAlive(); }));
    ui.RunPending();
    page.reset();
    link.reset();
    done.store(true); // before the unread pseudo-terminal fills up and blocks the unit
    unit.join();
    ui.RunFor(2 * CAhrsPort::kSilenceMs); // nothing of the destroyed link may run
    EXPECT_EQ(ui.RunPending(), 0u);
}

// At a quarter of the pace of the other link tests: the 5000 ms silence time is a second
// of real time, which neither process loses by accident on a loaded machine.
class LinkWithSim : public CLinkFixture {
protected:
    LinkWithSim() : CLinkFixture(5.0) {}
    void TearDown() override {
        link.reset();
        sim.reset();
    }

    std::unique_ptr<CSimPeer> sim;
};

TEST_F(LinkWithSim, UnplugClosesAndReopensThePortOnceAndDataFlowsAgain) {
    sim = std::make_unique<CSimPeer>(HX410_SIM_PATH, places.portsDir, timeBase.Scale(),
                                     std::vector<std::string>{"--warmup", "0"});
    ASSERT_TRUE(sim->Ok());
    ASSERT_TRUE(link->Open(static_cast<std::uint8_t>(sim->ComNumber())));
    ASSERT_TRUE(WaitForNotes(1));
    EXPECT_FALSE(sim->Command("unplug").empty());
    ASSERT_TRUE(RunUntil([&] { return link->Port().ReopenCount() == 1 && link->Port().IsOpen(); }));
    ASSERT_TRUE(link->SelectOutputPage('C')); // commands reach the new port
    EXPECT_FALSE(sim->Command("pitch 4.5").empty());
    EXPECT_TRUE(RunUntil([&] { return std::fabs(link->State().GetPitch() - 4.5) < 0.3; }));
    EXPECT_EQ(link->Port().ReopenCount(), 1u);
    EXPECT_EQ(page->Received(), std::vector{kUp}); // back within the silence time
}

} // namespace
