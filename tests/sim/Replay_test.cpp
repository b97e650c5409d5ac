// hx410-sim --replay: a capture plays on the simulated port as the unit's output, from
// its first byte for each program that opens the port, and nothing sent is answered.
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/CaptureReplay.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>

namespace {

const std::string kCapture = HX410_TEST_DATA_DIR "/page-e-sensors.cap";

// Reads `count` bytes from the port, or what came within 20 real seconds.
std::string Receive(int fd, std::size_t count) {
    std::string received;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (received.size() < count && std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        char chunk[1024];
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, count - received.size()));
        if (n <= 0) {
            break;
        }
        received.append(chunk, static_cast<std::size_t>(n));
    }
    return received;
}

} // namespace

// A program that opens and clears the port hears the capture from its first byte, pass
// after pass in a loop, whatever it sends.
TEST(Replay, ALoopRepeatsTheCaptureFromTheOpeningAndAnswersNothing) {
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 10, {"--replay", kCapture, "--loop"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Command("heading 90").rfind("error:", 0), 0u);

    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::tcflush(fd, TCIOFLUSH), 0);
    ASSERT_EQ(::write(fd, "PAGE F\r", 7), 7);
    std::string body = ReadText(kCapture);
    while (body.starts_with('#')) { // the capture's comment lines are not played
        body.erase(0, body.find('\n') + 1);
    }
    EXPECT_EQ(Receive(fd, 2 * body.size()), body + body);
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
