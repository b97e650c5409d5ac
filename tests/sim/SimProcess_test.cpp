// The built hx410-sim as another program meets it: its COM link, its screen and its exit.
// Power, unplug and banners over the port are covered by the link tests.
#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/TestScreenReader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <poll.h>
#include <regex>

namespace {

// Reads the port until a screen line starts with `prefix`; that line, or "" after 20 s.
std::string WaitForPrefix(int fd, const std::string& prefix) {
    std::string pending;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        char chunk[2048];
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            return "";
        }
        pending.append(chunk, static_cast<std::size_t>(n));
        const auto lastEsc = pending.rfind('\x1b');
        const std::string line = FindLine(ScreenLines(pending.substr(0, lastEsc)), prefix);
        if (!line.empty()) {
            return line;
        }
        pending.erase(0, lastEsc == std::string::npos ? 0 : lastEsc);
    }
    return "";
}

std::string ReadLink(const std::string& link) {
    std::error_code error;
    return std::filesystem::read_symlink(link, error).string();
}

} // namespace

TEST(SimProcess, LinksPaintsAnswersPagesAndRemovesTheLinkOnQuit) {
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
    const struct {
        const char* command;
        const char* prefix;
        const char* line;
    } exchanges[] = {{"PAGE F\r\r\r", "Av ", "Av HX410 V1.62"},
                     {"PAGE E\r\r\r", "Lat ", "Lat 45.00"},
                     {"MAGVAR 7.25\r", "Magvar ", "Magvar 7.25"}};
    for (const auto& e : exchanges) {
        ASSERT_EQ(::write(port, e.command, std::strlen(e.command)),
                  static_cast<ssize_t>(std::strlen(e.command)));
        EXPECT_EQ(WaitForPrefix(port, e.prefix), e.line);
    }
    ::close(port);

    EXPECT_EQ(sim.Command("quit"), "ok quit");
    EXPECT_EQ(sim.Finish(), 0);
    EXPECT_TRUE(ReadLink(link).empty());
}

TEST(SimProcess, TakesTheLowestFreeNumberAndRemovesItsLinkOnEveryExit) {
    CTempDir dir;
    CSimPeer a(HX410_SIM_PATH, dir.Path(), 20);
    ASSERT_EQ(a.ComNumber(), 1);
    CSimPeer b(HX410_SIM_PATH, dir.Path(), 20);
    ASSERT_EQ(b.ComNumber(), 2);
    CSimPeer c(HX410_SIM_PATH, dir.Path(), 20, {"--com", "1"});
    EXPECT_FALSE(c.Ok());
    EXPECT_EQ(c.Finish(), 2) << "a COM number in use must not be taken over";
    EXPECT_EQ(ReadLink(dir / "COM1"), a.SlavePath());

    EXPECT_EQ(a.Finish(), 0); // end of input
    ::kill(b.Pid(), SIGTERM);
    EXPECT_EQ(b.Finish(), 0);
    EXPECT_TRUE(dir.Names().empty());
}

TEST(SimProcess, WithoutControlItOutlivesItsInputAndEndsCleanlyOnASignal) {
    for (const int signal : {SIGTERM, SIGINT}) {
        CTempDir dir;
        CSimPeer sim(HX410_SIM_PATH, dir.Path(), 20, {"--no-control"});
        ASSERT_TRUE(sim.Ok());
        sim.CloseInput(); // as `hx410-sim --no-control &` in a script
        // The page is changed only after the end of input is there to be seen.
        const int port = ::open((dir / "COM1").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(port, 0);
        ASSERT_EQ(::write(port, "PAGE F\r\r\r", 9), 9);
        EXPECT_EQ(WaitForPrefix(port, "Av "), "Av HX410 V1.62");
        ::close(port);
        ::kill(sim.Pid(), signal);
        EXPECT_EQ(sim.Finish(), 0) << signal;
        EXPECT_TRUE(dir.Names().empty()) << signal;
    }
}
