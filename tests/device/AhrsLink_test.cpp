#include "device/LinkFixture.h"
#include "device/PtyPeer.h"
#include "device/SerialPort.h"

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
    // Expects exactly `expected` at the far end, and nothing after it.
    void ExpectSent(const std::string& expected) {
        EXPECT_EQ(peer.Receive(expected.size(), 5000), expected);
        EXPECT_EQ(peer.Receive(), "");
    }

    CPtyPeer peer;
};

TEST_F(AhrsLink, FirstRecognisedLineBringsTheLinkUpWithOneNotification) {
    for (int i = 0; i < 3; ++i) { // earlier opens leave no listener behind
        ASSERT_TRUE(link->Open(kPort));
        ASSERT_TRUE(link->Close());
    }
    ASSERT_TRUE(link->Open(kPort));
    ASSERT_TRUE(link->Open(kPort)); // opening an open port reopens it
    ASSERT_TRUE(peer.Send("\x1bnothing known here\x1b+3.5\x1b"));
    ui.RunFor(1000);
    EXPECT_FALSE(link->IsLinkAlive());
    EXPECT_EQ(page->Count(), 0u);

    ASSERT_TRUE(peer.Send("\x1b[1;1HPITCH 2.50\x1b"));
    ASSERT_TRUE(WaitForNotes(1));
    for (int i = 0; i < 5; ++i) { // more data while alive: no further notification
        ASSERT_TRUE(peer.Send("\x1b[2;1HROLL -1.25\x1b"));
        ui.RunFor(500);
    }
    EXPECT_EQ(page->Received(), std::vector{kUp});
    EXPECT_EQ(link->State().GetPitch(), 2.5);
    EXPECT_EQ(link->State().GetRoll(), -1.25);
}

TEST_F(AhrsLink, SuspendedParsingKeepsTheLinkAliveAndTheRecordUnchanged) {
    link->SetParsingSuspended(true);
    ASSERT_TRUE(link->Open(kPort));
    for (int second = 0; second < 8; ++second) {
        ASSERT_TRUE(peer.Send("\x1bPITCH 7.00\x1bgarbage\x1b"));
        ui.RunFor(1000);
    }
    // Any read counts while suspended, so the link came up and never went down.
    EXPECT_TRUE(link->IsLinkAlive());
    EXPECT_EQ(page->Received(), std::vector{kUp});
    EXPECT_EQ(link->State().GetPitch(), 0.0);

    link->SetParsingSuspended(false);
    ASSERT_TRUE(peer.Send("\x1bPITCH 7.00\x1b"));
    EXPECT_TRUE(RunUntil([&] { return link->State().GetPitch() == 7.0; }));
}

TEST_F(AhrsLink, FailedReopenLeavesThePortClosedAndTheSilenceTimerReportsTheLoss) {
    ASSERT_TRUE(link->Open(kPort));
    ASSERT_TRUE(peer.Send("\x1bMNT 9\x1b"));
    ASSERT_TRUE(WaitForNotes(1));
    // The COM link dangles before the hang-up: the pseudo-terminal's number, once free, may
    // go to another program's terminal at once, and the reopen must not reach that.
    std::filesystem::remove(std::filesystem::path(places.portsDir) /
                            ("COM" + std::to_string(kPort)));
    LinkPort(kPort, dir / "unplugged");
    peer.Hangup(); // the reopen fails
    ASSERT_TRUE(WaitForNotes(2));
    ui.RunFor(3000);
    EXPECT_EQ(link->Port().ReopenCount(), 1u); // no second attempt
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost}));
    EXPECT_EQ(link->State().GetMountPosition(), 0); // the record was reset
    EXPECT_FALSE(link->ResetImu());                 // commands on a closed port fail
}

TEST_F(AhrsLink, EachCommandWritesItsExactBytes) {
    ASSERT_TRUE(link->Open(kPort));
    struct Case {
        std::function<bool(CAhrsLink&)> command;
        std::string bytes;
    } const cases[] = {
        {[](CAhrsLink& l) { return l.SendMcc(2, -0.5); }, "MCC E -0.50\r"},
        {[](CAhrsLink& l) { return l.SendMcc(1, 3); }, "MCC S 3.00\r"},
        {[](CAhrsLink& l) { return l.SendMcc(3, -0.004); }, "MCC W 0.00\r"},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(0, -32768); }, "MFC X -32768\r"},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(2, 250); }, "MFC Z 250\r"},
        {[](CAhrsLink& l) { return l.SendMount(9); }, "MOUNT 9.0\r"},
        {[](CAhrsLink& l) { return l.SelectOutputPage('E'); }, "PAGE E\r\r\r"},
        {[](CAhrsLink& l) { return l.SendLatitude(-33.867); }, "LAT -33.87\r"},
        {[](CAhrsLink& l) { return l.SendMagvar(-3); }, "MAGVAR -3.00\r"},
        {[](CAhrsLink& l) { return l.SendMagvar(-0.0); }, "MAGVAR 0.00\r"},
        {[](CAhrsLink& l) { return l.ResetImu(); }, "RESET IMU\r"},
        {[](CAhrsLink& l) { return l.ResetMagPower(); }, "RESET MAG POWER\r"},
        {[](CAhrsLink& l) { return l.ResetErrors(); }, "RESET ERRORS\r"},
        {[](CAhrsLink& l) { return l.SetA429Speed(true); }, "A429 H\r"},
        {[](CAhrsLink& l) { return l.SetA429Speed(false); }, "A429 L\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_TRUE(c.command(*link));
        ExpectSent(c.bytes);
    }
}

TEST_F(AhrsLink, CommandsThatWouldSendNonsenseWriteNothing) {
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_FALSE(link->SendMcc(4, 1.0));
    EXPECT_FALSE(link->SendMcc(-1, 1.0));
    EXPECT_FALSE(link->SendMcc(0, std::nan("")));
    EXPECT_FALSE(link->SendLatitude(INFINITY));
    EXPECT_FALSE(link->SendMagvar(-INFINITY));
    EXPECT_FALSE(link->SendMagFieldCorrection(3, 1));
    EXPECT_FALSE(link->SelectOutputPage('\r'));
    EXPECT_FALSE(link->ToggleArincOutput()); // -1 after a reset: neither on nor off
    EXPECT_EQ(peer.Receive(), "");
}

TEST_F(AhrsLink, ToggleArincOutputFlipsAKnownStateAndClearsTheCounters) {
    ASSERT_TRUE(link->Open(kPort));
    for (const auto& [output, bytes] :
         {std::pair{0.0, "ARINC 1.0\r"}, {0.49, "ARINC 1.0\r"}, {0.5, "ARINC 0.0\r"}}) {
        SCOPED_TRACE(output);
        link->State().SetArincOutput(output);
        link->State().SetStatusWord(0xCF);
        EXPECT_TRUE(link->ToggleArincOutput());
        ExpectSent(bytes);
        EXPECT_EQ(link->State().GetStatusCount(), 0u);
        EXPECT_EQ(link->State().GetArincCount(), 0u);
    }
    for (double outOfRange : {-1.0, 1.5, std::nan("")}) {
        link->State().SetArincOutput(outOfRange);
        EXPECT_FALSE(link->ToggleArincOutput());
    }
    EXPECT_EQ(peer.Receive(), "");
}

TEST_F(AhrsLink, CheckOutputPageSelectsPageCOnlyWhenStatusLinesOutrunHeadingLines) {
    ASSERT_TRUE(link->Open(kPort));
    CAhrsState& state = link->State();
    state.SetStatusWord(0xCF);
    state.SetStatusWord(0xCF);
    link->CheckOutputPage(); // 2 - 0: nothing
    EXPECT_EQ(peer.Receive(), "");
    state.SetStatusWord(0xCF);
    link->CheckOutputPage(); // 3 - 0 > 2
    ExpectSent("PAGE C\r\r\r");
    EXPECT_EQ(state.GetStatusCount(), 0u);

    for (int i = 0; i < 3; ++i) {
        state.AddAvgHeadingSample(12); // more headings than status lines: negative
    }
    link->CheckOutputPage();
    EXPECT_EQ(peer.Receive(), "");
}

TEST_F(AhrsLink, OpenFailuresSayWhy) {
    EXPECT_FALSE(link->Open(6)); // nothing is COM6
    EXPECT_EQ(link->LastOpenError(), ENOENT);
    EXPECT_FALSE(link->IsPortOpen());

    CSerialPort other;
    ASSERT_EQ(other.OpenDevice(peer.SlavePath()), 0);
    EXPECT_FALSE(link->Open(kPort));
    EXPECT_EQ(link->LastOpenError(), EBUSY);
    other.CloseDevice();
    EXPECT_TRUE(link->Open(kPort));
    EXPECT_EQ(link->LastOpenError(), 0);
    EXPECT_EQ(link->ListComPorts(), std::vector<int>{}); // held by this link now
    link->Close();
    EXPECT_EQ(link->ListComPorts(), std::vector<int>{kPort});
}

TEST_F(AhrsLink, OpeningAgainForgetsTheOldLinkSoTheNewOneComesUpWithItsOwnNotification) {
    CPtyPeer other;
    ASSERT_TRUE(other.Ok());
    LinkPort(kPort + 1, other.SlavePath());
    ASSERT_TRUE(link->Open(kPort));
    ASSERT_TRUE(peer.Send("\x1bPITCH 1.00\x1b"));
    ASSERT_TRUE(WaitForNotes(1));

    EXPECT_FALSE(link->Open(kPort + 2)); // nothing there
    EXPECT_FALSE(link->IsLinkAlive());
    EXPECT_FALSE(link->IsPortOpen());

    ASSERT_TRUE(link->Open(kPort + 1));
    ASSERT_TRUE(other.Send("\x1bPITCH 2.00\x1b"));
    ASSERT_TRUE(WaitForNotes(2));
    ASSERT_TRUE(link->Open(kPort)); // an open, live port replaced by another
    EXPECT_FALSE(link->IsLinkAlive());
    ASSERT_TRUE(peer.Send("\x1bPITCH 3.00\x1b"));
    ASSERT_TRUE(WaitForNotes(3));
    EXPECT_EQ(page->Received(), (std::vector{kUp, kUp, kUp}));
}

// The listener only records its reads; once the port is closed or the link destroyed,
// no silence expiry runs, however the reads and the close interleave.
TEST_F(AhrsLink, NoSilenceExpiryRunsAfterCloseOrDestructionWhileTheUnitTalks) {
    std::atomic<bool> done{false};
    std::thread unit([&] {
        while (!done.load()) {
            peer.Send("\x1b[1;1HROLL 1.00\x1b");
            std::this_thread::sleep_for(std::chrono::microseconds(200));
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

// A page destroyed while subscribed leaves the list; one that outlives the link too.
TEST_F(AhrsLink, DestroyedTargetsAndLinksLeaveNoDanglingSubscription) {
    struct Counter : IMessageTarget {
        void PostMessage(int) override { ++count; }
        int count = 0;
    };
    auto gone = std::make_unique<Counter>();
    link->Subscribe(gone.get(), 2024);
    link->Subscribe(gone.get(), 2025);
    gone.reset();
    link->NotifySubscribers(); // would post to freed memory
    ui.RunPending();
    EXPECT_EQ(page->Count(), 1u);

    Counter outliving;
    link->Subscribe(&outliving, 2024);
    link->NotifySubscribers();
    EXPECT_EQ(outliving.count, 1);
    ui.RunPending();
    page.reset();
    link.reset(); // `outliving` is destroyed after the link's list
}

TEST_F(AhrsLink, SubscribersAreNotifiedInOrderAndUnsubscribeRemovesEveryEqualPair) {
    CRecordingPage second(ui, *link);
    link->Subscribe(&second, 2025);
    link->Subscribe(&second, 2025);
    link->Subscribe(&second, 7);
    link->Subscribe(nullptr, 1);
    link->NotifySubscribers();
    link->Unsubscribe(&second, 2025);
    link->NotifySubscribers();
    ui.RunPending();
    EXPECT_EQ(page->Count(), 2u);
    std::vector<int> messages;
    for (const auto& note : second.Received()) {
        messages.push_back(note.message);
    }
    EXPECT_EQ(messages, (std::vector{2025, 2025, 7, 7}));
}

// Subscriptions change on the UI thread while the listener posts link-up notifications.
TEST_F(AhrsLink, SubscribingWhileTheListenerNotifiesIsSafe) {
    ASSERT_TRUE(link->Open(kPort));
    std::atomic<bool> done{false};
    std::thread far([&] {
        for (int i = 0; i < 200 && !done.load(); ++i) {
            peer.Send("\x1bMNT 1\x1b");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    CRecordingPage extra(ui, *link);
    for (int i = 0; i < 200; ++i) {
        link->Subscribe(&extra, 3);
        link->NotifySubscribers();
        link->Unsubscribe(&extra, 3);
        ui.RunPending();
    }
    done.store(true);
    far.join();
    link->Close();
    ui.RunPending();
    EXPECT_GE(extra.Count(), 200u); // plus the link-up, if it came while subscribed
    EXPECT_LE(extra.Count(), 201u);
}

// The unit's side of the MCC store: each command is read and, when a banner is given,
// answered after `delayMs` program milliseconds.
struct MccAnswer {
    std::string command;
    std::string banner;
    double delayMs;
};
struct MccCase {
    const char* name;
    std::vector<MccAnswer> answers;
    bool stored;
    std::vector<std::string> sent;
    std::vector<CCountingUiThread::Wait> waits; // through the UI thread's door, in order
};

TEST_F(AhrsLink, EraseAndStoreMccSucceedsOnlyWithBothBannersInTheirWaits) {
    const MccAnswer erase{"ERASE MCC\r", "++ MCC ERASE ++", 5000};
    const MccAnswer store{"STORE MCC\r", "++ MCC STORE ++", 5000};
    const CCountingUiThread::Wait pause{CAhrsLink::kMccPauseMs, false};
    const CCountingUiThread::Wait ack{CAhrsLink::kMccAckTimeoutMs, true};
    const std::vector all{pause, ack, pause, pause, ack, pause};
    const MccCase cases[] = {
        {"both banners", {erase, store}, true, {"ERASE MCC\r", "STORE MCC\r"}, all},
        {"erase banner lost", {{"ERASE MCC\r", "", 0}}, false, {"ERASE MCC\r"}, {pause, ack}},
        {"store banner lost",
         {erase, {"STORE MCC\r", "", 0}},
         false,
         {"ERASE MCC\r", "STORE MCC\r"},
         all},
        // A banner that arrives during the first pause is too early to count.
        {"early erase banner",
         {{"ERASE MCC\r", "++ MCC ERASE ++", 0}},
         false,
         {"ERASE MCC\r"},
         {pause, ack}},
    };
    ASSERT_TRUE(link->Open(kPort));
    for (const MccCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> sent;
        std::thread unit([&] {
            for (const MccAnswer& a : c.answers) {
                sent.push_back(peer.Receive(a.command.size(), 20000));
                if (sent.back() == a.command && !a.banner.empty()) {
                    std::this_thread::sleep_for(timeBase.ToReal(a.delayMs));
                    peer.Send("\x1b[20;1H" + a.banner + "\x1b");
                }
            }
        });
        ui.TakeWaits();
        EXPECT_EQ(link->EraseAndStoreMcc(), c.stored);
        unit.join();
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(ui.TakeWaits(), c.waits);
        EXPECT_EQ(peer.Receive(), ""); // nothing sent after a failed step
    }
    EXPECT_EQ(link->Port().Parser().AckSetCount(CAhrsLink::kEraseAck), 3u); // early one too
    link->Close();
    EXPECT_FALSE(link->EraseAndStoreMcc()); // a closed port fails without waiting
    EXPECT_EQ(ui.TakeWaits(), std::vector<CCountingUiThread::Wait>{});
}

} // namespace
