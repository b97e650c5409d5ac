// The built hx410-sim as another program meets it: its COM link, its screen and its exit.
// Power, unplug and banners over the port are covered by the link tests.
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/TestScreenReader.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <regex>

namespace {

// Reads the port until a screen line starts with `prefix`; that line, or "" after 20 s.
std::string WaitForPrefix(int fd, const std::string& prefix) {
    std::string line;
    ReadPort(fd, [&](const std::string& received) {
        line = FindLine(ScreenLines(received.substr(0, received.rfind('\x1b'))), prefix);
        return !line.empty();
    });
    return line;
}

std::string ReadLink(const std::string& link) {
    std::error_code error;
    return std::filesystem::read_symlink(link, error).string();
}

} // namespace

// The first simulator takes COM1 and answers on its port; a second takes the lowest free
// number, one asking for a number in use is refused, and every exit removes its link.
TEST(SimProcess, LinksPaintsAnswersPagesAndRemovesItsLinkOnEveryExit) {
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 20, {"--warmup", "2"});
    ASSERT_EQ(sim.ComNumber(), 1);
    EXPECT_TRUE(std::regex_match(sim.SlavePath(), std::regex("/dev/pts/[0-9]+")));
    const std::string link = dir / "COM1";
    EXPECT_EQ(ReadLink(link), sim.SlavePath());

    const int port = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(port, 0);
    EXPECT_NE(WaitForPrefix(port, "Mag Avg "), "");
    EXPECT_NE(WaitForPrefix(port, "STAT "), "");
    ::close(port);

    CSimPeer taken(HX410_SIM_PATH, dir.Path(), 20, {"--com", "1"});
    EXPECT_FALSE(taken.Ok());
    EXPECT_EQ(taken.Finish(), 2) << "a COM number in use must not be taken over";
    EXPECT_EQ(ReadLink(link), sim.SlavePath());
    // Without control it outlives its input, as `hx410-sim --no-control &` in a script.
    for (const int signal : {SIGTERM, SIGINT}) {
        CSimPeer second(HX410_SIM_PATH, dir.Path(), 20, {"--no-control"});
        ASSERT_EQ(second.ComNumber(), 2);
        second.CloseInput();
        // The page is changed only after the end of input is there to be seen.
        const int other =
            ::open((dir / "COM2").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(other, 0);
        ASSERT_EQ(::write(other, "PAGE F\r\r\r", 9), 9);
        EXPECT_EQ(WaitForPrefix(other, "Av "), "Av HX410 V1.62");
        ::close(other);
        ::kill(second.Pid(), signal);
        EXPECT_EQ(second.Finish(), 0) << signal;
        EXPECT_TRUE(ReadLink(dir / "COM2").empty()) << signal;
    }
    EXPECT_EQ(sim.Finish(), 0); // end of input
    EXPECT_TRUE(dir.Names().empty());
    EXPECT_EQ(CChildProcess({HX410_SIM_PATH, "--loop"}).Finish(), 1); // a usage error
}
