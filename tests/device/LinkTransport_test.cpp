// The link over an in-memory transport, every silence and pause on the test's time base.
#include "device/LinkFixture.h"
#include "device/MemoryTransport.h"

#include <cerrno>
#include <cmath>
#include <string_view>
#include <thread>

namespace {

using namespace std::string_view_literals;

constexpr int kPort = 7;

class LinkTransport : public CLinkFixture {
protected:
    // Five times real speed: half the silence time is still 500 ms of real time, which a
    // loaded machine does not lose by accident.
    LinkTransport() : CLinkFixture(5.0) {
        transport = UseTransport(std::make_unique<CMemoryTransport>(timeBase));
        LinkPort(kPort, "/dev/hx410-memory");
        portPath = (std::filesystem::path(places.portsDir) / "COM7").string();
    }
    void OpenAndBringUp() {
        ASSERT_TRUE(link->Open(kPort));
        transport->Deliver("\x1bMNT 9\x1b");
        ASSERT_TRUE(WaitForNotes(1));
    }
    void ResubscribeFreshPage() {
        page = std::make_unique<CRecordingPage>(ui, *link);
        link->Subscribe(page.get(), kMessage);
    }

    CMemoryTransport* transport = nullptr;
    std::string portPath;
};

TEST_F(LinkTransport, TheLinkComesUpOnARecognisedLineAndIsLostOnceAfterTheSilence) {
    EXPECT_FALSE(link->Open(kPort + 1)); // no such port: the transport is not asked
    EXPECT_EQ(link->LastOpenError(), ENOENT);
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_EQ(transport->Opened(), (std::vector{portPath}));

    transport->Deliver("\x1bnothing known here\x1b+3.5\x1b");
    ui.RunFor(1000);
    EXPECT_EQ(page->Count(), 0u);

    // A NUL ends the text of its read: the pitch after it is never parsed.
    transport->Deliver("\x1bMNT 9\x1b\0\x1bPITCH 5.00\x1b"sv);
    ASSERT_TRUE(WaitForNotes(1));
    transport->Deliver("\x1b[2;1HROLL -1.25\x1b"); // more data while alive: no notification
    EXPECT_EQ(link->State().GetMountPosition(), 9);
    EXPECT_EQ(link->State().GetRoll(), -1.25);
    EXPECT_EQ(link->State().GetPitch(), 0.0);
    ui.RunFor(CAhrsPort::kSilenceMs / 2); // not lost inside the silence time
    EXPECT_EQ(page->Count(), 1u);

    ui.RunFor(CAhrsPort::kSilenceMs);
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost}));
    EXPECT_EQ(link->State().GetMountPosition(), 0); // the record was reset
    ui.RunFor(3 * CAhrsPort::kSilenceMs);           // lost once only
    EXPECT_EQ(page->Count(), 2u);

    transport->Deliver("\x1bMNT 10\x1b"); // and it comes back
    ASSERT_TRUE(WaitForNotes(3));
    EXPECT_TRUE(link->IsLinkAlive());
}

TEST_F(LinkTransport, SuspendedParsingKeepsTheLinkAliveAndTheRecordUnchanged) {
    link->SetParsingSuspended(true);
    ASSERT_TRUE(link->Open(kPort));
    for (int second = 0; second < 8; ++second) { // past the silence time
        transport->Deliver("\x1bPITCH 7.00\x1bgarbage\x1b");
        ui.RunFor(1000);
    }
    // Any read counts while suspended, so the link came up and never went down.
    EXPECT_TRUE(link->IsLinkAlive());
    EXPECT_EQ(page->Received(), std::vector{kUp});
    EXPECT_EQ(link->State().GetPitch(), 0.0);

    link->SetParsingSuspended(false);
    transport->Deliver("\x1bPITCH 7.00\x1b");
    EXPECT_EQ(link->State().GetPitch(), 7.0);
}

TEST_F(LinkTransport, OpeningAgainForgetsTheOldLinkSoTheNewOneComesUpWithItsOwnNotification) {
    LinkPort(kPort + 1, "/dev/hx410-other");
    OpenAndBringUp();
    EXPECT_FALSE(link->Open(kPort + 2)); // nothing there
    EXPECT_FALSE(link->IsLinkAlive());
    EXPECT_FALSE(link->IsPortOpen());

    ASSERT_TRUE(link->Open(kPort + 1));
    transport->Deliver("\x1bPITCH 2.00\x1b");
    ASSERT_TRUE(WaitForNotes(2));
    ASSERT_TRUE(link->Open(kPort)); // an open, live port replaced by another
    EXPECT_FALSE(link->IsLinkAlive());
    transport->Deliver("\x1bPITCH 3.00\x1b");
    ASSERT_TRUE(WaitForNotes(3));
    EXPECT_EQ(page->Received(), (std::vector{kUp, kUp, kUp}));
    EXPECT_EQ(transport->Opened().back(), portPath);
}

TEST_F(LinkTransport, AFailedReadReopensThePortOnceAfterThePause) {
    struct Case {
        const char* name;
        bool refuseReopen;
        bool openAfter;
        std::vector<CRecordingPage::Note> notes;
    } const cases[] = {
        {"adapter replugged", false, true, {kUp}},
        {"adapter gone", true, false, {kUp, kLost}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenAndBringUp();
        const unsigned reopens = link->Port().ReopenCount();
        if (c.refuseReopen) {
            transport->Refuse(portPath);
        }
        const double before = timeBase.NowMs();
        transport->Fail(EIO);
        EXPECT_GE(timeBase.NowMs() - before, CAhrsPort::kReopenPauseMs);
        EXPECT_EQ(link->Port().ReopenCount(), reopens + 1);
        EXPECT_EQ(link->IsPortOpen(), c.openAfter);
        for (int round = 0; round < 3; ++round) { // the unit goes on talking
            transport->Deliver("\x1bMNT 9\x1b");
            ui.RunFor(CAhrsPort::kSilenceMs / 2);
        }
        EXPECT_EQ(page->Received(), c.notes);
        EXPECT_EQ(link->Port().ReopenCount(), reopens + 1); // one attempt only
        EXPECT_TRUE(link->Close());
        ResubscribeFreshPage();
    }
}

// The reader fails on a thread of its own, as a serial port's listener does, and the port is
// closed while the reader pauses before its reopen: the pause ends at once and nothing is
// reopened.
TEST_F(LinkTransport, ClosingDuringThePauseAfterAFailureEndsItWithoutAReopen) {
    OpenAndBringUp();
    transport->HoldPausesUntilClose();
    std::thread reader([this] { transport->Fail(EIO); });
    ASSERT_TRUE(RunUntil([&] { return transport->Pauses() == 1; }));
    EXPECT_TRUE(link->Close());
    reader.join();
    EXPECT_EQ(link->Port().ReopenCount(), 0u);
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_EQ(transport->Opened().size(), 1u);
}

TEST_F(LinkTransport, EachCommandWritesItsExactBytesAndNonsenseOrAClosedPortNothing) {
    struct Case {
        std::function<bool(CAhrsLink&)> command;
        std::string bytes; // empty: refused
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
        {[](CAhrsLink& l) { return l.SendMcc(4, 1.0); }, ""},
        {[](CAhrsLink& l) { return l.SendMcc(-1, 1.0); }, ""},
        {[](CAhrsLink& l) { return l.SendMcc(0, std::nan("")); }, ""},
        {[](CAhrsLink& l) { return l.SendLatitude(INFINITY); }, ""},
        {[](CAhrsLink& l) { return l.SendMagvar(-INFINITY); }, ""},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(3, 1); }, ""},
        {[](CAhrsLink& l) { return l.SelectOutputPage('\r'); }, ""},
        {[](CAhrsLink& l) { return l.ToggleArincOutput(); }, ""}, // unknown after a reset
    };
    EXPECT_FALSE(link->ResetImu());
    ASSERT_TRUE(link->Open(kPort));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(c.command(*link), !c.bytes.empty());
        EXPECT_EQ(transport->TakeWritten(), c.bytes);
    }
    // ARINC output flips a known state and clears the counters.
    for (const auto& [output, bytes] : {std::pair{0.0, "ARINC 1.0\r"},
                                        {0.49, "ARINC 1.0\r"},
                                        {0.5, "ARINC 0.0\r"},
                                        {-1.0, ""},
                                        {1.5, ""},
                                        {std::nan(""), ""}}) {
        SCOPED_TRACE(output);
        link->State().SetArincOutput(output);
        link->State().SetStatusWord(0xCF);
        EXPECT_EQ(link->ToggleArincOutput(), *bytes != '\0');
        EXPECT_EQ(transport->TakeWritten(), bytes);
        if (*bytes != '\0') {
            EXPECT_EQ(link->State().GetStatusCount(), 0u);
            EXPECT_EQ(link->State().GetArincCount(), 0u);
        }
    }
    // Page C is selected only when status lines outrun heading lines by more than two.
    CAhrsState& state = link->State();
    state.ClearCounters();
    state.SetStatusWord(0xCF);
    state.SetStatusWord(0xCF);
    link->CheckOutputPage(); // 2 - 0: nothing
    EXPECT_EQ(transport->TakeWritten(), "");
    state.SetStatusWord(0xCF);
    link->CheckOutputPage(); // 3 - 0 > 2
    EXPECT_EQ(transport->TakeWritten(), "PAGE C\r\r\r");
    EXPECT_EQ(state.GetStatusCount(), 0u);
    for (int i = 0; i < 3; ++i) {
        state.AddAvgHeadingSample(12); // more headings than status lines: negative
    }
    link->CheckOutputPage();
    EXPECT_EQ(transport->TakeWritten(), "");
    ASSERT_TRUE(link->Close());
    EXPECT_FALSE(link->ResetImu());
    EXPECT_EQ(transport->TakeWritten(), "");
}

// A page destroyed while subscribed leaves the list; one that outlives the link too.
// Pairs are notified in order, and Unsubscribe removes every equal pair.
TEST_F(LinkTransport, SubscriptionsKeepTheirOrderAndLeaveNoDanglingTarget) {
    struct Counter : IMessageTarget {
        void PostMessage(int) override { ++count; }
        int count = 0;
    };
    auto gone = std::make_unique<Counter>();
    link->Subscribe(gone.get(), 2024);
    gone.reset();
    CRecordingPage second(ui, *link);
    for (int message : {2025, 2025, 7}) {
        link->Subscribe(&second, message);
    }
    link->Subscribe(nullptr, 1);
    link->NotifySubscribers(); // would post to freed memory
    link->Unsubscribe(&second, 2025);
    link->NotifySubscribers();
    ui.RunPending();
    EXPECT_EQ(page->Count(), 2u);
    std::vector<int> messages;
    for (const auto& note : second.Received()) {
        messages.push_back(note.message);
    }
    EXPECT_EQ(messages, (std::vector{2025, 2025, 7, 7}));

    Counter outliving;
    link->Subscribe(&outliving, 2024);
    link->NotifySubscribers();
    EXPECT_EQ(outliving.count, 1);
    ui.RunPending();
    page.reset();
    link.reset(); // `outliving` is destroyed after the link's list
}

// Subscriptions change on the UI thread while the reader brings the link up.
TEST_F(LinkTransport, SubscribingWhileTheReaderNotifiesIsSafe) {
    ASSERT_TRUE(link->Open(kPort));
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int i = 0; i < 200 && !done.load(); ++i) {
            transport->Deliver("\x1bMNT 1\x1b");
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
    reader.join();
    link->Close();
    ui.RunPending();
    EXPECT_GE(extra.Count(), 200u); // plus the link-up, if it came while subscribed
    EXPECT_LE(extra.Count(), 201u);
}

} // namespace
