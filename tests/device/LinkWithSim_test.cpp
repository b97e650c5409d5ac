// The link against hx410-sim over a real pseudo-terminal: what the in-process tests cannot
// show, a device that goes away and comes back.
#include "device/LinkFixture.h"
#include "device/SimPeer.h"

#include <cmath>

namespace {

// At a quarter of the pace of the other link tests: the 5000 ms silence time is a second
// of real time, which neither process loses by accident on a loaded machine.
class LinkWithSim : public ::testing::Test {
protected:
    static constexpr CRecordingPage::Note kUp = CLinkFixture::kUp;

    void SetUp() override {
        sim = std::make_unique<CSimPeer>(HX410_SIM_PATH, dir.Path(), timeBase.Scale(),
                                         std::vector<std::string>{"--ahrs-version", "7.4.2",
                                                                  "--mag-serial", "RQ-0815",
                                                                  "--warmup", "0"});
        ASSERT_TRUE(sim->Ok());
        link = std::make_unique<CAhrsLink>(ui, timeBase, ComPortPlaces{dir.Path(), dir / "dev"});
        page = std::make_unique<CRecordingPage>(ui, *link);
        link->Subscribe(page.get(), CLinkFixture::kMessage);
        ASSERT_TRUE(link->Open(static_cast<std::uint8_t>(sim->ComNumber())));
        ASSERT_TRUE(WaitForNotes(1));
        // The RQ270 answers a few seconds after power-on; page F shows when it does.
        ASSERT_TRUE(link->SelectOutputPage('F'));
        ASSERT_TRUE(RunUntil([&] {
            const std::string mag = link->State().GetMagVersion();
            return !mag.empty() && mag != "-----" && !link->State().GetMagSerialNumber().empty();
        }));
    }
    void TearDown() override {
        link.reset();
        sim.reset();
    }
    bool RunUntil(const std::function<bool()>& done) { return ui.RunUntil(done, 60000); }
    bool WaitForNotes(std::size_t count) {
        return RunUntil([&] { return page->Count() >= count; });
    }

    CTimeBase timeBase{5.0};
    CPlainUiThread ui{timeBase};
    CTempDir dir;
    std::unique_ptr<CSimPeer> sim;
    std::unique_ptr<CAhrsLink> link;
    std::unique_ptr<CRecordingPage> page;
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
