// The built hx410-sim as other programs meet it: its COM link, its port and its exit.
#include "device/SerialPort.h"
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/CaptureReplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <set>
#include <thread>

namespace {

// Opens the port at `path` as the wizard does and writes `send`; then what the port gives
// until `wanted` has come, or 20 real seconds have passed.
std::string TalkToPort(const std::string& path, const std::string& send,
                       const std::string& wanted) {
    CSerialPort port;
    std::string received;
    bool open = port.OpenDevice(path, false) == 0 && port.Write(send) == 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (open && received.find(wanted) == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
        char chunk[2048];
        std::size_t got = 0;
        open = port.Read(chunk, sizeof chunk, &got) == 0;
        received.append(chunk, got);
        std::this_thread::sleep_for(std::chrono::milliseconds(got == 0 ? 10 : 0));
    }
    return received;
}

} // namespace

// The first simulator takes COM1 and a second the lowest free number; one asking for a
// number in use is refused. Without control a unit outlives its input and answers on its
// port, and every way out removes the link.
TEST(SimProcess, TakesAFreeComNumberAnswersOnItsPortAndRemovesItsLinkOnEveryExit) {
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 20);
    ASSERT_EQ(sim.ComNumber(), 1);
    EXPECT_EQ(std::filesystem::read_symlink(dir / "COM1"), sim.SlavePath());
    CSimPeer taken(HX410_SIM_PATH, dir.Path(), 20, {"--com", "1"});
    EXPECT_EQ(taken.Finish(), 2) << "a COM number in use must not be taken over";
    EXPECT_EQ(std::filesystem::read_symlink(dir / "COM1"), sim.SlavePath());
    for (const int signal : {SIGTERM, SIGINT}) {
        CSimPeer second(HX410_SIM_PATH, dir.Path(), 20, {"--no-control"});
        ASSERT_EQ(second.ComNumber(), 2);
        second.CloseInput();
        const std::string page = TalkToPort(dir / "COM2", "PAGE F\r\r\r", "Av HX410 V1.62");
        EXPECT_NE(page.find("Av HX410 V1.62"), std::string::npos);
        ::kill(second.Pid(), signal);
        EXPECT_EQ(second.Finish(), 0) << signal;
        EXPECT_EQ(dir.Names(), std::set<std::string>{"COM1"}) << signal;
    }
    EXPECT_EQ(sim.Finish(), 0); // end of input
    EXPECT_TRUE(dir.Names().empty());
    EXPECT_EQ(CChildProcess({HX410_SIM_PATH, "--loop"}).Finish(), 1); // a usage error
}

// With --replay each program that opens the port hears the capture from its first byte,
// pass after pass with --loop, and nothing it sends is answered.
TEST(SimProcess, AReplayLoopRepeatsTheCaptureFromTheOpeningAndAnswersNothing) {
    const std::string capture = HX410_TEST_DATA_DIR "/page-e-sensors.cap";
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 10, {"--replay", capture, "--loop"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Command("heading 90").rfind("error:", 0), 0u);
    std::string body = ReadText(capture);
    while (body.starts_with('#')) { // the capture's comment lines are not played
        body.erase(0, body.find('\n') + 1);
    }
    EXPECT_TRUE(TalkToPort(sim.SlavePath(), "PAGE F\r", body + body).starts_with(body + body));

    const std::string headerOnly = dir / "header-only.cap";
    WriteText(headerOnly, "# HX410 maintenance port COM1\n");
    for (const std::string& path : {dir / "missing.cap", headerOnly}) {
        EXPECT_NE(CCaptureReplay().Load(path).find(path), std::string::npos) << path;
    }
}
