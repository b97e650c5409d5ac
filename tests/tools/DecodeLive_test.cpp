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
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr auto npos = std::string::npos;

class DecodeLive : public ::testing::Test {
protected:
    DecodeLive() {
        fs::create_directories(portsDir);
        fs::create_directories(devRoot);
        for (const std::string& path : {configHome, configHome + "/hx410-install", portsDir}) {
            ::chmod(path.c_str(), 0755); // readable by the unprivileged runs below
        }
    }
    void LinkPort(int number, const std::string& device) {
        fs::create_symlink(device, portsDir + "/COM" + std::to_string(number));
    }
    // hx410-decode with this test's ports and device directories only. As root it can be
    // run as nobody, from a copy that nobody can reach wherever the build lies.
    std::unique_ptr<CChildProcess> Decoder(std::vector<std::string> args, bool asNobody = false) {
        std::string program = HX410_DECODE_PATH;
        if (asNobody) {
            program = configHome + "/hx410-decode";
            fs::copy_file(HX410_DECODE_PATH, program, fs::copy_options::skip_existing);
            fs::permissions(program, fs::perms(0755));
        }
        args.insert(args.begin(), program);
        return std::make_unique<CChildProcess>(
            args, ChildOptions{{"XDG_CONFIG_HOME=" + configHome, "HX410_DEV_ROOT=" + devRoot,
                                "HX410_SYS_TTY_ROOT=" + (dir / "sys")},
                               true,
                               asNobody});
    }
    // hx410-decode with the words of `line`, run to its end.
    std::unique_ptr<CChildProcess> Run(const std::string& line, bool asNobody = false) {
        std::istringstream words(line);
        auto decoder = Decoder({std::istream_iterator<std::string>(words), {}}, asNobody);
        decoder->Finish();
        return decoder;
    }

    CTempDir dir;
    std::string configHome = dir.Path();
    std::string portsDir = configHome + "/hx410-install/ports";
    std::string devRoot = dir / "dev";
};

// The monitor sends its texts once the link is up, reports the link lost after the unit's
// silence, prints the record and keeps a capture that replays to the record the unit sent.
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
    const auto lines = Lines(decoder->Out());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+\.\d link up)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d+\.\d link lost)"))) << lines[1];
    // The silence time (after the last data, which came after "link up" was printed), less
    // what a loaded machine may take off it.
    EXPECT_GE(std::stod(lines[1]) - std::stod(lines[0]), 4.0);
    EXPECT_NE(decoder->Out().find("\nPitch=0\n"), npos) << "reset by the loss";
    EXPECT_NE(decoder->Out().find("\nMagSerialNumber=0815\n"), npos) << "kept over the loss";

    const auto replay = Run("--comments " + capture);
    EXPECT_EQ(replay->Finish(), 0) << replay->Err();
    EXPECT_NE(replay->Out().find("\nPitch=2.5\n"), npos) << replay->Out();
    EXPECT_NE(replay->Out().find("\nMagSerialNumber=0815\n"), npos);
}

// The list shows the ports that open now in ascending order and names a held one as busy;
// the monitor's status says whether the link ever came up or why the port would not open.
TEST_F(DecodeLive, ListAndExitStatusSayWhatIsThereAndWhatWentWrong) {
    EXPECT_EQ(Run("--list")->Out(), "no serial port found\n");
    CPtyPeer quiet, held;
    ASSERT_TRUE(quiet.Ok() && held.Ok());
    LinkPort(20, quiet.SlavePath());
    LinkPort(5, held.SlavePath());
    LinkPort(7, configHome + "/nothing");                        // dangling
    fs::create_symlink(quiet.SlavePath(), devRoot + "/ttyUSB1"); // a kernel device: COM34
    CSerialPort holder;                                          // the decoder is the other process
    ASSERT_EQ(holder.OpenDevice(held.SlavePath()), 0);
    const auto list = Run("--list");
    EXPECT_EQ(list->Finish(), 0) << list->Err();
    EXPECT_EQ(
        Lines(list->Out()),
        (std::vector<std::string>{"COM5 " + held.SlavePath() + " busy (another program holds it)",
                                  "COM20 " + quiet.SlavePath(), "COM34 " + quiet.SlavePath()}));

    const auto never = Run("--port 20 --seconds 2 --time-scale 20");
    EXPECT_EQ(never->Finish(), 4);
    EXPECT_EQ(never->Out().find("link up"), npos);
    EXPECT_NE(never->Out().find("AhrsVersion="), npos); // the record is printed
    const auto missing = Run("--port 21 --seconds 2 --time-scale 20");
    EXPECT_EQ(missing->Finish(), 3);
    EXPECT_NE(missing->Err().find("missing"), npos) << missing->Err();
    const auto busy = Run("--port 5 --seconds 2 --time-scale 20");
    EXPECT_EQ(busy->Finish(), 3);
    EXPECT_NE(busy->Err().find("busy"), npos) << busy->Err();
    for (const char* line :
         {"--port", "--port 0", "--port 256", "--port x", "--list --port 1",
          "--port 1 --seconds -1", "--port 1 --seconds nan", "--port 1 --time-scale 0",
          "--port 1 --bogus", "--list file.cap", "--port 1 --capture /nonexistent/dir/x.cap"}) {
        EXPECT_EQ(Run(line)->Finish(), 2) << line;
    }
}

// Root may open anything, so as root the decoder runs as nobody.
TEST_F(DecodeLive, APortTheUserMayNotOpenIsExplainedInTheListAndOnOpening) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    LinkPort(4, peer.SlavePath());
    ASSERT_EQ(::chmod(peer.SlavePath().c_str(), 0), 0);
    const bool asNobody = ::geteuid() == 0;
    if (asNobody && Run("--version", true)->Finish() != 0) {
        GTEST_SKIP() << "user nobody cannot run a program in " << configHome
                     << " (is the temporary directory private?)";
    }
    const auto lines = Lines(Run("--list", asNobody)->Out());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "no serial port found");
    EXPECT_NE(lines[1].find(peer.SlavePath()), npos);
    EXPECT_NE(lines[1].find("dialout"), npos);
    const auto monitor = Run("--port 4 --seconds 2 --time-scale 20", asNobody);
    EXPECT_EQ(monitor->Finish(), 3);
    EXPECT_NE(monitor->Err().find("No permission"), npos) << monitor->Err();
    EXPECT_NE(monitor->Err().find("dialout"), npos);
}

} // namespace
