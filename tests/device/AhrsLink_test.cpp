#include "device/LinkFixture.h"
#include "device/PtyPeer.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <thread>

namespace {

constexpr int kPort = 5;
const CRecordingPage::Note kUp{CLinkFixture::kMessage, true};
const CRecordingPage::Note kLost{CLinkFixture::kMessage, false};

class AhrsLink : public CLinkFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(peer.Ok());
        LinkPort(kPort, peer.SlavePath());
    }
    void OpenAndBringUp() {
        ASSERT_TRUE(link->Open(kPort));
        ASSERT_TRUE(peer.Send("\x1b[1;1HPITCH 2.50\x1b[2;1HMNT 9\x1b"));
        ASSERT_TRUE(WaitForNotes(1));
    }
    // Expects exactly `expected` at the far end, and nothing after it.
    void ExpectSent(const std::string& expected) {
        EXPECT_EQ(peer.Receive(expected.size(), 5000), expected);
        EXPECT_EQ(peer.Drain(20), "");
    }

    CPtyPeer peer;
};

TEST_F(AhrsLink, FirstRecognisedLineBringsTheLinkUpWithOneNotification) {
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_TRUE(link->IsPortOpen());
    EXPECT_EQ(link->PortName(), "COM5");
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
    EXPECT_TRUE(link->IsLinkAlive());
    EXPECT_EQ(page->Received(), std::vector{kUp});
    EXPECT_EQ(link->State().GetPitch(), 2.5);
    EXPECT_EQ(link->State().GetRoll(), -1.25);
}

TEST_F(AhrsLink, SilenceLosesTheLinkOnceAndResetsTheRecordThenDataBringsItBack) {
    OpenAndBringUp();
    EXPECT_EQ(link->State().GetMountPosition(), 9);
    ASSERT_TRUE(WaitForNotes(2, 5000 + 3000));
    ui.RunFor(12000); // a long silence is still one loss
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost}));
    EXPECT_FALSE(link->IsLinkAlive());
    EXPECT_TRUE(link->IsPortOpen());
    EXPECT_EQ(link->State().GetPitch(), 0.0);
    EXPECT_EQ(link->State().GetMountPosition(), 0);
    EXPECT_EQ(link->State().GetArincOutput(), -1.0);

    ASSERT_TRUE(peer.Send("\x1bMNT 10\x1b"));
    ASSERT_TRUE(WaitForNotes(3));
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost, kUp}));
    EXPECT_EQ(link->State().GetMountPosition(), 10);
}

TEST_F(AhrsLink, NoLossIsDeclaredBeforeTheSilenceTime) {
    OpenAndBringUp();
    ui.RunFor(2500); // well inside the silence time, whatever the scheduling
    EXPECT_TRUE(link->IsLinkAlive());
    EXPECT_EQ(page->Count(), 1u);
}

TEST_F(AhrsLink, SuspendedParsingKeepsTheLinkAliveAndTheRecordUnchanged) {
    link->SetParsingSuspended(true);
    ASSERT_TRUE(link->Open(kPort));
    for (int second = 0; second < 8; ++second) {
        ASSERT_TRUE(peer.Send("\x1bPITCH 7.00\x1b" + std::string("garbage\x1b")));
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

TEST_F(AhrsLink, TextAfterANulInTheSameReadIsNotParsed) {
    ASSERT_TRUE(link->Open(kPort));
    ASSERT_TRUE(peer.Send(std::string("\x1bPITCH 1.50\x1b\0\x1bROLL 2.00\x1b", 27)));
    ASSERT_TRUE(WaitForNotes(1));
    ui.RunFor(500);
    EXPECT_EQ(link->State().GetPitch(), 1.5);
    EXPECT_EQ(link->State().GetRoll(), 0.0);
}

TEST_F(AhrsLink, HangUpClosesPausesAndReopensTheSamePortOnce) {
    OpenAndBringUp();
    CPtyPeer replugged; // the adapter comes back under another device node
    ASSERT_TRUE(replugged.Ok());
    LinkPort(kPort, replugged.SlavePath());
    peer.Hangup();
    ASSERT_TRUE(RunUntil([&] { return link->Port().ReopenCount() == 1 && link->Port().IsOpen(); }));
    ASSERT_TRUE(replugged.Send("\x1bROLL 4.00\x1b"));
    EXPECT_TRUE(RunUntil([&] { return link->State().GetRoll() == 4.0; }));
    EXPECT_EQ(link->Port().ReopenCount(), 1u);
    EXPECT_TRUE(link->IsLinkAlive());
    EXPECT_EQ(page->Received(), std::vector{kUp}); // data came back within the silence time
    EXPECT_TRUE(link->ResetErrors());
    EXPECT_EQ(replugged.Receive(13, 5000), "RESET ERRORS\r");
}

TEST_F(AhrsLink, FailedReopenLeavesThePortClosedAndTheSilenceTimerReportsTheLoss) {
    OpenAndBringUp();
    peer.Hangup(); // the COM link now dangles: the reopen fails
    ASSERT_TRUE(WaitForNotes(2));
    ui.RunFor(3000);
    EXPECT_EQ(link->Port().ReopenCount(), 1u); // no second attempt
    EXPECT_FALSE(link->Port().IsOpen());
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost}));
    EXPECT_FALSE(link->ResetImu()); // commands on a closed port fail
}

TEST_F(AhrsLink, EachCommandWritesItsExactBytes) {
    ASSERT_TRUE(link->Open(kPort));
    struct Case {
        std::function<bool(CAhrsLink&)> command;
        std::string bytes;
    } const cases[] = {
        {[](CAhrsLink& l) { return l.SendMcc(2, -0.5); }, "MCC E -0.50\r"},
        {[](CAhrsLink& l) { return l.SendMcc(1, 3); }, "MCC S 3.00\r"},
        {[](CAhrsLink& l) { return l.SendMcc(0, 12.5); }, "MCC N 12.50\r"},
        {[](CAhrsLink& l) { return l.SendMcc(3, -0.004); }, "MCC W -0.00\r"},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(2, -12); }, "MFC Z -12\r"},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(0, -32768); }, "MFC X -32768\r"},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(1, 250); }, "MFC Y 250\r"},
        {[](CAhrsLink& l) { return l.SendMount(9); }, "MOUNT 9.0\r"},
        {[](CAhrsLink& l) { return l.SelectOutputPage('E'); }, "PAGE E\r\r\r"},
        {[](CAhrsLink& l) { return l.SendLatitude(45.5); }, "LAT 45.50\r"},
        {[](CAhrsLink& l) { return l.SendLatitude(-33.867); }, "LAT -33.87\r"},
        {[](CAhrsLink& l) { return l.SendMagvar(-3); }, "MAGVAR -3.00\r"},
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
    EXPECT_FALSE(link->SendMagFieldCorrection(-1, 1));
    EXPECT_FALSE(link->SelectOutputPage('\r'));
    EXPECT_FALSE(link->ToggleArincOutput()); // -1 after a reset: neither on nor off
    EXPECT_EQ(peer.Drain(50), "");
}

TEST_F(AhrsLink, NumbersAreWrittenWithAPointWhateverTheLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr &&
        std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr) {
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_TRUE(link->SendLatitude(45.5));
    std::setlocale(LC_NUMERIC, saved.c_str());
    ExpectSent("LAT 45.50\r");
}

TEST_F(AhrsLink, ToggleArincOutputFlipsAKnownStateAndClearsTheCounters) {
    ASSERT_TRUE(link->Open(kPort));
    struct Case {
        double output;
        const char* bytes;
    } const cases[] = {
        {0.0, "ARINC 1.0\r"}, {0.49, "ARINC 1.0\r"}, {0.5, "ARINC 0.0\r"}, {1.0, "ARINC 0.0\r"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        link->State().SetArincOutput(c.output);
        link->State().SetStatusWord(0xCF);
        EXPECT_TRUE(link->ToggleArincOutput());
        ExpectSent(c.bytes);
        EXPECT_EQ(link->State().GetStatusCount(), 0u);
        EXPECT_EQ(link->State().GetArincCount(), 0u);
    }
    for (double outOfRange : {-1.0, 1.5, std::nan("")}) {
        link->State().SetArincOutput(outOfRange);
        EXPECT_FALSE(link->ToggleArincOutput());
    }
    EXPECT_EQ(peer.Drain(50), "");
}

TEST_F(AhrsLink, CheckOutputPageSelectsPageCOnlyWhenStatusLinesOutrunHeadingLines) {
    ASSERT_TRUE(link->Open(kPort));
    CAhrsState& state = link->State();
    state.SetStatusWord(0xCF);
    state.SetStatusWord(0xCF);
    link->CheckOutputPage(); // 2 - 0: nothing
    EXPECT_EQ(peer.Drain(50), "");
    EXPECT_EQ(state.GetStatusCount(), 2u);

    state.SetStatusWord(0xCF);
    link->CheckOutputPage(); // 3 - 0 > 2
    ExpectSent("PAGE C\r\r\r");
    EXPECT_EQ(state.GetStatusCount(), 0u);

    for (int i = 0; i < 4; ++i) {
        state.SetStatusWord(0xCF);
    }
    state.AddAvgHeadingSample(10);
    state.AddAvgHeadingSample(11);
    link->CheckOutputPage(); // 4 - 2: nothing
    state.ClearCounters();
    for (int i = 0; i < 3; ++i) {
        state.AddAvgHeadingSample(12); // more headings than status lines: negative
    }
    link->CheckOutputPage();
    EXPECT_EQ(peer.Drain(50), "");
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
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_EQ(link->ListComPorts(), std::vector<int>{kPort});
}

TEST_F(AhrsLink, RepeatedOpensStillNotifyOncePerEvent) {
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(link->Open(kPort));
        ASSERT_TRUE(link->Close());
    }
    ASSERT_TRUE(link->Open(kPort));
    ASSERT_TRUE(link->Open(kPort)); // opening an open port reopens it
    ASSERT_TRUE(peer.Send("\x1bMNT 8\x1b"));
    ASSERT_TRUE(WaitForNotes(1));
    ui.RunFor(1000);
    EXPECT_EQ(page->Received(), std::vector{kUp});
}

TEST_F(AhrsLink, SubscribersAreNotifiedInOrderAndUnsubscribeRemovesEveryEqualPair) {
    CRecordingPage second(ui, *link);
    link->Subscribe(&second, 2025);
    link->Subscribe(&second, 2025);
    link->Subscribe(&second, 7);
    link->Subscribe(nullptr, 1);
    link->NotifySubscribers();
    ui.RunPending();
    EXPECT_EQ(page->Count(), 1u);
    ASSERT_EQ(second.Count(), 3u);
    EXPECT_EQ(second.Received()[0].message, 2025);
    EXPECT_EQ(second.Received()[2].message, 7);

    link->Unsubscribe(&second, 2025);
    link->NotifySubscribers();
    ui.RunPending();
    EXPECT_EQ(second.Count(), 4u);
    EXPECT_EQ(second.Received()[3].message, 7);
    link->Unsubscribe(&second, 7);
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

class AhrsLinkMcc : public AhrsLink {
protected:
    // The unit's side of the MCC store: reads each command and answers with its banner
    // after `delayMs` program milliseconds, unless told to stay silent.
    struct Answer {
        std::string command;
        std::string banner; // empty: no answer
        double delayMs;
    };
    void Serve(std::vector<Answer> answers) {
        unit = std::thread([this, answers] {
            for (const Answer& a : answers) {
                const std::string got = peer.Receive(a.command.size(), 20000);
                far.push_back(got);
                if (got != a.command || a.banner.empty()) {
                    continue;
                }
                std::this_thread::sleep_for(timeBase.ToReal(a.delayMs));
                peer.Send("\x1b[20;1H" + a.banner + "\x1b");
            }
        });
    }
    void TearDown() override {
        if (unit.joinable()) {
            unit.join();
        }
    }
    std::thread unit;
    std::vector<std::string> far;
};

TEST_F(AhrsLinkMcc, EraseAndStoreSucceedWhenBothBannersComeInTheirWaits) {
    ASSERT_TRUE(link->Open(kPort));
    Serve({{"ERASE MCC\r", "++ MCC ERASE ++", 5000}, {"STORE MCC\r", "++ MCC STORE ++", 5000}});
    EXPECT_TRUE(link->EraseAndStoreMcc());
    unit.join();
    EXPECT_EQ(far, (std::vector<std::string>{"ERASE MCC\r", "STORE MCC\r"}));
}

TEST_F(AhrsLinkMcc, EraseTimesOutWhenItsBannerIsLostAndStoreIsNeverSent) {
    ASSERT_TRUE(link->Open(kPort));
    Serve({{"ERASE MCC\r", "", 0}});
    const double start = timeBase.NowMs();
    EXPECT_FALSE(link->EraseAndStoreMcc());
    EXPECT_GE(timeBase.NowMs() - start, 12000 - 1); // pause, then the whole wait
    unit.join();
    EXPECT_EQ(peer.Drain(50), "");
}

TEST_F(AhrsLinkMcc, StoreTimesOutWhenItsBannerIsLost) {
    ASSERT_TRUE(link->Open(kPort));
    Serve({{"ERASE MCC\r", "++ MCC ERASE ++", 5000}, {"STORE MCC\r", "", 0}});
    EXPECT_FALSE(link->EraseAndStoreMcc());
    unit.join();
    EXPECT_EQ(far, (std::vector<std::string>{"ERASE MCC\r", "STORE MCC\r"}));
}

TEST_F(AhrsLinkMcc, AnEraseBannerDuringTheFirstPauseDoesNotCount) {
    ASSERT_TRUE(link->Open(kPort));
    Serve({{"ERASE MCC\r", "++ MCC ERASE ++", 0}});
    EXPECT_FALSE(link->EraseAndStoreMcc());
    unit.join();
    EXPECT_EQ(link->Port().Parser().AckSetCount(CAhrsLink::kEraseAck), 1u); // it did arrive
    EXPECT_EQ(peer.Drain(50), "");
}

TEST_F(AhrsLinkMcc, OnAClosedPortTheSequenceFailsWithoutWaiting) {
    const double start = timeBase.NowMs();
    EXPECT_FALSE(link->EraseAndStoreMcc());
    EXPECT_LT(timeBase.NowMs() - start, 2000);
}

} // namespace
