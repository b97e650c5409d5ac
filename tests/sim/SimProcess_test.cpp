#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/PortTalk.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>

namespace {

std::string ReadLink(const std::string& link) {
    std::error_code error;
    return std::filesystem::read_symlink(link, error).string();
}

} // namespace

// The first simulator takes COM1 and a second the lowest free number; one asking for a
// number in use is refused. Without control a unit outlives its input and answers on its
// port, and every way out removes the link.
TEST(SimProcess, TakesAFreeComNumberAnswersOnItsPortAndRemovesItsLinkOnEveryExit) {
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 20);
    ASSERT_EQ(sim.ComNumber(), 1);
    EXPECT_TRUE(std::regex_match(sim.SlavePath(), std::regex("/dev/pts/[0-9]+")));
    EXPECT_EQ(ReadLink(dir / "COM1"), sim.SlavePath());
    CSimPeer taken(HX410_SIM_PATH, dir.Path(), 20, {"--com", "1"});
    EXPECT_EQ(taken.Finish(), 2) << "a COM number in use must not be taken over";
    EXPECT_EQ(ReadLink(dir / "COM1"), sim.SlavePath());
    for (const int signal : {SIGTERM, SIGINT}) {
        CSimPeer second(HX410_SIM_PATH, dir.Path(), 20, {"--no-control"});
        ASSERT_EQ(second.ComNumber(), 2);
        second.CloseInput();
        const std::string identity = "Av HX410 V1.62";
        const std::string page =
            TalkToPort(dir / "COM2", "PAGE F\r\r\r",
                       [&](const std::string& r) { return r.find(identity) != std::string::npos; });
        EXPECT_NE(page.find(identity), std::string::npos);
        ::kill(second.Pid(), signal);
        EXPECT_EQ(second.Finish(), 0) << signal;
        EXPECT_TRUE(ReadLink(dir / "COM2").empty()) << signal;
    }
    EXPECT_EQ(sim.Finish(), 0); // end of input
    EXPECT_TRUE(dir.Names().empty());
    EXPECT_EQ(CChildProcess({HX410_SIM_PATH, "--loop"}).Finish(), 1); // a usage error
}
