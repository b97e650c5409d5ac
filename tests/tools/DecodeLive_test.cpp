// hx410-decode on a live port: the port list, the link monitor against the simulated
// unit and against any program writing into a pseudo-terminal, and its exit statuses.
#include "device/PtyPeer.h"
#include "device/SerialPort.h"
#include "device/SimPeer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <grp.h>
#include <regex>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kScale = "20";

// hx410-decode as a child process with its own config home, optionally unprivileged.
class CDecoder {
public:
    CDecoder(const std::string& configHome, std::vector<std::string> args, bool asNobody = false) {
        args.insert(args.begin(), HX410_DECODE_PATH);
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::string env = "XDG_CONFIG_HOME=" + configHome;
        char* envp[] = {env.data(), nullptr};
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            return;
        }
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(err[1], STDERR_FILENO);
            if (asNobody &&
                (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                ::_exit(126);
            }
            ::execve(argv[0], argv.data(), envp);
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        outFd = out[0];
        errFd = err[0];
    }
    ~CDecoder() { Finish(); }

    // Reads standard output until `text` appears or the decoder ends.
    bool WaitForOutput(const std::string& text) {
        while (out.find(text) == std::string::npos) {
            if (!ReadSome()) {
                return false;
            }
        }
        return true;
    }
    // Reads everything and returns the exit status (-1 when it did not exit normally).
    int Finish() {
        while (ReadSome()) {
        }
        if (pid > 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            pid = -1;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return exitStatus;
    }
    const std::string& Out() const { return out; }
    const std::string& Err() const { return err; }

private:
    bool ReadSome() {
        pollfd entries[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        if ((outFd < 0 && errFd < 0) || ::poll(entries, 2, 60000) <= 0) {
            return false;
        }
        bool progress = false;
        for (int i = 0; i < 2; ++i) {
            int& fd = i == 0 ? outFd : errFd;
            if (fd < 0 || entries[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0) {
                (i == 0 ? out : err).append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(fd);
                fd = -1;
            }
            progress = true;
        }
        return progress;
    }

    pid_t pid = -1;
    int outFd = -1;
    int errFd = -1;
    int exitStatus = -1;
    std::string out;
    std::string err;
};

class DecodeLive : public ::testing::Test {
protected:
    DecodeLive() {
        char pattern[] = "/tmp/hx410-decode-live-XXXXXX";
        configHome = ::mkdtemp(pattern) != nullptr ? pattern : "/tmp";
        portsDir = configHome + "/hx410-install/ports";
        fs::create_directories(portsDir);
        for (const std::string& dir : {configHome, configHome + "/hx410-install", portsDir}) {
            ::chmod(dir.c_str(), 0755); // readable by the unprivileged run below
        }
    }
    ~DecodeLive() override {
        std::error_code error;
        fs::remove_all(configHome, error);
    }
    void LinkPort(int number, const std::string& device) {
        fs::create_symlink(device, portsDir + "/COM" + std::to_string(number));
    }
    std::vector<std::string> Monitor(int port, const std::string& seconds,
                                     std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--port", std::to_string(port), "--seconds",
                                         seconds,  "--time-scale",       kScale};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    std::string configHome;
    std::string portsDir;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

TEST_F(DecodeLive, ListShowsUsablePortsAscendingWithTheirDevices) {
    CPtyPeer a, b;
    ASSERT_TRUE(a.Ok() && b.Ok());
    LinkPort(12, a.SlavePath());
    LinkPort(3, b.SlavePath());
    LinkPort(7, configHome + "/nothing"); // dangling: not listed
    CSimPeer sim(HX410_SIM_PATH, portsDir, 20);
    ASSERT_TRUE(sim.Ok());
    std::vector<std::string> expected = {"COM3 " + b.SlavePath(), "COM12 " + a.SlavePath()};
    const std::string simLine = "COM" + std::to_string(sim.ComNumber()) + " " + sim.SlavePath();
    expected.insert(sim.ComNumber() < 3 ? expected.begin() : expected.begin() + 1, simLine);

    CDecoder decoder(configHome, {"--list"});
    EXPECT_EQ(decoder.Finish(), 0) << decoder.Err();
    EXPECT_EQ(Lines(decoder.Out()), expected);
}

TEST_F(DecodeLive, ListNamesDevicesTheUserMayNotOpen) {
    CPtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    LinkPort(4, peer.SlavePath());
    ASSERT_EQ(::chmod(peer.SlavePath().c_str(), 0), 0);
    CDecoder decoder(configHome, {"--list"}, ::geteuid() == 0);
    ASSERT_EQ(decoder.Finish(), 0) << decoder.Err();
    const auto lines = Lines(decoder.Out());
    ASSERT_EQ(lines.size(), 1u) << decoder.Out();
    EXPECT_NE(lines[0].find(peer.SlavePath()), std::string::npos);
    EXPECT_NE(lines[0].find("dialout"), std::string::npos);
}

TEST_F(DecodeLive, MonitorAgainstTheSimulatorReportsUpAndLostAndPrintsTheRecord) {
    CSimPeer sim(HX410_SIM_PATH, portsDir, 20,
                 {"--warmup", "0", "--ahrs-version", "9.9.9", "--mag-serial", "SN-77"});
    ASSERT_TRUE(sim.Ok());
    CDecoder decoder(configHome, Monitor(sim.ComNumber(), "60", {"--send", "PAGE F"}));
    ASSERT_TRUE(decoder.WaitForOutput("link up\n")) << decoder.Err();
    EXPECT_FALSE(sim.Command("power off").empty());
    ASSERT_TRUE(decoder.WaitForOutput("link lost\n")) << decoder.Out();
    EXPECT_EQ(decoder.Finish(), 0) << decoder.Err();

    const auto lines = Lines(decoder.Out());
    ASSERT_GE(lines.size(), 3u);
    const std::regex note(R"(\d+\.\d link (up|lost))");
    EXPECT_TRUE(std::regex_match(lines[0], note)) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], note)) << lines[1];
    EXPECT_NE(lines[0].find("up"), std::string::npos);
    EXPECT_NE(lines[1].find("lost"), std::string::npos);
    const double upAt = std::stod(lines[0]);
    const double lostAt = std::stod(lines[1]);
    EXPECT_GE(lostAt - upAt, 5.0); // the silence time, in the monitor's clock
    EXPECT_NE(decoder.Out().find("AhrsVersion=\n"), std::string::npos); // reset by the loss
}

TEST_F(DecodeLive, MonitorReadsAnyProgramWritingUnitOutputAndSendsItsTexts) {
    CPtyPeer unit;
    ASSERT_TRUE(unit.Ok());
    LinkPort(9, unit.SlavePath());
    CDecoder decoder(configHome, Monitor(9, "3", {"--send", "RESET ERRORS", "--send", "PAGE C"}));
    // Like a unit, the far end repaints until it is answered: what it writes before the
    // monitor has opened the port is purged by the open.
    std::string received;
    for (int i = 0; i < 400 && received.size() < 20; ++i) {
        ASSERT_TRUE(unit.Send("\x1b[3;1HPITCH 2.50\x1b[4;1HSn 0815\x1b"));
        received += unit.Receive(20 - received.size(), 25);
    }
    EXPECT_EQ(received, "RESET ERRORS\rPAGE C\r");
    EXPECT_EQ(decoder.Finish(), 0) << decoder.Err();
    EXPECT_NE(decoder.Out().find("\nPitch=2.5\n"), std::string::npos) << decoder.Out();
    EXPECT_NE(decoder.Out().find("\nMagSerialNumber=0815\n"), std::string::npos);
}

TEST_F(DecodeLive, ExitStatusSaysWhetherTheLinkEverCameUpOrWhyThePortWouldNotOpen) {
    CPtyPeer quiet;
    ASSERT_TRUE(quiet.Ok());
    LinkPort(20, quiet.SlavePath());
    {
        CDecoder decoder(configHome, Monitor(20, "2"));
        EXPECT_EQ(decoder.Finish(), 4);
        EXPECT_EQ(decoder.Out().find("link up"), std::string::npos);
        EXPECT_NE(decoder.Out().find("AhrsVersion="), std::string::npos); // record printed
    }
    {
        CDecoder decoder(configHome, Monitor(21, "2"));
        EXPECT_EQ(decoder.Finish(), 3);
        EXPECT_NE(decoder.Err().find("missing"), std::string::npos) << decoder.Err();
    }
    {
        CSerialPort holder;
        ASSERT_EQ(holder.OpenDevice(quiet.SlavePath()), 0);
        CDecoder decoder(configHome, Monitor(20, "2"));
        EXPECT_EQ(decoder.Finish(), 3);
        EXPECT_NE(decoder.Err().find("busy"), std::string::npos) << decoder.Err();
    }
    {
        ASSERT_EQ(::chmod(quiet.SlavePath().c_str(), 0), 0);
        CDecoder decoder(configHome, Monitor(20, "2"), ::geteuid() == 0);
        EXPECT_EQ(decoder.Finish(), 3);
        EXPECT_NE(decoder.Err().find("No permission"), std::string::npos) << decoder.Err();
        EXPECT_NE(decoder.Err().find("dialout"), std::string::npos);
    }
}

TEST_F(DecodeLive, BadLiveArgumentsAreUsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {"--port"},
        {"--port", "0"},
        {"--port", "256"},
        {"--port", "x"},
        {"--list", "--port", "1"},
        {"--port", "1", "--seconds", "-1"},
        {"--port", "1", "--seconds", "nan"},
        {"--port", "1", "--time-scale", "0"},
        {"--port", "1", "--bogus"},
        {"--list", "file.cap"},
    };
    for (const auto& args : cases) {
        CDecoder decoder(configHome, args);
        EXPECT_EQ(decoder.Finish(), 2) << args.back();
    }
}

} // namespace
