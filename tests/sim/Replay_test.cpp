// hx410-sim --replay: a capture plays on the simulated port as the unit's output, from
// its first byte for each program that opens the port, and nothing sent is answered.
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/CaptureReplay.h"
#include "sim/TestScreenReader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>

// A program that opens and clears the port hears the capture from its first byte, pass
// after pass in a loop, whatever it sends.
TEST(Replay, ALoopRepeatsTheCaptureFromTheOpeningAndAnswersNothing) {
    const std::string capture = HX410_TEST_DATA_DIR "/page-e-sensors.cap";
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 10, {"--replay", capture, "--loop"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Command("heading 90").rfind("error:", 0), 0u);

    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::tcflush(fd, TCIOFLUSH), 0);
    ASSERT_EQ(::write(fd, "PAGE F\r", 7), 7);
    std::string body = ReadText(capture);
    while (body.starts_with('#')) { // the capture's comment lines are not played
        body.erase(0, body.find('\n') + 1);
    }
    const std::string played = ReadPort(
        fd, [&](const std::string& received) { return received.size() >= 2 * body.size(); });
    EXPECT_EQ(played.substr(0, 2 * body.size()), body + body);
    ::close(fd);
    EXPECT_EQ(sim.Command("quit"), "ok quit");
    EXPECT_EQ(sim.Finish(), 0);
}

// A capture that cannot be played is refused with the reason.
TEST(Replay, ACaptureWithoutPortBytesIsRefusedWithTheReason) {
    CTempDir dir;
    const std::string headerOnly = dir / "header-only.cap";
    WriteText(headerOnly, "# HX410 maintenance port COM1\n# nothing was received\n");
    for (const auto& [path, reason] : {std::pair{dir / "missing.cap", dir / "missing.cap"},
                                       {headerOnly, headerOnly},
                                       {dir.Path(), std::string("directory")}}) {
        CCaptureReplay replay;
        EXPECT_NE(replay.Load(path).find(reason), std::string::npos) << path;
    }
}
