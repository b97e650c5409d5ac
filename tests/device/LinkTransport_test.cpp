// The link over an in-memory transport: no device, no second process, and every
// silence and pause on the test's time base.

#include "device/LinkFixture.h"
#include "device/MemoryTransport.h"

#include <cerrno>
#include <string_view>
#include <thread>

namespace {

using namespace std::string_view_literals;

constexpr int kPort = 7;

class LinkTransport : public CLinkFixture {
protected:
    LinkTransport() {
        transport = UseTransport(std::make_unique<CMemoryTransport>(timeBase));
        LinkPort(kPort, "/dev/hx410-memory");
        portPath = (std::filesystem::path(places.portsDir) / "COM7").string();
    }

    CMemoryTransport* transport = nullptr;
    std::string portPath;
};

TEST_F(LinkTransport, TheLinkComesUpOnARecognisedLineAndIsLostOnceAfterTheSilence) {
    EXPECT_FALSE(link->Open(kPort + 1)); // no such port: the transport is not asked
    EXPECT_EQ(link->LastOpenError(), ENOENT);
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_EQ(transport->Opened(), (std::vector{portPath}));

    transport->Deliver("\x1bnothing known here\x1b");
    ui.RunFor(1000);
    EXPECT_EQ(page->Count(), 0u);

    // A NUL ends the text of its read: the pitch after it is never parsed.
    transport->Deliver("\x1bMNT 9\x1b\0\x1bPITCH 5.00\x1b"sv);
    ASSERT_TRUE(WaitForNotes(1));
    EXPECT_EQ(link->State().GetMountPosition(), 9);
    EXPECT_EQ(link->State().GetPitch(), 0.0);

    ui.RunFor(CAhrsPort::kSilenceMs + 1000);
    EXPECT_EQ(page->Received(), (std::vector{kUp, kLost}));
    EXPECT_EQ(link->State().GetMountPosition(), 0); // the record was reset
    ui.RunFor(3 * CAhrsPort::kSilenceMs);           // lost once only
    EXPECT_EQ(page->Count(), 2u);

    transport->Deliver("\x1bMNT 10\x1b"); // and it comes back
    ASSERT_TRUE(WaitForNotes(3));
    EXPECT_TRUE(link->IsLinkAlive());
}

TEST_F(LinkTransport, TheGroupsThatReadsStoredAreTakenOnce) {
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_TRUE(link->TakeChangedGroups().Empty());
    transport->Deliver("\x1bMNT 9\x1bPITCH x\x1b");
    transport->Deliver("\x1bSTAT 00CF\x1b");
    EXPECT_EQ(link->TakeChangedGroups(), CRecordGroups::kMount | CRecordGroups::kStatus);
    EXPECT_TRUE(link->TakeChangedGroups().Empty());

    // While parsing is suspended nothing is stored, so no group changes.
    link->SetParsingSuspended(true);
    transport->Deliver("\x1bPITCH 1\x1b");
    EXPECT_TRUE(link->TakeChangedGroups().Empty());
    link->SetParsingSuspended(false);
    transport->Deliver("\x1bPITCH 1\x1b");
    EXPECT_EQ(link->TakeChangedGroups(), CRecordGroups(CRecordGroups::kAttitude));
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
        ASSERT_TRUE(link->Open(kPort));
        transport->Deliver("\x1bMNT 9\x1b");
        ASSERT_TRUE(WaitForNotes(1));
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
        page = std::make_unique<CRecordingPage>(ui, *link);
        link->Subscribe(page.get(), kMessage);
    }
}

// The reader fails on a thread of its own, as a serial port's listener does, and the port is
// closed while the reader pauses before its reopen: the pause ends at once and nothing is
// reopened.
TEST_F(LinkTransport, ClosingDuringThePauseAfterAFailureEndsItWithoutAReopen) {
    ASSERT_TRUE(link->Open(kPort));
    transport->Deliver("\x1bMNT 9\x1b");
    ASSERT_TRUE(WaitForNotes(1));
    transport->HoldPausesUntilClose();
    std::thread reader([this] { transport->Fail(EIO); });
    ASSERT_TRUE(RunUntil([&] { return transport->Pauses() == 1; }));
    EXPECT_TRUE(link->Close());
    reader.join();
    EXPECT_EQ(link->Port().ReopenCount(), 0u);
    EXPECT_FALSE(link->IsPortOpen());
    EXPECT_EQ(transport->Opened().size(), 1u);
}

TEST_F(LinkTransport, CommandsGoThroughTheTransportAndFailOnAClosedPort) {
    EXPECT_FALSE(link->ResetImu());
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_TRUE(link->SelectOutputPage('E'));
    EXPECT_TRUE(link->ResetErrors());
    EXPECT_EQ(transport->TakeWritten(), "PAGE E\r\r\rRESET ERRORS\r");
    ASSERT_TRUE(link->Close());
    EXPECT_FALSE(link->ResetImu());
    EXPECT_EQ(transport->TakeWritten(), "");
}

} // namespace
