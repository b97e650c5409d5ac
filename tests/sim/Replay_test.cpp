// hx410-sim --replay: a capture plays on the simulated port as the unit's output, from
// its first byte for each program that opens the port, and nothing sent is answered.
#include "device/ChildProcess.h"
#include "device/SimPeer.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <termios.h>

namespace fs = std::filesystem;

namespace {

std::string Capture(const std::string& name) {
    return fs::path(HX410_TEST_DATA_DIR) / name;
}

// The capture without its '#' lines.
std::string Body(const std::string& path) {
    const std::string all = ReadText(path);
    std::size_t body = 0;
    while (body < all.size() && all[body] == '#') {
        body = all.find('\n', body) + 1;
    }
    return all.substr(body);
}

// The record lines of hx410-decode's output, without the link's notifications and the
// piece counts of a file decode.
std::vector<std::string> Record(const std::string& output) {
    std::vector<std::string> record;
    for (const std::string& line : Lines(output)) {
        const bool notification = line.ends_with(" link up") || line.ends_with(" link lost");
        if (!notification && !line.starts_with("Chunks=") &&
            !line.starts_with("RecognisedChunks=")) {
            record.push_back(line);
        }
    }
    return record;
}

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

// Through the link of hx410-decode --port, as the wizard would meet it. The decoder's
// three seconds end before the silence after the capture would count as a lost link.
TEST(Replay, ACaptureReplayedOnThePortDecodesLiveToTheRecordOfItsFile) {
    const struct {
        const char* capture;
        double timeScale;
    } cases[] = {{"mcc-store.cap", 1}, {"page-c-live.cap", 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capture);
        CTempDir dir;
        for (const char* name : {"dev", "sys"}) {
            fs::create_directories(dir / name);
        }
        CSimPeer sim(HX410_SIM_PATH, dir / "hx410-install/ports", c.timeScale,
                     {"--replay", Capture(c.capture)});
        ASSERT_TRUE(sim.Ok());
        CChildProcess live(
            {HX410_DECODE_PATH, "--port", std::to_string(sim.ComNumber()), "--seconds", "3"},
            ChildOptions{{"XDG_CONFIG_HOME=" + dir.Path(), "HX410_DEV_ROOT=" + (dir / "dev"),
                          "HX410_SYS_TTY_ROOT=" + (dir / "sys")},
                         true});
        CChildProcess file({HX410_DECODE_PATH, "--comments", Capture(c.capture)});
        ASSERT_EQ(file.Finish(), 0);
        EXPECT_EQ(live.Finish(), 0) << live.Err();
        EXPECT_EQ(Record(live.Out()), Record(file.Out()));
    }
}

// A program that opens and clears the port hears the capture from its first byte, pass
// after pass in a loop, whatever it sends.
TEST(Replay, ALoopRepeatsTheCaptureFromTheOpeningAndAnswersNothing) {
    CTempDir dir;
    const std::string capture = Capture("page-e-sensors.cap");
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 10, {"--replay", capture, "--loop"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Command("heading 90").rfind("error:", 0), 0u);

    const int fd = ::open(sim.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::tcflush(fd, TCIOFLUSH), 0);
    ASSERT_EQ(::write(fd, "PAGE F\r", 7), 7);
    const std::string body = Body(capture);
    EXPECT_EQ(Receive(fd, 2 * body.size()), body + body);
    ::close(fd);
    EXPECT_EQ(sim.Command("quit"), "ok quit");
    EXPECT_EQ(sim.Finish(), 0);
}

// A capture that cannot be played, or a replay asked for wrongly, ends the simulator
// with the reason.
TEST(Replay, BadReplaysEndTheSimulatorWithAReason) {
    CTempDir dir;
    const std::string headerOnly = dir / "header-only.cap";
    std::ofstream(headerOnly) << "# HX410 maintenance port COM1\n# nothing was received\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string reason;
    } cases[] = {{{"--replay", dir / "missing.cap"}, 2, dir / "missing.cap"},
                 {{"--replay", headerOnly}, 2, headerOnly},
                 {{"--replay", dir.Path()}, 2, "directory"},
                 {{"--loop"}, 1, "--replay"},
                 {{"--replay", headerOnly, "--panel"}, 1, "--panel"}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {HX410_SIM_PATH, "--port-dir", dir / "ports"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        CChildProcess sim(args, ChildOptions{{}, true});
        EXPECT_EQ(sim.Finish(), c.status) << c.reason;
        EXPECT_NE(sim.Err().find(c.reason), std::string::npos) << sim.Err();
    }
}
