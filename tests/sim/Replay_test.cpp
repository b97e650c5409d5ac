#include "device/SimPeer.h"
#include "records/TempDir.h"
#include "sim/CaptureReplay.h"
#include "sim/PortTalk.h"

#include <gtest/gtest.h>

// hx410-sim --replay: each program that opens the port hears the capture from its first
// byte, pass after pass with --loop, and nothing it sends is answered.
TEST(Replay, ALoopRepeatsTheCaptureFromTheOpeningAndAnswersNothing) {
    const std::string capture = HX410_TEST_DATA_DIR "/page-e-sensors.cap";
    CTempDir dir;
    CSimPeer sim(HX410_SIM_PATH, dir.Path(), 10, {"--replay", capture, "--loop"});
    ASSERT_TRUE(sim.Ok());
    EXPECT_EQ(sim.Command("heading 90").rfind("error:", 0), 0u);
    std::string body = ReadText(capture);
    while (body.starts_with('#')) { // the capture's comment lines are not played
        body.erase(0, body.find('\n') + 1);
    }
    const std::string played = TalkToPort(sim.SlavePath(), "PAGE F\r", [&](const std::string& r) {
        return r.size() >= 2 * body.size();
    });
    EXPECT_EQ(played.substr(0, 2 * body.size()), body + body);
    EXPECT_EQ(sim.Command("quit"), "ok quit");
    EXPECT_EQ(sim.Finish(), 0);
}

TEST(Replay, ACaptureWithoutPortBytesIsRefusedWithTheReason) {
    CTempDir dir;
    const std::string headerOnly = dir / "header-only.cap";
    WriteText(headerOnly, "# HX410 maintenance port COM1\n");
    for (const std::string& path : {dir / "missing.cap", headerOnly}) {
        EXPECT_NE(CCaptureReplay().Load(path).find(path), std::string::npos) << path;
    }
}
