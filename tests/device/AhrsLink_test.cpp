#include "device/AhrsLink.h"
#include "device/PlainUiThread.h"
#include "device/SimPeer.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <thread>

namespace {

// A transport without a device: the test plays the unit and the reader thread.
class CMemoryTransport : public ITransport {
public:
    explicit CMemoryTransport(CTimeBase timeBase) : timeBase(timeBase) {}

    int Open(const std::string& devicePath, ITransportReceiver& newReceiver) override {
        std::lock_guard lock(mutex);
        receiver = &newReceiver;
        return OpenLocked(devicePath, true);
    }
    int Close() override {
        {
            std::lock_guard lock(mutex);
            open = false;
            receiver = nullptr;
        }
        closed.notify_all();
        return 0;
    }
    int Write(std::string_view bytes) override {
        std::lock_guard lock(mutex);
        written.append(open ? bytes : "");
        return open ? 0 : EBADF;
    }
    bool IsOpen() const override {
        std::lock_guard lock(mutex);
        return open;
    }
    int Probe(const std::string&) const override { return 0; }
    // Close ends the pause at once; while `holdPauses` only Close ends it.
    bool PauseReader(double programMs) override {
        std::unique_lock lock(mutex);
        ++pauses;
        const auto closing = [this] { return receiver == nullptr; };
        if (holdPauses) {
            closed.wait(lock, closing);
            return false;
        }
        return !timeBase.WaitFor(closed, lock, programMs, closing);
    }
    void HoldReads(double programMs) override { timeBase.Sleep(programMs); }
    int Reopen(const std::string& devicePath) override {
        std::lock_guard lock(mutex);
        return OpenLocked(devicePath, !adapterGone);
    }

    // The unit's side: bytes for the receiver, or a hang-up that closes the device.
    void Deliver(std::string_view bytes) {
        if (ITransportReceiver* target = Receiver(false)) {
            target->OnReceived(bytes);
        }
    }
    void Fail(int error) {
        if (ITransportReceiver* target = Receiver(true)) {
            target->OnFailed(error);
        }
    }
    std::string TakeWritten() {
        std::lock_guard lock(mutex);
        return std::exchange(written, {});
    }
    std::vector<std::string> Opened() {
        std::lock_guard lock(mutex);
        return opened;
    }

    std::atomic<int> pauses{0};
    std::atomic<bool> holdPauses{false};
    std::atomic<bool> adapterGone{false}; // reopening fails

private:
    ITransportReceiver* Receiver(bool closing) {
        std::lock_guard lock(mutex);
        ITransportReceiver* target = open ? receiver : nullptr;
        open = open && !closing;
        return target;
    }
    int OpenLocked(const std::string& devicePath, bool there) {
        opened.push_back(devicePath);
        open = there && !devicePath.empty();
        return open ? 0 : ENOENT;
    }

    CTimeBase timeBase;
    mutable std::mutex mutex;
    std::condition_variable closed;
    bool open = false;
    ITransportReceiver* receiver = nullptr;
    std::vector<std::string> opened;
    std::string written;
};

// Asks the link whether it is alive when a notification arrives, as the wizard's pages do.
class CRecordingPage : public IMessageTarget {
public:
    struct Note {
        int message;
        bool alive;
        bool operator==(const Note&) const = default;
    };
    CRecordingPage(CPlainUiThread& ui, CAhrsLink& link) : ui(ui), link(link) {}
    void PostMessage(int message) override {
        ui.Post([this, message] { received.push_back({message, link.IsLinkAlive()}); });
    }
    std::vector<Note> received; // UI thread only

private:
    CPlainUiThread& ui;
    CAhrsLink& link;
};

constexpr int kMessage = 2024;
constexpr CRecordingPage::Note kUp{kMessage, true};
constexpr CRecordingPage::Note kLost{kMessage, false};

class LinkTest : public ::testing::Test {
protected:
    explicit LinkTest(double scale) : timeBase(scale), ui(timeBase) {}
    void MakeLink(std::unique_ptr<ITransport> transport = nullptr) {
        link = std::make_unique<CAhrsLink>(ui, timeBase, places, std::move(transport));
        page = std::make_unique<CRecordingPage>(ui, *link);
        link->Subscribe(page.get(), kMessage);
    }
    // Within a minute of program time, more than any wait of the link.
    bool RunUntil(const std::function<bool()>& done) { return ui.RunUntil(done, 60000); }
    bool WaitForNotes(std::size_t count) {
        return RunUntil([&] { return page->received.size() >= count; });
    }

    CTimeBase timeBase;
    CPlainUiThread ui;
    CTempDir dir;
    ComPortPlaces places{dir / "ports", dir / "dev", dir / "sys"};
    std::unique_ptr<CAhrsLink> link;
    std::unique_ptr<CRecordingPage> page;
};

constexpr int kPort = 7;

// Five times real speed: half the silence time is still 500 real milliseconds.
class MemoryLink : public LinkTest {
protected:
    MemoryLink() : LinkTest(5.0) {
        std::filesystem::create_directories(places.portsDir);
        auto owned = std::make_unique<CMemoryTransport>(timeBase);
        transport = owned.get();
        MakeLink(std::move(owned));
        std::filesystem::create_symlink("/dev/hx410-memory", portPath);
    }
    void OpenAndBringUp() {
        ASSERT_TRUE(link->Open(kPort));
        transport->Deliver("\x1bMNT 9\x1b");
        ASSERT_TRUE(WaitForNotes(page->received.size() + 1));
    }

    CMemoryTransport* transport = nullptr;
    std::string portPath = places.portsDir + "/COM" + std::to_string(kPort);
};

TEST_F(MemoryLink, ComesUpOnARecognisedLineAndIsLostOnceAfterTheSilenceWithTheRecordReset) {
    EXPECT_FALSE(link->Open(kPort + 1)); // no such port: the transport is not asked
    EXPECT_EQ(link->LastOpenError(), ENOENT);
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_EQ(transport->Opened(), (std::vector{portPath}));
    transport->Deliver("\x1bnothing known here\x1b+3.5\x1b");
    ui.RunFor(1000);
    EXPECT_TRUE(page->received.empty());

    transport->Deliver("\x1bMNT 9\x1b");
    ASSERT_TRUE(WaitForNotes(1));
    transport->Deliver("\x1b[2;1HROLL -1.25\x1b"); // more data while alive: no notification
    ui.RunFor(CAhrsPort::kSilenceMs / 2);          // not lost inside the silence time
    EXPECT_EQ(page->received, std::vector{kUp});
    ui.RunFor(CAhrsPort::kSilenceMs);
    EXPECT_EQ(page->received, (std::vector{kUp, kLost}));
    EXPECT_EQ(link->State().GetMountPosition(), 0);
    ui.RunFor(3 * CAhrsPort::kSilenceMs); // lost once only
    EXPECT_EQ(page->received.size(), 2u);

    transport->Deliver("\x1bMNT 10\x1b"); // and it comes back
    ASSERT_TRUE(WaitForNotes(3));
    // Opening again forgets the old link, so the new one comes up with its own notification.
    ASSERT_TRUE(link->Open(kPort));
    EXPECT_FALSE(link->IsLinkAlive());
    transport->Deliver("\x1bPITCH 3.00\x1b");
    ASSERT_TRUE(WaitForNotes(4));
    EXPECT_FALSE(link->Open(kPort + 2)); // nothing there: the old port is closed
    EXPECT_FALSE(link->IsPortOpen());
    ui.RunFor(2 * CAhrsPort::kSilenceMs); // and a closed port's silence is no loss
    EXPECT_EQ(page->received.size(), 4u);
}

TEST_F(MemoryLink, SuspendedParsingKeepsTheLinkAliveAndTheRecordUnchanged) {
    link->SetParsingSuspended(true);
    ASSERT_TRUE(link->Open(kPort));
    for (int second = 0; second < 8; ++second) { // past the silence time; any read counts
        transport->Deliver("\x1bPITCH 7.00\x1bgarbage\x1b");
        ui.RunFor(1000);
    }
    EXPECT_EQ(page->received, std::vector{kUp});
    EXPECT_EQ(link->State().GetPitch(), 0.0);
    link->SetParsingSuspended(false);
    transport->Deliver("\x1bPITCH 7.00\x1b");
    EXPECT_EQ(link->State().GetPitch(), 7.0);
}

TEST_F(MemoryLink, AFailedReadReopensThePortOnceAfterThePause) {
    for (const bool adapterGone : {false, true}) {
        SCOPED_TRACE(adapterGone ? "adapter gone" : "adapter replugged");
        OpenAndBringUp();
        const unsigned reopens = link->Port().ReopenCount();
        if (adapterGone) {
            transport->adapterGone = true;
        }
        const double before = timeBase.NowMs();
        transport->Fail(EIO);
        EXPECT_GE(timeBase.NowMs() - before, CAhrsPort::kReopenPauseMs);
        EXPECT_EQ(link->IsPortOpen(), !adapterGone);
        for (int round = 0; round < 3; ++round) { // the unit goes on talking
            transport->Deliver("\x1bMNT 9\x1b");
            ui.RunFor(CAhrsPort::kSilenceMs / 2);
        }
        EXPECT_EQ(page->received.back(), adapterGone ? kLost : kUp);
        EXPECT_EQ(link->Port().ReopenCount(), reopens + 1); // one attempt only
        EXPECT_TRUE(link->Close());
    }
    EXPECT_EQ(page->received, (std::vector{kUp, kUp, kLost}));
}

// A close during the reader's pause before its reopen ends the pause at once.
TEST_F(MemoryLink, ClosingDuringThePauseAfterAFailureEndsItWithoutAReopen) {
    OpenAndBringUp();
    transport->holdPauses = true;
    std::thread reader([this] { transport->Fail(EIO); });
    ASSERT_TRUE(RunUntil([&] { return transport->pauses == 1; }));
    EXPECT_TRUE(link->Close());
    reader.join();
    EXPECT_EQ(link->Port().ReopenCount(), 0u);
}

TEST_F(MemoryLink, EachCommandWritesItsExactBytesAndNonsenseOrAClosedPortNothing) {
    const struct {
        std::function<bool(CAhrsLink&)> command;
        std::string bytes; // empty: refused
    } cases[] = {
        {[](CAhrsLink& l) { return l.SendMcc(2, -0.5); }, "MCC E -0.50\r"},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(0, -32768); }, "MFC X -32768\r"},
        {[](CAhrsLink& l) { return l.SendMount(9); }, "MOUNT 9.0\r"},
        {[](CAhrsLink& l) { return l.SelectOutputPage('E'); }, "PAGE E\r\r\r"},
        {[](CAhrsLink& l) { return l.SendLatitude(-33.867); }, "LAT -33.87\r"},
        {[](CAhrsLink& l) { return l.ResetImu(); }, "RESET IMU\r"},
        {[](CAhrsLink& l) { return l.ResetMagPower(); }, "RESET MAG POWER\r"},
        {[](CAhrsLink& l) { return l.SetA429Speed(true); }, "A429 H\r"},
        {[](CAhrsLink& l) { return l.SendMcc(4, 1.0); }, ""},
        {[](CAhrsLink& l) { return l.SendMcc(0, std::nan("")); }, ""},
        {[](CAhrsLink& l) { return l.SendMagFieldCorrection(3, 1); }, ""},
        {[](CAhrsLink& l) { return l.SelectOutputPage('\r'); }, ""},
    };
    EXPECT_FALSE(link->ResetImu());
    ASSERT_TRUE(link->Open(kPort));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(c.command(*link), !c.bytes.empty());
        EXPECT_EQ(transport->TakeWritten(), c.bytes);
    }
    // ARINC output flips a known state and clears the counters.
    CAhrsState& state = link->State();
    for (const auto& [output, bytes] :
         {std::pair{0.49, "ARINC 1.0\r"}, {0.5, "ARINC 0.0\r"}, {-1.0, ""}, {std::nan(""), ""}}) {
        SCOPED_TRACE(output);
        state.ClearCounters();
        state.SetArincOutput(output);
        state.SetStatusWord(0xCF);
        EXPECT_EQ(link->ToggleArincOutput(), *bytes != '\0');
        EXPECT_EQ(transport->TakeWritten(), bytes);
        EXPECT_EQ(state.GetStatusCount(), *bytes != '\0' ? 0u : 1u);
    }
    // Page C is selected only when status lines outrun heading lines by more than two.
    state.ClearCounters();
    for (const char* expected : {"", "", "PAGE C\r\r\r", ""}) {
        state.SetStatusWord(0xCF);
        link->CheckOutputPage();
        EXPECT_EQ(transport->TakeWritten(), expected);
    }
    for (int i = 0; i < 3; ++i) {
        state.AddAvgHeadingSample(12); // more headings than status lines: negative
    }
    link->CheckOutputPage();
    EXPECT_EQ(transport->TakeWritten(), "");
    ASSERT_TRUE(link->Close());
    EXPECT_FALSE(link->ResetImu());
    EXPECT_EQ(transport->TakeWritten(), "");
}

// Pages destroyed before or after the link leave no dangling target; order is kept.
TEST_F(MemoryLink, SubscriptionsKeepTheirOrderAndLeaveNoDanglingTarget) {
    auto gone = std::make_unique<CRecordingPage>(ui, *link);
    link->Subscribe(gone.get(), 1);
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
    EXPECT_EQ(second.received, (std::vector<CRecordingPage::Note>{
                                   {2025, false}, {2025, false}, {7, false}, {7, false}}));

    page.reset();
    link.reset(); // `second` is destroyed after the link's list
}

// Subscribing and unsubscribing while the reader's thread brings the link up leaves the
// list whole (run under TSan).
TEST_F(MemoryLink, SubscribingWhileTheReaderNotifiesIsSafe) {
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
    EXPECT_GE(extra.received.size(), 200u); // plus the link-up, if it came while subscribed
    EXPECT_LE(extra.received.size(), 201u);
}

class SimLink : public LinkTest {
protected:
    SimLink() : LinkTest(5.0) { MakeLink(); }
    void TearDown() override { link.reset(); }

    CSimPeer sim{HX410_SIM_PATH, places.portsDir, timeBase.Scale(), {"--warmup", "0"}};
};

TEST_F(SimLink, UnplugClosesAndReopensThePortOnceAndDataFlowsAgain) {
    ASSERT_TRUE(sim.Ok());
    ASSERT_TRUE(link->Open(static_cast<std::uint8_t>(sim.ComNumber())));
    ASSERT_TRUE(WaitForNotes(1));
    EXPECT_FALSE(sim.Command("unplug").empty());
    ASSERT_TRUE(RunUntil([&] { return link->Port().ReopenCount() == 1 && link->IsPortOpen(); }));
    ASSERT_TRUE(link->SelectOutputPage('C')); // commands reach the new port
    EXPECT_FALSE(sim.Command("pitch 4.5").empty());
    EXPECT_TRUE(RunUntil([&] { return std::fabs(link->State().GetPitch() - 4.5) < 0.3; }));
    EXPECT_EQ(link->Port().ReopenCount(), 1u);
    EXPECT_EQ(page->received, std::vector{kUp}); // back within the silence time
    ui.RunPending();
    page.reset();
    link.reset(); // nothing of the destroyed link may run while the unit goes on talking
    ui.RunFor(2 * CAhrsPort::kSilenceMs);
    EXPECT_EQ(ui.RunPending(), 0u);
}

} // namespace
