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
    Decode() { fs::create_directories(portsDir); }
    std::unique_ptr<CChildProcess> Decoder(std::vector<std::string> args) {
        args.insert(args.begin(), HX410_DECODE_PATH);
        return std::make_unique<CChildProcess>(
            args, ChildOptions{{"XDG_CONFIG_HOME=" + dir.Path(), "HX410_DEV_ROOT=" + (dir / "dev"),
                                "HX410_SYS_TTY_ROOT=" + (dir / "sys")},
                               true});
    }
    // Run to its end, given `input` on its standard input.
    std::unique_ptr<CChildProcess> Run(std::vector<std::string> args,
                                       const std::string& input = {}) {
        auto decoder = Decoder(std::move(args));
        decoder->Send(input);
        decoder->Finish();
        return decoder;
    }
    void LinkPort(int number, const std::string& device) {
        fs::create_symlink(device, portsDir + "/COM" + std::to_string(number));
    }

    CTempDir dir;
    std::string portsDir = dir / "hx410-install/ports";
};

// The decode without its piece counts, which alone depend on the piece size.
std::string WithoutPieceCounts(const std::string& decoded) {
    static const std::regex counts("(^|\n)(Recognised)?Chunks=[0-9]+");
    return std::regex_replace(decoded, counts, "$1");
}

// Every capture decodes to its expected record, whatever the piece size in which the port
// delivers it: lines, fields and escapes split across reads are put together again.
TEST_F(Decode, CapturesMatchTheirExpectedDecode) {
    int captures = 0;
    for (const auto& entry : fs::directory_iterator(HX410_TEST_DATA_DIR)) {
        const fs::path capture = entry.path();
        if (capture.extension() != ".cap") {
            continue;
        }
        SCOPED_TRACE(capture.filename().string());
        ++captures;
        const std::string expected = ReadText(fs::path(capture).replace_extension(".chk"));
        for (const char* chunk : {"1023", "7", "1"}) {
            const auto run = Run({"--comments", "--chunk", chunk, capture});
            EXPECT_EQ(run->Finish(), 0) << chunk;
            EXPECT_EQ(WithoutPieceCounts(run->Out()), WithoutPieceCounts(expected))
                << chunk << ": after a deliberate change, scripts/regen-checks";
        }
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
    const auto replay = Run({"--comments", capture});
    EXPECT_NE(replay->Out().find("\nPitch=2.5\n"), npos) << replay->Err();
    EXPECT_EQ(Run({"--comments", "-"}, ReadText(capture))->Out(), replay->Out());
}

// An empty list says so; the status says whether the link ever came up, why the port or
// the file would not open, or that the arguments were wrong.
TEST_F(Decode, ListAndExitStatusSayWhatIsThereAndWhatWentWrong) {
    EXPECT_EQ(Run({"--list"})->Out(), "no serial port found\n");
    CPtyPeer quiet, held;
    ASSERT_TRUE(quiet.Ok() && held.Ok());
    LinkPort(20, quiet.SlavePath());
    LinkPort(5, held.SlavePath());
    CSerialPort holder; // the decoder is the other process
    ASSERT_EQ(holder.OpenDevice(held.SlavePath()), 0);
    const auto never = Run({"--port", "20", "--seconds", "2", "--time-scale", "20"});
    EXPECT_EQ(never->Finish(), 4);
    EXPECT_NE(never->Out().find("AhrsVersion="), npos); // the record is printed
    EXPECT_EQ(Lines(Run({"/dev/null"})->Out()).back(), "RecognisedChunks=0");
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
        const auto run = Run({std::istream_iterator<std::string>(words), {}});
        EXPECT_EQ(std::tuple(run->Finish(), run->Out()), std::tuple(f.status, "")) << f.line;
        EXPECT_NE(run->Err().find(f.says), npos) << f.line << ": " << run->Err();
    }
}

} // namespace
