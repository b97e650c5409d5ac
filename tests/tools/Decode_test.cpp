// hx410-decode on captures and on live pseudo-terminals.
#include "device/ChildProcess.h"
#include "device/PtyPeer.h"
#include "device/SerialPort.h"
#include "records/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;
constexpr auto npos = std::string::npos;

// hx410-decode seeing only the ports and devices of the test's own directory.
class Decode : public ::testing::Test {
protected:
    struct Result {
        int status;
        std::string out, err;
    };

    Decode() { fs::create_directories(portsDir); }
    std::unique_ptr<CChildProcess> Decoder(std::vector<std::string> args) {
        args.insert(args.begin(), HX410_DECODE_PATH);
        return std::make_unique<CChildProcess>(
            args, ChildOptions{{"XDG_CONFIG_HOME=" + dir.Path(), "HX410_DEV_ROOT=" + (dir / "dev"),
                                "HX410_SYS_TTY_ROOT=" + (dir / "sys")},
                               true});
    }
    // Run to its end, given `input` on its standard input.
    Result Run(std::vector<std::string> args, const std::string& input = {}) {
        const auto decoder = Decoder(std::move(args));
        decoder->Send(input);
        const int status = decoder->Finish();
        return {status, decoder->Out(), decoder->Err()};
    }
    void LinkPort(int number, const std::string& device) {
        fs::create_symlink(device, portsDir + "/COM" + std::to_string(number));
    }

    CTempDir dir;
    std::string portsDir = dir / "hx410-install/ports";
};

// Every capture decodes to its expected record, read in pieces of the port's read size.
TEST_F(Decode, CapturesMatchTheirExpectedDecode) {
    int captures = 0;
    for (const auto& entry : fs::directory_iterator(HX410_TEST_DATA_DIR)) {
        const fs::path capture = entry.path();
        if (capture.extension() != ".cap") {
            continue;
        }
        SCOPED_TRACE(capture.filename().string());
        ++captures;
        std::string body = ReadText(capture);
        while (body.starts_with('#')) {
            body.erase(0, body.find('\n') + 1);
        }
        const auto expected = Lines(ReadText(fs::path(capture).replace_extension(".chk")));
        ASSERT_GE(expected.size(), 2U) << "run scripts/regen-checks";
        EXPECT_EQ(expected.end()[-2], "Chunks=" + std::to_string((body.size() + 1022) / 1023));
        const Result run = Run({"--comments", capture});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(Lines(run.out), expected);
    }
    EXPECT_GE(captures, 4);
}

// The monitor sends its texts once the link is up, reports the link lost after the unit's
// silence, prints the record and keeps a capture that replays, also from standard input,
// to what the unit sent.
TEST_F(Decode, TheMonitorReportsTheLinkSendsItsTextsAndKeepsACaptureThatReplays) {
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
    const std::regex notifications(R"(^\d+\.\d link up\n\d+\.\d link lost\n)");
    EXPECT_TRUE(std::regex_search(decoder->Out(), notifications)) << decoder->Out();
    EXPECT_NE(decoder->Out().find("\nMagSerialNumber=0815\n"), npos);
    const Result replay = Run({"--comments", capture});
    EXPECT_NE(replay.out.find("\nPitch=2.5\n"), npos) << replay.err;
    EXPECT_EQ(Run({"--comments", "-"}, ReadText(capture)).out, replay.out);
}

// An empty list says so; the status says whether the link ever came up, why the port or
// the file would not open, or that the arguments were wrong.
TEST_F(Decode, ListAndExitStatusSayWhatIsThereAndWhatWentWrong) {
    EXPECT_EQ(Run({"--list"}).out, "no serial port found\n");
    CPtyPeer quiet, held;
    ASSERT_TRUE(quiet.Ok() && held.Ok());
    LinkPort(20, quiet.SlavePath());
    LinkPort(5, held.SlavePath());
    CSerialPort holder; // the decoder is the other process
    ASSERT_EQ(holder.OpenDevice(held.SlavePath()), 0);
    const Result never = Run({"--port", "20", "--seconds", "2", "--time-scale", "20"});
    EXPECT_EQ(never.status, 4);
    EXPECT_EQ(never.out.find("link up"), npos);
    EXPECT_NE(never.out.find("AhrsVersion="), npos); // the record is printed
    EXPECT_EQ(Lines(Run({"/dev/null"}).out).back(), "RecognisedChunks=0");
    const struct {
        std::string line;
        int status;
        const char* says;
    } failures[] = {{"--port 21 --seconds 2 --time-scale 20", 3, "missing"},
                    {"--port 5 --seconds 2 --time-scale 20", 3, "busy"},
                    {dir / "missing.cap", 2, "cannot read"},
                    {dir.Path(), 2, "directory"},
                    {"--port 1 --capture " + dir / "no/x.cap", 2, "cannot write"},
                    {"--port", 2, ""},
                    {"--port 0", 2, ""},
                    {"--list --port 1", 2, ""},
                    {"--port 1 --seconds nan", 2, ""},
                    {"--chunk 0 /dev/null", 2, ""},
                    {"--bogus", 2, ""}};
    for (const auto& f : failures) {
        std::istringstream words(f.line);
        const Result run = Run({std::istream_iterator<std::string>(words), {}});
        EXPECT_EQ(std::tuple(run.status, run.out), std::tuple(f.status, "")) << f.line;
        EXPECT_NE(run.err.find(f.says), npos) << f.line << ": " << run.err;
    }
}

} // namespace
