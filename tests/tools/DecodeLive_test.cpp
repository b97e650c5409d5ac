// hx410-decode on live pseudo-terminals: the port list, the link monitor and its exit statuses.
#include "device/ChildProcess.h"
#include "device/PtyPeer.h"
#include "device/SerialPort.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr auto npos = std::string::npos;

class DecodeLive : public ::testing::Test {
protected:
    DecodeLive() { fs::create_directories(portsDir); }
    void LinkPort(int number, const std::string& device) {
        fs::create_symlink(device, portsDir + "/COM" + std::to_string(number));
    }
    // hx410-decode with `args`, seeing this test's ports and devices only.
    std::unique_ptr<CChildProcess> Decoder(std::vector<std::string> args) {
        args.insert(args.begin(), HX410_DECODE_PATH);
        return std::make_unique<CChildProcess>(
            args, ChildOptions{{"XDG_CONFIG_HOME=" + dir.Path(), "HX410_DEV_ROOT=" + (dir / "dev"),
                                "HX410_SYS_TTY_ROOT=" + (dir / "sys")},
                               true});
    }
    // hx410-decode with the words of `line`: its exit status and output once it has ended.
    std::tuple<int, std::string, std::string> Run(const std::string& line) {
        std::istringstream words(line);
        const auto decoder = Decoder({std::istream_iterator<std::string>(words), {}});
        const int status = decoder->Finish();
        return {status, decoder->Out(), decoder->Err()};
    }

    CTempDir dir;
    std::string portsDir = dir / "hx410-install/ports";
};

// The monitor sends its texts once the link is up, reports the link lost after the unit's
// silence, prints the record and keeps a capture that replays to what the unit sent.
TEST_F(DecodeLive, MonitorReportsTheLinkSendsItsTextsAndKeepsACaptureThatReplays) {
    CPtyPeer unit;
    ASSERT_TRUE(unit.Ok());
    LinkPort(9, unit.SlavePath());
    const std::string capture = dir / "support.cap";
    // At five times real speed the 5000 ms silence is a second of real time, which neither
    // process loses by accident on a loaded machine.
    const auto decoder = Decoder({"--port", "9", "--seconds", "20", "--time-scale", "5", "--send",
                                  "RESET ERRORS", "--send", "PAGE C", "--capture", capture});
    // Like a unit, the far end repaints until it is answered: what it writes before the
    // monitor has opened the port is purged by the open.
    std::string received;
    for (int i = 0; i < 400 && received.size() < 20; ++i) {
        ASSERT_TRUE(unit.Send("\x1b[3;1HPITCH 2.50\x1b[4;1HSn 0815\x1b"));
        received += unit.Receive(20 - received.size(), 25);
    }
    EXPECT_EQ(received, "RESET ERRORS\rPAGE C\r");
    ASSERT_TRUE(decoder->WaitForOutput("link lost\n")) << decoder->Out();
    EXPECT_EQ(decoder->Finish(), 0) << decoder->Err();
    EXPECT_TRUE(
        std::regex_search(decoder->Out(), std::regex(R"(^\d+\.\d link up\n\d+\.\d link lost\n)")))
        << decoder->Out();
    EXPECT_NE(decoder->Out().find("\nMagSerialNumber=0815\n"), npos);
    const auto [status, replay, err] = Run("--comments " + capture);
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(replay.find("\nPitch=2.5\n"), npos) << replay;
}

// The list names a held port as busy; the monitor's status says whether the link ever came
// up or why the port would not open.
TEST_F(DecodeLive, ListAndExitStatusSayWhatIsThereAndWhatWentWrong) {
    EXPECT_EQ(std::get<1>(Run("--list")), "no serial port found\n");
    CPtyPeer quiet, held;
    ASSERT_TRUE(quiet.Ok() && held.Ok());
    LinkPort(20, quiet.SlavePath());
    LinkPort(5, held.SlavePath());
    CSerialPort holder; // the decoder is the other process
    ASSERT_EQ(holder.OpenDevice(held.SlavePath()), 0);
    EXPECT_EQ(Run("--list"),
              std::tuple(0,
                         "COM5 " + held.SlavePath() + " busy (another program holds it)\nCOM20 " +
                             quiet.SlavePath() + "\n",
                         ""));
    const auto [never, record, neverErr] = Run("--port 20 --seconds 2 --time-scale 20");
    EXPECT_EQ(never, 4);
    EXPECT_EQ(record.find("link up"), npos);
    EXPECT_NE(record.find("AhrsVersion="), npos); // the record is printed
    for (const auto& [line, reason] : {std::pair{"--port 21", "missing"}, {"--port 5", "busy"}}) {
        const auto [status, out, err] = Run(line + std::string(" --seconds 2 --time-scale 20"));
        EXPECT_EQ(status, 3) << line;
        EXPECT_NE(err.find(reason), npos) << err;
    }
    for (const char* line : {"--port", "--port 0", "--port 256", "--list --port 1",
                             "--port 1 --seconds nan", "--port 1 --time-scale 0",
                             "--port 1 --bogus", "--port 1 --capture /nonexistent/dir/x.cap"}) {
        EXPECT_EQ(std::get<0>(Run(line)), 2) << line;
    }
}

} // namespace
