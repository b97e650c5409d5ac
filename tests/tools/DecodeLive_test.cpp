// hx410-decode on a live port: the port list, the link monitor against the simulated
// unit and against any program writing into a pseudo-terminal, and its exit statuses.
#include "device/PtyPeer.h"
#include "device/SerialPort.h"
#include "device/SimPeer.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class DecodeLive : public ::testing::Test {
protected:
    DecodeLive() {
        for (const std::string& path : {portsDir, devRoot, sysRoot}) {
            fs::create_directories(path);
        }
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
                                "HX410_SYS_TTY_ROOT=" + sysRoot},
                               true,
                               asNobody});
    }
    // The monitor for `seconds` program seconds on a clock `scale` times faster than real
    // time. The tests that need the link up within that time give it seconds of real time.
    std::unique_ptr<CChildProcess> Monitor(int port, const std::string& seconds,
                                           const std::string& scale,
                                           std::vector<std::string> more = {},
                                           bool asNobody = false) {
        std::vector<std::string> args = {"--port", std::to_string(port), "--seconds",
                                         seconds,  "--time-scale",       scale};
        args.insert(args.end(), more.begin(), more.end());
        return Decoder(args, asNobody);
    }

    CTempDir dir;
    std::string configHome = dir.Path();
    std::string portsDir = configHome + "/hx410-install/ports";
    std::string devRoot = dir / "dev";
    std::string sysRoot = dir / "sys";
};

// Ports that can be opened and locked now are listed in ascending order, and a port that
// another program holds is listed as busy rather than left out.
TEST_F(DecodeLive, ListShowsUsableAndBusyPortsAscendingWithTheirDevices) {
    const auto empty = Decoder({"--list"});
    EXPECT_EQ(empty->Finish(), 0) << empty->Err();
    EXPECT_EQ(Lines(empty->Out()), std::vector<std::string>{"no serial port found"});

    CPtyPeer a, b, held, adapter;
    ASSERT_TRUE(a.Ok() && b.Ok() && held.Ok() && adapter.Ok());
    LinkPort(12, a.SlavePath());
    LinkPort(3, b.SlavePath());
    LinkPort(5, held.SlavePath());
    LinkPort(7, configHome + "/nothing");                          // dangling
    fs::create_symlink(adapter.SlavePath(), devRoot + "/ttyUSB1"); // a kernel device: COM34
    CSerialPort holder; // the decoder is the other process
    ASSERT_EQ(holder.OpenDevice(held.SlavePath()), 0);
    CSimPeer sim(HX410_SIM_PATH, portsDir, 20);
    ASSERT_TRUE(sim.Ok());
    std::map<int, std::string> byNumber = {
        {3, "COM3 " + b.SlavePath()},
        {5, "COM5 " + held.SlavePath() + " busy (another program holds it)"},
        {12, "COM12 " + a.SlavePath()},
        {34, "COM34 " + adapter.SlavePath()}};
    byNumber[sim.ComNumber()] = "COM" + std::to_string(sim.ComNumber()) + " " + sim.SlavePath();
    std::vector<std::string> expected;
    for (const auto& [number, line] : byNumber) {
        expected.push_back(line);
    }

    const auto decoder = Decoder({"--list"});
    EXPECT_EQ(decoder->Finish(), 0) << decoder->Err();
    EXPECT_EQ(Lines(decoder->Out()), expected);
}

// Root may open anything, so as root the decoder runs as nobody.
TEST_F(DecodeLive, APortTheUserMayNotOpenIsExplainedInTheListAndOnOpening) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    LinkPort(4, peer.SlavePath());
    ASSERT_EQ(::chmod(peer.SlavePath().c_str(), 0), 0);
    const bool asNobody = ::geteuid() == 0;
    if (asNobody && Decoder({"--version"}, true)->Finish() != 0) {
        GTEST_SKIP() << "user nobody cannot run a program in " << configHome
                     << " (is the temporary directory private?)";
    }
    const auto list = Decoder({"--list"}, asNobody);
    ASSERT_EQ(list->Finish(), 0) << list->Err();
    const auto lines = Lines(list->Out());
    ASSERT_EQ(lines.size(), 2u) << list->Out();
    EXPECT_EQ(lines[0], "no serial port found");
    EXPECT_NE(lines[1].find(peer.SlavePath()), std::string::npos);
    EXPECT_NE(lines[1].find("dialout"), std::string::npos);

    const auto monitor = Monitor(4, "2", "20", {}, asNobody);
    EXPECT_EQ(monitor->Finish(), 3);
    EXPECT_NE(monitor->Err().find("No permission"), std::string::npos) << monitor->Err();
    EXPECT_NE(monitor->Err().find("dialout"), std::string::npos);
}

TEST_F(DecodeLive, MonitorAgainstTheSimulatorReportsUpAndLostAndPrintsTheRecord) {
    CSimPeer sim(HX410_SIM_PATH, portsDir, 5, {"--warmup", "0", "--ahrs-version", "9.9.9"});
    ASSERT_TRUE(sim.Ok());
    const auto decoder = Monitor(sim.ComNumber(), "12", "5", {"--send", "PAGE F"});
    ASSERT_TRUE(decoder->WaitForOutput("link up\n")) << decoder->Err();
    EXPECT_FALSE(sim.Command("power off").empty());
    ASSERT_TRUE(decoder->WaitForOutput("link lost\n")) << decoder->Out();
    EXPECT_EQ(decoder->Finish(), 0) << decoder->Err();

    const auto lines = Lines(decoder->Out());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(\d+\.\d link up)"))) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], std::regex(R"(\d+\.\d link lost)"))) << lines[1];
    // The silence time (5 s after the last data, which came after "link up" was printed),
    // less what a loaded machine may take off it.
    EXPECT_GE(std::stod(lines[1]) - std::stod(lines[0]), 4.0);
    EXPECT_NE(decoder->Out().find("\nAhrsVersion=\n"), std::string::npos); // reset by the loss
}

TEST_F(DecodeLive, MonitorReadsAnyProgramWritingUnitOutputAndSendsItsTexts) {
    CPtyPeer unit;
    ASSERT_TRUE(unit.Ok());
    LinkPort(9, unit.SlavePath());
    const std::string capture = dir / "support.cap";
    const auto decoder =
        Monitor(9, "4", "2", {"--send", "RESET ERRORS", "--send", "PAGE C", "--capture", capture});
    // Like a unit, the far end repaints until it is answered: what it writes before the
    // monitor has opened the port is purged by the open.
    std::string received;
    for (int i = 0; i < 400 && received.size() < 20; ++i) {
        ASSERT_TRUE(unit.Send("\x1b[3;1HPITCH 2.50\x1b[4;1HSn 0815\x1b"));
        received += unit.Receive(20 - received.size(), 25);
    }
    EXPECT_EQ(received, "RESET ERRORS\rPAGE C\r");
    EXPECT_EQ(decoder->Finish(), 0) << decoder->Err();
    EXPECT_NE(decoder->Out().find("\nPitch=2.5\n"), std::string::npos) << decoder->Out();
    EXPECT_NE(decoder->Out().find("\nMagSerialNumber=0815\n"), std::string::npos);

    // The capture replays to the same record.
    const auto replay = Decoder({"--comments", capture});
    EXPECT_EQ(replay->Finish(), 0) << replay->Err();
    EXPECT_NE(replay->Out().find("\nPitch=2.5\n"), std::string::npos) << replay->Out();
    EXPECT_NE(replay->Out().find("\nMagSerialNumber=0815\n"), std::string::npos);
}

// The status says whether the link ever came up or why the port would not open; bad
// arguments are usage errors.
TEST_F(DecodeLive, ExitStatusSaysWhatWentWrong) {
    CPtyPeer quiet;
    ASSERT_TRUE(quiet.Ok());
    LinkPort(20, quiet.SlavePath());
    const auto run = [&](const std::string& line) {
        std::istringstream words(line);
        auto decoder = Decoder({std::istream_iterator<std::string>(words), {}});
        decoder->Finish();
        return decoder;
    };
    const auto never = run("--port 20 --seconds 2 --time-scale 20");
    EXPECT_EQ(never->Finish(), 4);
    EXPECT_EQ(never->Out().find("link up"), std::string::npos);
    EXPECT_NE(never->Out().find("AhrsVersion="), std::string::npos); // the record is printed
    const auto missing = run("--port 21 --seconds 2 --time-scale 20");
    EXPECT_EQ(missing->Finish(), 3);
    EXPECT_NE(missing->Err().find("missing"), std::string::npos) << missing->Err();
    CSerialPort holder;
    ASSERT_EQ(holder.OpenDevice(quiet.SlavePath()), 0);
    const auto busy = run("--port 20 --seconds 2 --time-scale 20");
    EXPECT_EQ(busy->Finish(), 3);
    EXPECT_NE(busy->Err().find("busy"), std::string::npos) << busy->Err();

    for (const char* line :
         {"--port", "--port 0", "--port 256", "--port x", "--list --port 1",
          "--port 1 --seconds -1", "--port 1 --seconds nan", "--port 1 --time-scale 0",
          "--port 1 --bogus", "--list file.cap", "--port 1 --capture /nonexistent/dir/x.cap"}) {
        EXPECT_EQ(run(line)->Finish(), 2) << line;
    }
}

} // namespace
