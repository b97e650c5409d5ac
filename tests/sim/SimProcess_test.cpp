// The built hx410-sim as another program meets it: through its COM link, its
// pseudo-terminal and its control commands.
#include "sim/TestScreenReader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
// Upper bound for anything to show up; a working simulator needs a small fraction.
constexpr auto kPatience = std::chrono::seconds(20);
constexpr const char* kTimeScale = "20";

class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/hx410-sim-test-XXXXXX";
        const char* made = ::mkdtemp(pattern);
        path = made != nullptr ? made : "";
    }
    ~TempDir() {
        if (!path.empty()) {
            std::system(("rm -rf '" + path + "'").c_str());
        }
    }
    std::string path;
};

class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& args) {
        int in[2], out[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        pid = ::fork();
        if (pid == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::close(in[0]);
            ::close(in[1]);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv;
            static std::string path = HX410_SIM_PATH;
            argv.push_back(path.data());
            std::vector<std::string> copy = args;
            for (std::string& a : copy) {
                argv.push_back(a.data());
            }
            argv.push_back(nullptr);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toSim = in[1];
        fromSim = out[0];
    }
    ~SimProcess() {
        CloseInput();
        if (pid > 0 && Wait() < 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (fromSim >= 0) {
            ::close(fromSim);
        }
    }

    void Send(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(::write(toSim, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void CloseInput() {
        if (toSim >= 0) {
            ::close(toSim);
            toSim = -1;
        }
    }
    // Next stdout line, or "<timeout>" / "<eof>".
    std::string ReadLine() {
        const auto deadline = Clock::now() + kPatience;
        while (true) {
            const auto nl = buffer.find('\n');
            if (nl != std::string::npos) {
                std::string line = buffer.substr(0, nl);
                buffer.erase(0, nl + 1);
                return line;
            }
            pollfd p{fromSim, POLLIN, 0};
            if (Clock::now() > deadline || ::poll(&p, 1, 100) < 0) {
                return "<timeout>";
            }
            if (p.revents != 0) {
                char buf[4096];
                const ssize_t n = ::read(fromSim, buf, sizeof buf);
                if (n <= 0) {
                    return "<eof>";
                }
                buffer.append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    // Exit code, or -1 if it did not end in time.
    int Wait() {
        const auto deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            ::usleep(10000);
        }
        return -1;
    }
    pid_t Pid() const { return pid; }

private:
    pid_t pid = -1;
    int toSim = -1;
    int fromSim = -1;
    std::string buffer;
};

// The program's side of the cable.
class PortClient {
public:
    explicit PortClient(const std::string& path)
        : fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {}
    ~PortClient() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    bool IsOpen() const { return fd >= 0; }
    void Write(const std::string& bytes) {
        ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until a screen line satisfies `want`; returns that line or "".
    std::string WaitForLine(const std::function<bool(const std::string&)>& want) {
        const auto deadline = Clock::now() + kPatience;
        std::string pending;
        while (Clock::now() < deadline) {
            pollfd p{fd, POLLIN, 0};
            ::poll(&p, 1, 100);
            char buf[2048];
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                pending.append(buf, static_cast<std::size_t>(n));
                const auto lastEsc = pending.rfind('\x1b');
                if (lastEsc == std::string::npos) {
                    continue;
                }
                for (const std::string& line : ScreenLines(pending.substr(0, lastEsc))) {
                    if (want(line)) {
                        return line;
                    }
                }
                pending.erase(0, lastEsc);
            } else if (n == 0 || (n < 0 && errno != EAGAIN)) {
                return "";
            }
        }
        return "";
    }
    std::string WaitForPrefix(const std::string& prefix) {
        return WaitForLine([&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    // Reads what is buffered now; true when the port hung up or failed.
    bool DrainSeesHangUp(std::string* bytes = nullptr) {
        char buf[4096];
        while (true) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) {
                if (bytes != nullptr) {
                    bytes->append(buf, static_cast<std::size_t>(n));
                }
                continue;
            }
            return n == 0 || errno != EAGAIN;
        }
    }
    int Fd() const { return fd; }

private:
    int fd;
};

std::string ReadLink(const std::string& link) {
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    return n < 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> SimArgs(const TempDir& dir, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"--port-dir", dir.path,   "--time-scale",
                                  kTimeScale,   "--warmup", "2"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

TEST(SimProcess, LinksPaintsAnswersPagesAndRemovesTheLinkOnQuit) {
    TempDir dir;
    SimProcess sim(SimArgs(dir));
    const std::string first = sim.ReadLine();
    std::smatch m;
    ASSERT_TRUE(std::regex_match(first, m, std::regex("COM1 (/dev/pts/[0-9]+)"))) << first;
    const std::string link = dir.path + "/COM1";
    EXPECT_EQ(ReadLink(link), m[1].str());

    PortClient port(link);
    ASSERT_TRUE(port.IsOpen());
    EXPECT_NE(port.WaitForPrefix("Mag Avg "), "");
    EXPECT_NE(port.WaitForPrefix("STAT "), "");
    port.Write("PAGE F\r\r\r");
    EXPECT_EQ(port.WaitForPrefix("Av "), "Av HX410 V1.62");
    port.Write("PAGE E\r\r\r");
    EXPECT_EQ(port.WaitForPrefix("Lat "), "Lat 45.00");
    port.Write("MAGVAR 7.25\r");
    EXPECT_EQ(port.WaitForPrefix("Magvar "), "Magvar 7.25");

    sim.Send("quit");
    EXPECT_EQ(sim.ReadLine(), "ok quit");
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_FALSE(Exists(link));
}

TEST(SimProcess, TakesTheLowestFreeNumberAndRemovesItsLinkOnEveryExit) {
    TempDir dir;
    SimProcess a(SimArgs(dir));
    ASSERT_EQ(a.ReadLine().substr(0, 5), "COM1 ");
    SimProcess b(SimArgs(dir));
    ASSERT_EQ(b.ReadLine().substr(0, 5), "COM2 ");
    SimProcess c(SimArgs(dir, {"--com", "1"}));
    EXPECT_EQ(c.ReadLine(), "<eof>");
    EXPECT_EQ(c.Wait(), 2) << "a COM number in use must not be taken over";
    EXPECT_EQ(ReadLink(dir.path + "/COM1").substr(0, 9), "/dev/pts/");

    a.CloseInput(); // end of input
    EXPECT_EQ(a.Wait(), 0);
    EXPECT_FALSE(Exists(dir.path + "/COM1"));
    ::kill(b.Pid(), SIGTERM);
    EXPECT_EQ(b.Wait(), 0);
    EXPECT_FALSE(Exists(dir.path + "/COM2"));
}

TEST(SimProcess, PowerOffSilencesThePortAndPowerOnWarmsUp) {
    TempDir dir;
    SimProcess sim(SimArgs(dir));
    sim.ReadLine();
    PortClient port(dir.path + "/COM1");
    ASSERT_NE(port.WaitForPrefix("Mag Avg "), "");

    sim.Send("power off");
    ASSERT_EQ(sim.ReadLine(), "ok power off");
    // Take what was sent before the switch-off, until the line has been quiet a while.
    const auto deadline = Clock::now() + kPatience;
    for (pollfd q{port.Fd(), POLLIN, 0}; ::poll(&q, 1, 100) > 0 && Clock::now() < deadline;) {
        ASSERT_FALSE(port.DrainSeesHangUp());
    }
    pollfd p{port.Fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 300), 0) << "a switched-off unit sent something";

    sim.Send("power on");
    ASSERT_EQ(sim.ReadLine(), "ok power on");
    EXPECT_EQ(port.WaitForPrefix("STAT "), "STAT 104D");
    EXPECT_NE(port.WaitForLine([](const std::string& l) { return l.find("SEC WARMUP") != l.npos; }),
              "");
    EXPECT_EQ(port.WaitForLine([](const std::string& l) { return l == "STAT 00CF"; }), "STAT 00CF");
}

TEST(SimProcess, UnplugHangsUpAndTheSameLinkLeadsToANewPort) {
    TempDir dir;
    SimProcess sim(SimArgs(dir));
    sim.ReadLine();
    const std::string link = dir.path + "/COM1";
    const std::string oldTarget = ReadLink(link);
    PortClient port(link);
    ASSERT_NE(port.WaitForPrefix("PITCH "), "");
    sim.Send("unplug");
    ASSERT_EQ(sim.ReadLine(), "ok unplug");
    pollfd p{port.Fd(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 5000), 1);
    EXPECT_TRUE(port.DrainSeesHangUp());
    // The old node stays while it is held open, so the new one has another name.
    const auto deadline = Clock::now() + kPatience;
    while (ReadLink(link) == oldTarget && Clock::now() < deadline) {
        ::usleep(10000);
    }
    ASSERT_NE(ReadLink(link), oldTarget);
    PortClient again(link);
    ASSERT_TRUE(again.IsOpen());
    EXPECT_NE(again.WaitForPrefix("Mag Avg "), "");
}

TEST(SimProcess, BannersAndTheirFault) {
    TempDir dir;
    SimProcess sim(SimArgs(dir));
    sim.ReadLine();
    PortClient port(dir.path + "/COM1");
    // The configuration module acknowledges only once the magnetometer answers.
    ASSERT_NE(port.WaitForLine([](const std::string& l) {
        return l.rfind("STAT ", 0) == 0 && std::strtoul(l.c_str() + 5, nullptr, 16) < 0x1000;
    }),
              "");
    port.Write("ERASE MCC\r");
    EXPECT_EQ(port.WaitForPrefix("++"), "++ MCC ERASE ++");

    sim.Send("fault drop-acks on");
    ASSERT_EQ(sim.ReadLine(), "ok fault drop-acks on");
    port.Write("STORE MCC\r");
    sim.Send("state");
    std::string line;
    while ((line = sim.ReadLine()) != "end" && line != "<timeout>") {
    }
    // Ten program seconds at the scale used: well past the banner's time.
    const auto until = Clock::now() + std::chrono::milliseconds(500);
    std::string seen;
    while (Clock::now() < until) {
        pollfd p{port.Fd(), POLLIN, 0};
        ::poll(&p, 1, 50);
        port.DrainSeesHangUp(&seen);
    }
    EXPECT_EQ(seen.find("++ MCC STORE ++"), std::string::npos);
}

TEST(SimProcess, ControlCommandsAnswer) {
    TempDir dir;
    SimProcess sim(SimArgs(dir));
    sim.ReadLine();
    struct Case {
        const char* command;
        const char* answer;
    } cases[] = {
        {"heading 90", "ok heading 90"},
        {"turn 0", "ok turn 0"},
        {"pitch 2", "ok pitch 2"},
        {"roll -1.5", "ok roll -1.5"},
        {"mag off", "ok mag off"},
        {"mag on", "ok mag on"},
        {"freefield on", "ok freefield on"},
        {"freefield off", "ok freefield off"},
        {"fault garble 0", "ok fault garble 0"},
        {"fault version HX410 V9.99", "ok fault version HX410 V9.99"},
    };
    for (const Case& c : cases) {
        sim.Send(c.command);
        EXPECT_EQ(sim.ReadLine(), c.answer);
    }
    for (const char* bad : {"heading north", "fly", "power maybe", "fault garble 2", "pitch 95"}) {
        sim.Send(bad);
        EXPECT_EQ(sim.ReadLine().substr(0, 7), "error: ") << bad;
    }
    sim.Send("swing");
    for (int deg = 0; deg < 360; deg += 10) {
        EXPECT_EQ(sim.ReadLine().rfind("swing " + std::to_string(deg) + " heading=", 0), 0u);
    }
    const std::string max = sim.ReadLine();
    ASSERT_EQ(max.rfind("swing max=", 0), 0u) << max;
    EXPECT_GT(std::strtod(max.c_str() + 10, nullptr), 2.0) << "uncalibrated swing";
    sim.Send("state");
    std::vector<std::string> state;
    for (std::string l = sim.ReadLine(); l != "end" && l.front() != '<'; l = sim.ReadLine()) {
        state.push_back(l);
    }
    EXPECT_NE(std::find(state.begin(), state.end(), "Heading=90.00"), state.end());
    EXPECT_NE(std::find(state.begin(), state.end(), "AhrsVersion=HX410 V9.99"), state.end());
}
